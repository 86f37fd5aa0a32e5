// A flat 64 KB memory and a scriptable port space around one Z80CPU,
// served through the pins the way the gate array serves them. With
// gateArrayWait the WAIT line is low only in the first of every four calls.
#pragma once
#include "z80/z80cpu.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

struct Z80TestBench {
    struct BusEvent {
        uint64_t t;    // clock() call index
        char kind;     // 'W' memory write, 'I' port in, 'O' port out, 'A' interrupt acknowledge
        uint16_t address;
        uint8_t data;
    };

    Z80CPU cpu;
    uint8_t mem[65536];
    bool gateArrayWait = false;
    uint64_t tstates = 0;
    bool lastIorq = false;
    uint8_t ackByte = 0xFF;          // data bus during an interrupt acknowledge
    bool clearIntOnAck = true;
    unsigned acknowledges = 0;
    std::function<uint8_t(uint16_t)> portIn;
    std::function<void(uint16_t, uint8_t)> portOut;
    std::vector<BusEvent>* events = nullptr;

    Z80TestBench()
    {
        std::memset(mem, 0, sizeof mem);
        cpu.reset();
    }

    void load(uint16_t address, std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            mem[address++] = b;
    }

    inline void tick()
    {
        const bool firstQuarter = !gateArrayWait || (tstates & 3) == 0;
        cpu.wait = !firstQuarter;
        cpu.clock();
        if (firstQuarter && cpu.mreq) {
            if (cpu.rd) {
                cpu.dataBus = mem[cpu.addressBus];
            } else if (cpu.wr) {
                mem[cpu.addressBus] = cpu.dataBus;
                if (events)
                    events->push_back({tstates, 'W', cpu.addressBus, cpu.dataBus});
            }
        }
        if (cpu.iorq != lastIorq) {
            lastIorq = cpu.iorq;
            if (lastIorq)
                serviceIo();
        }
        ++tstates;
    }

    // WAIT always low: runs until stop is set or maxTstates is reached.
    // The pins are served after every T-state inside clockRun(), which the
    // compiler can fold into each phase.
    void runFree(uint64_t maxTstates, const bool& stop)
    {
        cpu.wait = 0;
        uint8_t* const memory = mem;
        const uint64_t start = tstates;
        if (start < maxTstates && !stop)
            tstates = start + cpu.clockRun(maxTstates - start, [memory, iorqSeen = lastIorq, start, &stop, this](
                                                           Z80CPU& c, uint64_t done) mutable __attribute__((always_inline)) {
                // MREQ and IORQ are never active together.
                if (c.mreq) {
                    if (c.rd)
                        c.dataBus = memory[c.addressBus];
                    else if (c.wr)
                        memory[c.addressBus] = c.dataBus;
                } else if (c.iorq) {
                    if (!iorqSeen) {
                        iorqSeen = true;
                        tstates = start + done - 1; // the port handlers see this T-state's index
                        serviceIo();
                        return !stop;
                    }
                } else {
                    iorqSeen = false;
                }
                return true;
            });
        // An IORQ still high at the end has been served.
        lastIorq = cpu.iorq;
    }

    void serviceIo()
    {
        if (cpu.m1) {
            ++acknowledges;
            if (clearIntOnAck)
                cpu.intLine = 0;
            cpu.dataBus = ackByte;
            if (events)
                events->push_back({tstates, 'A', cpu.addressBus, ackByte});
        } else if (cpu.wr) {
            if (portOut)
                portOut(cpu.addressBus, cpu.dataBus);
            if (events)
                events->push_back({tstates, 'O', cpu.addressBus, cpu.dataBus});
        } else if (cpu.rd) {
            cpu.dataBus = portIn ? portIn(cpu.addressBus) : 0xFF;
            if (events)
                events->push_back({tstates, 'I', cpu.addressBus, cpu.dataBus});
        }
    }

    // Between two instructions (not after a prefix byte, not inside a fetch).
    bool atBoundary() const { return cpu.fetching && cpu.fetchState() == 0 && cpu.prefix == 0; }

    // The T2 of an instruction's first opcode fetch (or of an acknowledge)
    // has just completed.
    bool firstFetchDone() const { return cpu.fetching && cpu.fetchState() == 4 && cpu.prefix == 0; }

    // Runs one whole instruction, prefixes included; returns its T-states.
    uint64_t runInstruction(uint64_t limit = 1000)
    {
        const uint64_t start = tstates;
        do {
            tick();
        } while (!atBoundary() && tstates - start < limit);
        return tstates - start;
    }
};

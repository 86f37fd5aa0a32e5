// A flat 64 KB memory and a scriptable port space around one Z80CPU,
// served through the pins the way the gate array serves them. With
// gateArrayWait the WAIT line is low only in the first of every four calls.
#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "z80/z80cpu.h"

struct Z80TestBench {
    struct BusEvent {
        uint64_t t;  // clock() call index
        char kind;   // 'W' memory write, 'I' port in, 'O' port out, 'A' interrupt acknowledge
        uint16_t address;
        uint8_t data;
    };

    Z80CPU cpu;
    uint8_t mem[65536];
    bool gateArrayWait = false;
    uint64_t tstates = 0;
    bool lastIorq = false;
    uint8_t ackByte = 0xFF;  // data bus during an interrupt acknowledge
    bool clearIntOnAck = true;
    unsigned acknowledges = 0;
    std::function<uint8_t(uint16_t)> portIn;
    std::function<void(uint16_t, uint8_t)> portOut;
    std::vector<BusEvent>* events = nullptr;

    Z80TestBench() {
        std::memset(mem, 0, sizeof mem);
        cpu.reset();
    }

    void load(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) mem[address++] = b;
    }

    inline void tick() {
        const bool firstQuarter = !gateArrayWait || (tstates & 3) == 0;
        cpu.wait = !firstQuarter;
        cpu.clock();
        if (firstQuarter && cpu.mreq) {
            if (cpu.rd) {
                cpu.dataBus = mem[cpu.addressBus];
            } else if (cpu.wr) {
                mem[cpu.addressBus] = cpu.dataBus;
                if (events) events->push_back({tstates, 'W', cpu.addressBus, cpu.dataBus});
            }
        }
        if (cpu.iorq != lastIorq) {
            lastIorq = cpu.iorq;
            if (lastIorq) serviceIo();
        }
        ++tstates;
    }

    // WAIT always low: runs until stop is set or maxTstates is reached.
    // tick() without the events and the quarter count, for the exercisers.
    void runFree(uint64_t maxTstates, const bool& stop) {
        cpu.wait = 0;
        uint8_t* const memory = mem;
        uint64_t t = tstates;
        // Only a port handler sets stop, so it is looked at after I/O alone.
        bool stopped = stop;
        while (t < maxTstates && !stopped) {
            const bool iorqWritten = cpu.clockWith<Z80CPU::WaitLow>();
            if (cpu.mreq) {
                if (cpu.rd) cpu.dataBus = memory[cpu.addressBus];
                else if (cpu.wr) memory[cpu.addressBus] = cpu.dataBus;
            }
            if (iorqWritten && cpu.iorq != lastIorq) {
                lastIorq = cpu.iorq;
                if (lastIorq) {
                    tstates = t;  // the port handlers see this T-state's index
                    serviceIo();
                    stopped = stop;
                }
            }
            ++t;
        }
        tstates = t;
    }

    void serviceIo() {
        if (cpu.m1) {
            ++acknowledges;
            if (clearIntOnAck) cpu.intLine = 0;
            cpu.dataBus = ackByte;
            if (events) events->push_back({tstates, 'A', cpu.addressBus, ackByte});
        } else if (cpu.wr) {
            if (portOut) portOut(cpu.addressBus, cpu.dataBus);
            if (events) events->push_back({tstates, 'O', cpu.addressBus, cpu.dataBus});
        } else if (cpu.rd) {
            cpu.dataBus = portIn ? portIn(cpu.addressBus) : 0xFF;
            if (events) events->push_back({tstates, 'I', cpu.addressBus, cpu.dataBus});
        }
    }

    // Between two instructions (not after a prefix byte, not inside a fetch).
    bool atBoundary() const { return cpu.fetching && cpu.fetchState() == 0 && cpu.prefix == 0; }

    // The T2 of an instruction's first opcode fetch (or of an acknowledge)
    // has just completed.
    bool firstFetchDone() const { return cpu.fetching && cpu.fetchState() == 4 && cpu.prefix == 0; }

    // Runs one whole instruction, prefixes included; returns its T-states.
    uint64_t runInstruction(uint64_t limit = 1000) {
        const uint64_t start = tstates;
        do {
            tick();
        } while (!atBoundary() && tstates - start < limit);
        return tstates - start;
    }
};

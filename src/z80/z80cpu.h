// Zilog Z80 stepped one T-state per clock() call. The master clock (gate
// array or ASIC) drives WAIT and INT, calls clock() four times per
// microsecond and serves whatever memory or I/O cycle the pins show.
// clock() is inline: it runs four million times per emulated second, and
// every instruction is a handler called once per step from here.
//
// Timing notation of the handler comments: M1 opcode fetch (4 T-states),
// P operand read from PC (3), R memory read (3), W memory write (3),
// IN / OUT I/O cycle (4), i one internal T-state. The microseconds are those
// on the gate array's bus, which stretches every cycle to the four-T-state
// grid. "Zilog: n" marks a T-state count that differs from the manual's.
#pragma once
#include <cstdint>

class Z80CPU {
public:
    // A table entry: a plain function that runs one step of a member
    // handler, so that each step is one direct-address indirect call (a
    // member pointer would cost a virtual-function test on every call).
    using Handler = void (*)(Z80CPU&);
    using Member = void (Z80CPU::*)();
    template <Member step>
    static void entry(Z80CPU& cpu) {
        (cpu.*step)();
    }

    enum BusKind : uint8_t { BusNone = 0, BusReadPc, BusRead, BusWrite, BusIn, BusOut, BusStackRead, BusStackWrite };

    // F bits
    enum : uint8_t {
        FlagS = 0x80,
        FlagZ = 0x40,
        FlagY = 0x20,
        FlagH = 0x10,
        FlagX = 0x08,
        FlagPV = 0x04,
        FlagN = 0x02,
        FlagC = 0x01
    };

    // The prefix in force while a byte is decoded. PrefixEndMarker is what
    // nop, cb_set and cb_set_ixy leave behind: no opcode they serve equals
    // it except 0xFF, so ED ED, CB CB and SET 1,E never look like prefixes.
    enum : uint8_t {
        PrefixNone = 0,
        PrefixCB = 0xCB,
        PrefixDD = 0xDD,
        PrefixED = 0xED,
        PrefixFD = 0xFD,
        PrefixEndMarker = 0xFF
    };

    // Register codes of an opcode's y and z fields; RegMemory is (HL).
    enum RegCode : uint8_t { RegB = 0, RegC, RegD, RegE, RegH, RegL, RegMemory, RegA };

    // What aluop() computes: the eight operations of ADD A,r ... CP r in
    // the order of y, the accumulator group of RLCA ... CCF (by y), and the
    // CB rotates and shifts, again in the order of y.
    enum AluKind : uint8_t {
        AluAdd = 0,
        AluAdc,
        AluSub,
        AluSbc,
        AluAnd,
        AluXor,
        AluOr,
        AluCp,
        AluAccumulatorGroup,
        AluRlc,
        AluRrc,
        AluRl,
        AluRr,
        AluSla,
        AluSra,
        AluSll,
        AluSrl
    };

    // Arguments of the 16-bit pair routine init_incdec_reg16(): how the
    // value changes, whether it goes out on the address bus first, and the
    // pair codes (p of the opcode for 0-3; PairScratch is pairTemp).
    enum PairStep : uint8_t { PairIncrement = 0, PairDecrement = 1, PairUnchanged = 2 };
    enum PairBus : uint8_t { PairOffBus = 0, PairOnBus = 1 };
    enum PairCode : uint8_t { PairBC = 0, PairDE, PairHL, PairSP, PairWZ, PairPC, PairScratch };

    // ---- pins and bus ----
    bool m1 = 0;
    bool mreq = 0;
    bool iorq = 0;
    bool rd = 0;
    bool wr = 0;
    bool rfsh = 0;
    bool halt = 0;
    bool wait = 0;     // input
    bool intLine = 0;  // input
    uint16_t addressBus = 0;
    uint8_t dataBus = 0;
    uint8_t intVector = 0;

    // ---- decoder and sequencer ----
    uint8_t opcode = 0;
    uint8_t prefix = PrefixNone;
    uint8_t opY = 0;
    // The handler of the instruction in progress, chosen at decode.
    Handler handler = nullptr;
    uint8_t step = 0;
    uint8_t busRequest = BusNone;
    uint8_t operand = 0;
    uint8_t dataLatch = 0;
    uint16_t aluResult = 0;
    uint16_t carryVector = 0;
    uint16_t pairTemp = 0;
    bool pairWasOne = 0;
    bool conditionMet = 0;
    bool afSwapped = 0;
    bool deHlSwapped = 0;
    bool deHlSwappedAlt = 0;
    bool exxSwapped = 0;
    bool ixMode = 0;
    bool iyMode = 0;

    // The sequencer's position as one value per kind of T-state (fetch,
    // acknowledge, each bus cycle's T1/T2/T3, internal), so that clock()
    // dispatches once per call.
    enum Phase : uint8_t {
        PhFetchT1,
        PhFetchT2,
        PhAckT2,
        PhAckWait1,
        PhAckWait2,
        PhAckT3,
        PhFetchT3,
        PhFetchT4,
        PhInternal,
        PhReadPcT1,
        PhReadPcT2,
        PhReadT1,
        PhReadT2,
        PhReadT3,
        PhWriteT1,
        PhWriteT2,
        PhWriteT3,
        PhInT1,
        PhInT2,
        PhInWait,
        PhInT3,
        PhOutT1,
        PhOutT2,
        PhOutWait,
        PhOutT3
    };
    uint8_t phase = PhFetchT1;
    // Where the opcode fetch and the other bus cycles stand, as debuggers and
    // tests count them: the fetch's last T-state done (1 T1, 2 acknowledge
    // T2, 3 its first wait, 4 T2, 5 T3; 0 outside a fetch) and a bus
    // cycle's (1 T1, 2 T2, 3 the I/O wait; 0 none). Both follow from phase.
    uint8_t fetchState() const {
        static constexpr uint8_t byPhase[] = {0, 1, 1, 2, 3, 4, 4, 5};
        return phase <= PhFetchT4 ? byPhase[phase] : 0;
    }
    uint8_t busState() const {
        switch (phase) {
            case PhReadPcT2:
            case PhReadT2:
            case PhWriteT2:
            case PhInT2:
            case PhOutT2: return 1;
            case PhReadT3:
            case PhWriteT3:
            case PhInWait:
            case PhOutWait: return 2;
            case PhInT3:
            case PhOutT3: return 3;
            default: return 0;
        }
    }

    // ---- register storage (the logical view is below) ----
    uint8_t A = 0, F = 0, B = 0, C = 0, D = 0, E = 0, H = 0, L = 0;
    uint8_t A_ = 0, F_ = 0, B_ = 0, C_ = 0, D_ = 0, E_ = 0, H_ = 0, L_ = 0;
    bool flagsTouched = 0;
    bool flagsTouchedPrev = 0;
    uint8_t IXh = 0, IXl = 0, IYh = 0, IYl = 0;
    uint8_t I = 0, R = 0;
    uint8_t SPh = 0, SPl = 0;
    uint16_t PC = 0;
    uint16_t WZ = 0;
    uint16_t WZ_ = 0;

    // ---- interrupt and run state ----
    bool iff1 = 0;
    bool iff2 = 0;
    bool eiPending = 0;
    bool intAckPending = 0;
    bool executing = 0;
    bool fetching = 1;
    uint8_t interruptMode = 0;

    // ---- tables, built by reset() ----
    uint8_t szpTable[256];
    Handler cbTable[256];
    Handler indexCbTable[256];
    Handler edTable[256];
    Handler mainTable[256];
    Handler indexTable[256];

    Z80CPU();

    // One T-state; true when it wrote IORQ (the only pin a bus decoder must
    // watch for edges), so that the caller need not compare it every T-state.
    inline bool clock() { return clockWith<WaitFromPin>(); }
    // The same with the WAIT input fixed, for a clock whose WAIT pattern is
    // known: no pin to write or read.
    enum WaitInput { WaitFromPin, WaitLow, WaitHigh };
    template <WaitInput Wait>
    inline bool clockWith();
    void reset();

    // ---- register routines ----
    void setrtmp(int r);
    void setreg8b(int r, uint8_t v);
    inline void init_incdec_reg16(int direction, int source, int driveBus, int destination);
    uint8_t getH() { return regHx(); }
    uint8_t getL() { return regLx(); }

    // ---- logical register view, for snapshots, debuggers and tests ----
    uint16_t getAF() { return uint16_t((getA() << 8) | getF()); }
    uint16_t getBC() { return uint16_t((regB() << 8) | regC()); }
    uint16_t getDE() { return uint16_t((regD() << 8) | regE()); }
    uint16_t getHL() { return uint16_t((regH() << 8) | regL()); }
    uint16_t getIX() const { return uint16_t((IXh << 8) | IXl); }
    uint16_t getIY() const { return uint16_t((IYh << 8) | IYl); }
    uint16_t getSP() const { return uint16_t((SPh << 8) | SPl); }
    uint16_t getWZ() { return exxSwapped ? WZ_ : WZ; }
    uint16_t getAltAF() const;
    uint16_t getAltBC() const;
    uint16_t getAltDE() const;
    uint16_t getAltHL() const;
    uint16_t getAltWZ() const { return exxSwapped ? WZ : WZ_; }
    void setAF(uint16_t v) {
        setA(uint8_t(v >> 8));
        regF() = uint8_t(v);
    }
    void setBC(uint16_t v) {
        regB() = uint8_t(v >> 8);
        regC() = uint8_t(v);
    }
    void setDE(uint16_t v) {
        regD() = uint8_t(v >> 8);
        regE() = uint8_t(v);
    }
    void setHL(uint16_t v) {
        regH() = uint8_t(v >> 8);
        regL() = uint8_t(v);
    }
    void setIX(uint16_t v) {
        IXh = uint8_t(v >> 8);
        IXl = uint8_t(v);
    }
    void setIY(uint16_t v) {
        IYh = uint8_t(v >> 8);
        IYl = uint8_t(v);
    }
    void setSP(uint16_t v) {
        SPh = uint8_t(v >> 8);
        SPl = uint8_t(v);
    }
    void setWZ(uint16_t v) { (exxSwapped ? WZ_ : WZ) = v; }

    // ---- flag-producing routines ----
    void aluop(int kind);
    void aluWithA(int kind);
    void aluincdec(bool dec);
    void blockIoFlags(uint8_t v, unsigned k, uint8_t b);
    void blockIoRepeatFlags();

    // ---- handlers: main and index tables ----
    void nop();
    void ld_rr_nn();
    void add_hl_rr();
    void ld_bcde_a();
    void ld_a_bcde();
    void ld_nn_hl();
    void ld_hl_nn();
    void ld_nn_a();
    void ld_a_nn();
    void incdec_rr();
    void incdec_r();
    void incdec_hl();
    void ld_r_n();
    void ld_hl_n();
    void acc_op();
    void ex_af_af();
    void djnz();
    void jr_n();
    void ld_r_r();
    void ld_r_hl();
    void ld_hl_r();
    void op_halt();
    void op_alu_a_r();
    void op_alu_a_hl();
    void ret_n();
    void pop_rr();
    void jp_n();
    void jp_nn();
    void call_n();
    void push_rr();
    void op_alu_a_n();
    void rst();
    void ret();
    void cb_prefix();
    void call_nn();
    void out_n();
    void in_n();
    void exx();
    void dd_prefix();
    void op_ex_sp_hl();
    void jp_hl();
    void op_ex_de_hl();
    void ed_prefix();
    void op_diei();
    void ld_sp_hl();
    void fd_prefix();
    void incdec_ixy();
    void ld_ixy_n();
    void ld_r_ixy();
    void ld_ixy_r();
    void op_alu_a_ixy();
    void im_2();
    // ---- CB and index CB tables ----
    void cb_rotshift();
    void cb_rotshift_hl();
    void cb_bit();
    void cb_bit_hl();
    void cb_res();
    void cb_res_hl();
    void cb_set();
    void cb_set_hl();
    void cb_rotshift_ixy();
    void cb_rotshift_hl_ixy();
    void cb_bit_hl_ixy();
    void cb_res_ixy();
    void cb_res_hl_ixy();
    void cb_set_ixy();
    void cb_set_hl_ixy();
    // ---- ED table ----
    void ed_in();
    void ed_in_0();
    void ed_out();
    void ed_out_0();
    void ed_sbc_adc();
    void ed_ld_nn_rr();
    void ed_ld_rr_nn();
    void ed_neg();
    void ed_retni();
    void ed_im();
    void ed_ld_i_r();
    void ed_rrd();
    void ed_rld();
    void ed_lddi();
    void ed_cpdi();
    void ed_indi();
    void ed_outdi();
    void ed_lddri();
    void ed_cpdir();
    void ed_indir();
    void ed_otdir();

    // ---- helpers shared by the handler files ----
    // The opcode's fields as the decode tables name them: z (bits 2-0, the
    // source register of most forms), p (bits 5-4 of y, a register pair) and
    // q (bit 3); y itself is opY.
    int opZ() const { return opcode & 7; }
    int opP() const { return opY >> 1; }
    int opQ() const { return opY & 1; }
    // A and F, the pairs and W and Z resolve the exchange flags inline, so
    // that an exchange instruction only toggles a flag.
    uint8_t getA() { return afSwapped ? A_ : A; }
    void setA(uint8_t v) { (afSwapped ? A_ : A) = v; }
    uint8_t getF() { return afSwapped ? F_ : F; }
    void setF(uint8_t v) {
        regF() = v;
        flagsTouched = 1;
    }
    uint8_t& regF() { return afSwapped ? F_ : F; }
    uint8_t& regB() { return exxSwapped ? B_ : B; }
    uint8_t& regC() { return exxSwapped ? C_ : C; }
    uint8_t& regD() { return exxSwapped ? (deHlSwappedAlt ? H_ : D_) : (deHlSwapped ? H : D); }
    uint8_t& regE() { return exxSwapped ? (deHlSwappedAlt ? L_ : E_) : (deHlSwapped ? L : E); }
    uint8_t& regH() { return exxSwapped ? (deHlSwappedAlt ? D_ : H_) : (deHlSwapped ? D : H); }
    uint8_t& regL() { return exxSwapped ? (deHlSwappedAlt ? E_ : L_) : (deHlSwapped ? E : L); }
    uint8_t& regHx() { return ixMode ? IXh : iyMode ? IYh : regH(); }
    uint8_t& regLx() { return ixMode ? IXl : iyMode ? IYl : regL(); }
    uint16_t getHLx() { return uint16_t((regHx() << 8) | regLx()); }
    void setHLx(uint16_t v) {
        regHx() = uint8_t(v >> 8);
        regLx() = uint8_t(v);
    }
    uint16_t getIndex() const { return ixMode ? getIX() : getIY(); }
    uint8_t getW() { return uint8_t((exxSwapped ? WZ_ : WZ) >> 8); }
    void setW(uint8_t v) {
        uint16_t& r = exxSwapped ? WZ_ : WZ;
        r = uint16_t((r & 0xFF) | (v << 8));
    }
    uint8_t getZ() { return uint8_t(exxSwapped ? WZ_ : WZ); }
    void setZ(uint8_t v) {
        uint16_t& r = exxSwapped ? WZ_ : WZ;
        r = uint16_t((r & 0xFF00) | v);
    }
    inline uint8_t readReg(int r);
    inline void writeReg(int r, uint8_t v);
    inline uint16_t getPair(int p);  // PairBC, PairDE, PairHL (IX/IY), PairSP
    inline void setPair(int p, uint16_t v);
    // Condition y of JP cc, CALL cc, RET cc: NZ Z NC C PO PE P M.
    bool condition(int y) {
        static constexpr uint8_t mask[8] = {FlagZ, FlagZ, FlagC, FlagC, FlagPV, FlagPV, FlagS, FlagS};
        return ((getF() & mask[y]) != 0) == bool(y & 1);
    }

    // A bus request also selects the first T-state of its cycle.
    void request(uint8_t kind) {
        static constexpr uint8_t firstPhase[8] = {PhInternal, PhReadPcT1, PhReadT1, PhWriteT1,
                                                  PhInT1,     PhOutT1,    PhReadT1, PhWriteT1};
        busRequest = kind;
        phase = firstPhase[kind];
    }
    void requestReadPc() { request(BusReadPc); }
    void requestRead(uint16_t a) {
        addressBus = a;
        request(BusRead);
    }
    void requestWrite(uint16_t a, uint8_t v) {
        addressBus = a;
        dataLatch = v;
        request(BusWrite);
    }
    void requestStackRead(uint16_t a) {
        addressBus = a;
        request(BusStackRead);
    }
    void requestStackWrite(uint16_t a, uint8_t v) {
        addressBus = a;
        dataLatch = v;
        request(BusStackWrite);
    }
    void requestIn(uint16_t port) {
        addressBus = port;
        request(BusIn);
    }
    void requestOut(uint16_t port, uint8_t v) {
        addressBus = port;
        dataLatch = v;
        request(BusOut);
    }
    void finish() { executing = 0; }

    // Two 8-bit additions forming IX/IY + d, or PC + e for relative jumps.
    void displacementLow(uint16_t base);
    void displacementHigh(uint16_t base);
    // Common tail of the repeating block instructions, from step a.
    void repeatTail(int a);
    // Steps shared by handlers that differ only in a register or address.
    // The reading* ones are true while their steps run: steps 0-1 for a
    // 16-bit operand, 0-2 for the displacement and WZ = index + d.
    bool readingDisplacement();
    void incdecMemory(uint16_t address, int s);
    void repeatUnless(int n, bool last);
    void rotateDigits(bool left);
    bool readingOperandWord();
    void relativeJump(int s);
    void pushPcAndJump(int s);
    bool poppingWZ(int s);
    void storeWordAtOperand(uint16_t value);
    bool loadWordAtOperand();
    void cbBitMemory(uint16_t address);
    void cbModifyMemory(uint16_t address, bool copyToRegister);

    void buildTables();

private:
    inline void decode();
    void decodeAcknowledge();
    inline void runHandler();
    inline void endInstruction();
    void acceptInterrupt();
};

inline uint8_t Z80CPU::readReg(int r) {
    switch (r) {
        case RegB: return regB();
        case RegC: return regC();
        case RegD: return regD();
        case RegE: return regE();
        case RegH: return regHx();
        case RegL: return regLx();
        case RegMemory: return dataLatch;
        default: return getA();
    }
}

inline void Z80CPU::writeReg(int r, uint8_t v) {
    switch (r) {
        case RegB: regB() = v; break;
        case RegC: regC() = v; break;
        case RegD: regD() = v; break;
        case RegE: regE() = v; break;
        case RegH: regHx() = v; break;
        case RegL: regLx() = v; break;
        case RegMemory: break;
        default: setA(v); break;
    }
}

inline uint16_t Z80CPU::getPair(int p) {
    switch (p) {
        case PairBC: return getBC();
        case PairDE: return getDE();
        case PairHL: return getHLx();
        default: return getSP();
    }
}

inline void Z80CPU::setPair(int p, uint16_t v) {
    switch (p) {
        case PairBC: setBC(v); break;
        case PairDE: setDE(v); break;
        case PairHL: setHLx(v); break;
        default: setSP(v); break;
    }
}

// The value of source, put on the address bus before the change when
// driveBus is PairOnBus, stepped by direction into pairTemp and destination.
inline void Z80CPU::init_incdec_reg16(int direction, int source, int driveBus, int destination) {
    uint16_t v;
    switch (source) {
        case PairBC: v = getBC(); break;
        case PairDE: v = getDE(); break;
        case PairHL: v = getHLx(); break;
        case PairSP: v = getSP(); break;
        case PairWZ: v = getWZ(); break;
        case PairPC: v = PC; break;
        default: v = pairTemp; break;
    }
    if (driveBus) addressBus = v;
    pairWasOne = v == 1;
    if (direction == PairIncrement) ++v;
    else if (direction == PairDecrement) --v;
    pairTemp = v;
    switch (destination) {
        case PairBC: setBC(v); break;
        case PairDE: setDE(v); break;
        case PairHL: setHLx(v); break;
        case PairSP: setSP(v); break;
        case PairWZ: setWZ(v); break;
        case PairPC: PC = v; break;
        default: break;
    }
}

// T3 of the opcode fetch: the table of the prefix in force picks the handler.
inline void Z80CPU::decode() {
    opY = (opcode >> 3) & 7;
    const unsigned op = opcode;
    if (__builtin_expect(prefix == PrefixNone, 1)) {
        if (__builtin_expect(!intAckPending, 1)) handler = mainTable[op];
        else decodeAcknowledge();
    } else if (prefix == PrefixCB) {
        handler = (ixMode | iyMode) ? indexCbTable[op] : cbTable[op];
    } else if (prefix == PrefixED) {
        handler = edTable[op];
    } else {
        handler = indexTable[op];
    }
    executing = 1;
    flagsTouched = 0;
}

inline void Z80CPU::endInstruction() {
    step = 0;
    fetching = 1;
    phase = PhFetchT1;
    // Prefix handlers copy the opcode into prefix; PrefixEndMarker is never
    // a prefix byte, so ED FF, CB FF and DD CB d FF end as instructions.
    if (__builtin_expect(prefix == opcode && prefix != PrefixEndMarker, 0)) return;
    ixMode = 0;
    iyMode = 0;
    prefix = PrefixNone;
    flagsTouchedPrev = flagsTouched;
    // One test for both: no interrupt is accepted right after EI.
    if (__builtin_expect(eiPending | (intLine & iff1), 0)) {
        if (eiPending) eiPending = 0;
        else acceptInterrupt();
    }
}

inline void Z80CPU::runHandler() {
    phase = PhInternal;  // unless the handler requests a bus cycle
    handler(*this);
    if (executing) {
        ++step;
        return;
    }
    endInstruction();
}

// One T-state of the phase the sequencer stands in. A WAIT-sampling T-state
// repeats while WAIT is high; the T-states that end a bus cycle, and every
// internal one, run the handler's next step.
template <Z80CPU::WaitInput Wait>
inline bool Z80CPU::clockWith() {
    const bool waiting = Wait == WaitFromPin ? wait : Wait == WaitHigh;
    bool ioEdge = false;
    switch (phase) {
        case PhFetchT1:
            m1 = 1;
            addressBus = PC;
            if (__builtin_expect(intAckPending, 0)) {
                // An acknowledge holds PC and reads no memory.
                phase = PhAckT2;
                return false;
            }
            mreq = 1;
            rd = 1;
            ++PC;
            phase = PhFetchT2;
            return false;
        case PhFetchT2:
            if (__builtin_expect(waiting, 0)) return false;
            phase = PhFetchT3;
            return false;
        case PhAckT2: phase = PhAckWait1; return false;
        case PhAckWait1:
            iorq = 1;
            phase = PhAckWait2;
            return true;
        case PhAckWait2:
            if (__builtin_expect(waiting, 0)) return false;
            intVector = dataBus;
            phase = PhAckT3;
            return false;
        case PhAckT3:  // IORQ falls, then as the T3 of an opcode fetch
            iorq = 0;
            ioEdge = true;
            [[fallthrough]];
        case PhFetchT3:  // opcode in, refresh out
            m1 = 0;
            opcode = dataBus;
            mreq = 1;
            rd = 0;
            rfsh = 1;
            R = uint8_t((R & 0x80) | ((R + 1) & 0x7F));
            addressBus = uint16_t((I << 8) | R);
            decode();
            phase = PhFetchT4;
            return ioEdge;
        case PhFetchT4:  // the handler's first step
            mreq = 0;
            rfsh = 0;
            fetching = 0;
            break;
        case PhInternal: break;
        case PhReadPcT1:
            addressBus = PC;
            ++PC;
            m1 = 1;
            mreq = 1;
            rd = 1;
            phase = PhReadPcT2;
            return false;
        case PhReadPcT2:
            m1 = 0;
            if (__builtin_expect(waiting, 0)) return false;
            phase = PhReadT3;
            return false;
        case PhReadT1:
            mreq = 1;
            rd = 1;
            phase = PhReadT2;
            return false;
        case PhReadT2:
            if (__builtin_expect(waiting, 0)) return false;
            phase = PhReadT3;
            return false;
        case PhReadT3:
            dataLatch = dataBus;
            mreq = 0;
            rd = 0;
            busRequest = BusNone;
            break;
        case PhWriteT1:
            mreq = 1;
            phase = PhWriteT2;
            return false;
        case PhWriteT2:
            wr = 1;
            dataBus = dataLatch;
            if (__builtin_expect(waiting, 0)) return false;
            phase = PhWriteT3;
            return false;
        case PhWriteT3:
            mreq = 0;
            wr = 0;
            busRequest = BusNone;
            break;
        case PhInT1: phase = PhInT2; return false;
        case PhInT2:
            iorq = 1;
            rd = 1;
            phase = PhInWait;
            return true;
        case PhInWait:
            if (__builtin_expect(waiting, 0)) return false;
            phase = PhInT3;
            return false;
        case PhInT3:
            iorq = 0;
            rd = 0;
            dataLatch = dataBus;
            busRequest = BusNone;
            ioEdge = true;
            break;
        case PhOutT1: phase = PhOutT2; return false;
        case PhOutT2:
            iorq = 1;
            wr = 1;
            dataBus = dataLatch;
            phase = PhOutWait;
            return true;
        case PhOutWait:
            if (__builtin_expect(waiting, 0)) return false;
            phase = PhOutT3;
            return false;
        case PhOutT3:
            iorq = 0;
            wr = 0;
            busRequest = BusNone;
            ioEdge = true;
            break;
        default: __builtin_unreachable();
    }
    runHandler();
    return ioEdge;
}

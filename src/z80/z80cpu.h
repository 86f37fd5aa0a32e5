// Zilog Z80 stepped one T-state per clock() call. The master clock (gate
// array or ASIC) drives WAIT and INT, calls clock() four times per
// microsecond and serves whatever memory or I/O cycle the pins show.
// clock() is inline: it runs four million times per emulated second, and
// every instruction is a handler called once per step from here.
#pragma once
#include <cstdint>

class Z80CPU {
public:
    typedef void (Z80CPU::*Handler)();
    typedef uint8_t (Z80CPU::*ByteReader)();
    typedef void (Z80CPU::*ByteWriter)(uint8_t);
    typedef void (*HandlerFn)(Z80CPU*);

    enum BusKind : uint8_t {
        BusNone = 0, BusReadPc, BusRead, BusWrite, BusIn, BusOut, BusStackRead, BusStackWrite
    };

    // F bits
    enum : uint8_t {
        FlagS = 0x80, FlagZ = 0x40, FlagY = 0x20, FlagH = 0x10,
        FlagX = 0x08, FlagPV = 0x04, FlagN = 0x02, FlagC = 0x01
    };

    // ---- pins and bus ----
    bool m1 = 0;
    bool mreq = 0;
    bool iorq = 0;
    bool rd = 0;
    bool wr = 0;
    bool rfsh = 0;
    bool halt = 0;
    bool wait = 0;      // input
    bool intLine = 0;   // input
    uint16_t addressBus = 0;
    uint8_t dataBus = 0;
    uint8_t intVector = 0;

    // ---- decoder and sequencer ----
    uint8_t opcode = 0;
    uint8_t prefix = 0;
    uint8_t opY = 0;
    // The handler of the instruction in progress, as a plain function
    // pointer, so that each step is one indirect call.
    HandlerFn handlerFn = nullptr;
    // The same as a member function pointer, looked up (for tests and
    // debuggers; decode keeps only handlerFn).
    Handler currentHandler() const;
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
#define Z80_PHASE_LIST(X)                                                                         \
    X(PhFetchT1) X(PhFetchT2) X(PhAckT2) X(PhAckWait1) X(PhAckWait2) X(PhAckT3) X(PhFetchT3)        \
    X(PhFetchT4)                                                                                   \
    X(PhInternal) X(PhReadPcT1) X(PhReadPcT2) X(PhReadT1) X(PhReadT2) X(PhReadT3) X(PhWriteT1)     \
    X(PhWriteT2) X(PhWriteT3) X(PhInT1) X(PhInT2) X(PhInWait) X(PhInT3) X(PhOutT1) X(PhOutT2)       \
    X(PhOutWait) X(PhOutT3)
#define Z80_PHASE_ENUM(p) p,
    enum Phase : uint8_t { Z80_PHASE_LIST(Z80_PHASE_ENUM) };
#undef Z80_PHASE_ENUM
    uint8_t phase = PhFetchT1;
    // Where the opcode fetch and the other bus cycles stand, as debuggers and
    // tests count them: the fetch's last T-state done (1 T1, 2 acknowledge
    // T2, 3 its first wait, 4 T2, 5 T3; 0 outside a fetch) and a bus
    // cycle's (1 T1, 2 T2, 3 the I/O wait; 0 none). Both follow from phase.
    uint8_t fetchState() const
    {
        static constexpr uint8_t byPhase[] = {0, 1, 1, 2, 3, 4, 4, 5};
        return phase <= PhFetchT4 ? byPhase[phase] : 0;
    }
    uint8_t busState() const
    {
        switch (phase) {
        case PhReadPcT2: case PhReadT2: case PhWriteT2: case PhInT2: case PhOutT2: return 1;
        case PhReadT3: case PhWriteT3: case PhInWait: case PhOutWait: return 2;
        case PhInT3: case PhOutT3: return 3;
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
    // The same five tables as plain function pointers, filled by
    // buildTables(), so that decode takes a handler's address without a
    // member-pointer conversion.
    HandlerFn mainFns[256];
    HandlerFn indexFns[256];
    HandlerFn cbFns[256];
    HandlerFn indexCbFns[256];
    HandlerFn edFns[256];
    HandlerFn imTwoFn = nullptr;
    ByteReader readA = nullptr;
    ByteWriter writeA = nullptr;
    ByteReader readF = nullptr;
    ByteWriter writeW = nullptr;
    ByteReader readW = nullptr;
    ByteWriter writeZ = nullptr;
    ByteReader readZ = nullptr;

    Z80CPU();

    // One T-state; true when it wrote IORQ (the only pin a bus decoder must
    // watch for edges), so that the caller need not compare it every T-state.
    inline bool clock() { return clockWith<WaitFromPin>(); }
    // The same with the WAIT input fixed, for a clock whose WAIT pattern is
    // known: no pin to write or read.
    enum WaitInput { WaitFromPin, WaitLow, WaitHigh };
    template <WaitInput Wait> inline bool clockWith();
    template <class BusService> uint64_t clockRun(uint64_t count, BusService bus);
    void reset();

    // ---- accessor slot targets ----
    uint8_t get_a() { return A; }
    void set_a(uint8_t v) { A = v; }
    uint8_t get_a_() { return A_; }
    void set_a_(uint8_t v) { A_ = v; }
    uint8_t get_f() { return F; }
    uint8_t get_f_() { return F_; }
    uint8_t get_w() { return uint8_t(WZ >> 8); }
    void set_w(uint8_t v) { WZ = uint16_t((WZ & 0x00FF) | (v << 8)); }
    uint8_t get_z() { return uint8_t(WZ); }
    void set_z(uint8_t v) { WZ = uint16_t((WZ & 0xFF00) | v); }
    uint8_t get_w_() { return uint8_t(WZ_ >> 8); }
    void set_w_(uint8_t v) { WZ_ = uint16_t((WZ_ & 0x00FF) | (v << 8)); }
    uint8_t get_z_() { return uint8_t(WZ_); }
    void set_z_(uint8_t v) { WZ_ = uint16_t((WZ_ & 0xFF00) | v); }

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
    void setAF(uint16_t v) { setA(uint8_t(v >> 8)); regF() = uint8_t(v); }
    void setBC(uint16_t v) { regB() = uint8_t(v >> 8); regC() = uint8_t(v); }
    void setDE(uint16_t v) { regD() = uint8_t(v >> 8); regE() = uint8_t(v); }
    void setHL(uint16_t v) { regH() = uint8_t(v >> 8); regL() = uint8_t(v); }
    void setIX(uint16_t v) { IXh = uint8_t(v >> 8); IXl = uint8_t(v); }
    void setIY(uint16_t v) { IYh = uint8_t(v >> 8); IYl = uint8_t(v); }
    void setSP(uint16_t v) { SPh = uint8_t(v >> 8); SPl = uint8_t(v); }
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
    // A, F, W and Z resolve the exchange flags inline; this is the same
    // mapping the accessor slots follow, without an indirect call per access.
    uint8_t getA() { return afSwapped ? A_ : A; }
    void setA(uint8_t v) { (afSwapped ? A_ : A) = v; }
    uint8_t getF() { return afSwapped ? F_ : F; }
    void setF(uint8_t v) { regF() = v; flagsTouched = 1; }
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
    void setHLx(uint16_t v) { regHx() = uint8_t(v >> 8); regLx() = uint8_t(v); }
    uint16_t getIndex() const { return ixMode ? getIX() : getIY(); }
    uint8_t getW() { return uint8_t((exxSwapped ? WZ_ : WZ) >> 8); }
    void setW(uint8_t v) { uint16_t& r = exxSwapped ? WZ_ : WZ; r = uint16_t((r & 0xFF) | (v << 8)); }
    uint8_t getZ() { return uint8_t(exxSwapped ? WZ_ : WZ); }
    void setZ(uint8_t v) { uint16_t& r = exxSwapped ? WZ_ : WZ; r = uint16_t((r & 0xFF00) | v); }
    inline uint8_t readReg(int r);
    inline void writeReg(int r, uint8_t v);
    inline uint16_t getPair(int p);          // 0 BC, 1 DE, 2 HL/IX/IY, 3 SP
    inline void setPair(int p, uint16_t v);
    bool condition(int y) {
        static constexpr uint8_t mask[8] = {FlagZ, FlagZ, FlagC, FlagC, FlagPV, FlagPV, FlagS, FlagS};
        return ((getF() & mask[y]) != 0) == bool(y & 1);
    }

    // A bus request also selects the first T-state of its cycle.
    void request(uint8_t kind)
    {
        static constexpr uint8_t firstPhase[8] = {PhInternal, PhReadPcT1, PhReadT1, PhWriteT1,
                                                  PhInT1,     PhOutT1,    PhReadT1, PhWriteT1};
        busRequest = kind;
        phase = firstPhase[kind];
    }
    void requestReadPc() { request(BusReadPc); }
    void requestRead(uint16_t a) { addressBus = a; request(BusRead); }
    void requestWrite(uint16_t a, uint8_t v) { addressBus = a; dataLatch = v; request(BusWrite); }
    void requestStackRead(uint16_t a) { addressBus = a; request(BusStackRead); }
    void requestStackWrite(uint16_t a, uint8_t v) { addressBus = a; dataLatch = v; request(BusStackWrite); }
    void requestIn(uint16_t port) { addressBus = port; request(BusIn); }
    void requestOut(uint16_t port, uint8_t v) { addressBus = port; dataLatch = v; request(BusOut); }
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

inline uint8_t Z80CPU::readReg(int r)
{
    switch (r) {
    case 0: return regB();
    case 1: return regC();
    case 2: return regD();
    case 3: return regE();
    case 4: return regHx();
    case 5: return regLx();
    case 6: return dataLatch;
    default: return getA();
    }
}

inline void Z80CPU::writeReg(int r, uint8_t v)
{
    switch (r) {
    case 0: regB() = v; break;
    case 1: regC() = v; break;
    case 2: regD() = v; break;
    case 3: regE() = v; break;
    case 4: regHx() = v; break;
    case 5: regLx() = v; break;
    case 6: break;
    default: setA(v); break;
    }
}

inline uint16_t Z80CPU::getPair(int p)
{
    switch (p) {
    case 0: return getBC();
    case 1: return getDE();
    case 2: return getHLx();
    default: return getSP();
    }
}

inline void Z80CPU::setPair(int p, uint16_t v)
{
    switch (p) {
    case 0: setBC(v); break;
    case 1: setDE(v); break;
    case 2: setHLx(v); break;
    default: setSP(v); break;
    }
}

inline void Z80CPU::init_incdec_reg16(int direction, int source, int driveBus, int destination)
{
    uint16_t v;
    switch (source) {
    case 0: v = getBC(); break;
    case 1: v = getDE(); break;
    case 2: v = getHLx(); break;
    case 3: v = getSP(); break;
    case 4: v = getWZ(); break;
    case 5: v = PC; break;
    default: v = pairTemp; break;
    }
    if (driveBus)
        addressBus = v;
    pairWasOne = v == 1;
    if (direction == 0)
        ++v;
    else if (direction == 1)
        --v;
    pairTemp = v;
    switch (destination) {
    case 0: setBC(v); break;
    case 1: setDE(v); break;
    case 2: setHLx(v); break;
    case 3: setSP(v); break;
    case 4: setWZ(v); break;
    case 5: PC = v; break;
    default: break;
    }
}

inline void Z80CPU::decode()
{
    opY = (opcode >> 3) & 7;
    const unsigned op = opcode;
    if (__builtin_expect(!prefix, 1)) {
        if (__builtin_expect(!intAckPending, 1)) {
            handlerFn = mainFns[op];
        } else {
            decodeAcknowledge();
        }
    } else if (prefix == 0xCB) {
        const bool indexed = ixMode | iyMode;
        handlerFn = indexed ? indexCbFns[op] : cbFns[op];
    } else if (prefix == 0xED) {
        handlerFn = edFns[op];
    } else {
        handlerFn = indexFns[op];
    }
    executing = 1;
    flagsTouched = 0;
}

inline void Z80CPU::endInstruction()
{
    step = 0;
    fetching = 1;
    phase = PhFetchT1;
    // Prefix handlers copy the opcode into prefix. 0xFF is the marker of
    // nop/cb_set/cb_set_ixy and never a prefix byte, so ED FF, CB FF and
    // DD CB d FF end as ordinary instructions.
    if (__builtin_expect(prefix == opcode && prefix != 0xFF, 0))
        return;
    ixMode = 0;
    iyMode = 0;
    prefix = 0;
    flagsTouchedPrev = flagsTouched;
    // One test for both: no interrupt is accepted right after EI.
    if (__builtin_expect(eiPending | (intLine & iff1), 0)) {
        if (eiPending)
            eiPending = 0;
        else
            acceptInterrupt();
    }
}

inline void Z80CPU::runHandler()
{
    phase = PhInternal; // unless the handler requests a bus cycle
    handlerFn(this);
    if (executing) {
        ++step;
        return;
    }
    endInstruction();
}

template <Z80CPU::WaitInput Wait>
inline bool Z80CPU::clockWith()
{
    bool ioEdge = false;
#define Z80_PHASE(p) case p:
#define Z80_NEXT(p) do { phase = p; return ioEdge; } while (0)
#define Z80_STAY(p) return false
#define Z80_HANDLER_STEP() break
#define Z80_IO_EDGE() ioEdge = true
#define Z80_FALL_THROUGH() [[fallthrough]]
#define Z80_WAITING (Wait == WaitFromPin ? wait : Wait == WaitHigh)
    switch (phase) {
#include "z80/z80_tstate_phases.inc"
    default:
        __builtin_unreachable();
    }
#undef Z80_PHASE
#undef Z80_NEXT
#undef Z80_STAY
#undef Z80_HANDLER_STEP
#undef Z80_IO_EDGE
#undef Z80_FALL_THROUGH
#undef Z80_WAITING
    runHandler();
    return ioEdge;
}

// The same T-states as `count` calls of clock(), each followed by
// bus(*this, n), n counting the T-states run so far: for callers that serve
// the pins alike after every T-state. Each phase jumps straight to the next,
// so only the phase after a handler step is dispatched indirectly. bus is
// taken by value, so that its state can live in registers. Stops early when
// bus() returns false; returns the T-states run.
template <class BusService>
uint64_t Z80CPU::clockRun(uint64_t count, BusService bus)
{
    if (!count)
        return 0;
#define Z80_PHASE_LABEL(p) &&phase_##p,
    void* const dispatch[] = {Z80_PHASE_LIST(Z80_PHASE_LABEL)};
#undef Z80_PHASE_LABEL
    uint64_t left = count;
#define Z80_END_TSTATE(next)                                                                       \
    do {                                                                                           \
        const uint64_t ran = count - left + 1;                                                     \
        if (!bus(*this, ran))                                                                      \
            return ran;                                                                            \
        if (!--left)                                                                               \
            return count;                                                                          \
        next;                                                                                      \
    } while (0)
#define Z80_PHASE(p) phase_##p:
#define Z80_NEXT(p) do { phase = p; Z80_END_TSTATE(goto phase_##p); } while (0)
#define Z80_STAY(p) Z80_END_TSTATE(goto phase_##p)
#define Z80_HANDLER_STEP() goto handler_step
#define Z80_IO_EDGE() ((void)0)
#define Z80_FALL_THROUGH() ((void)0)
#define Z80_WAITING wait
    goto *dispatch[phase];
#include "z80/z80_tstate_phases.inc"
handler_step:
    runHandler();
    Z80_END_TSTATE(goto *dispatch[phase]);
#undef Z80_PHASE
#undef Z80_NEXT
#undef Z80_STAY
#undef Z80_HANDLER_STEP
#undef Z80_IO_EDGE
#undef Z80_FALL_THROUGH
#undef Z80_WAITING
#undef Z80_END_TSTATE
}

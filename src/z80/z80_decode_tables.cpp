// The five handler tables and szpTable, and the prefix handlers that
// choose which table decodes the next byte.
#include "z80/z80cpu.h"

namespace {
template <Z80CPU::Member step>
constexpr Z80CPU::Handler handlerOf = &Z80CPU::entry<step>;
}  // namespace

void Z80CPU::buildTables() {
    for (int v = 0; v < 256; ++v) {
        int bits = 0;
        for (int b = 0; b < 8; ++b) bits += (v >> b) & 1;
        szpTable[v] = uint8_t((v & 0x80) | (v == 0 ? FlagZ : 0) | ((bits & 1) ? 0 : FlagPV));
    }

    for (int op = 0; op < 256; ++op) {
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7, q = y & 1;
        Handler h = handlerOf<&Z80CPU::nop>;
        switch (x) {
            case 0:
                switch (z) {
                    case 0:
                        if (y == 1) h = handlerOf<&Z80CPU::ex_af_af>;
                        else if (y == 2) h = handlerOf<&Z80CPU::djnz>;
                        else if (y >= 3) h = handlerOf<&Z80CPU::jr_n>;
                        break;
                    case 1: h = q ? handlerOf<&Z80CPU::add_hl_rr> : handlerOf<&Z80CPU::ld_rr_nn>; break;
                    case 2:
                        switch (y) {
                            case 0:
                            case 2: h = handlerOf<&Z80CPU::ld_bcde_a>; break;
                            case 1:
                            case 3: h = handlerOf<&Z80CPU::ld_a_bcde>; break;
                            case 4: h = handlerOf<&Z80CPU::ld_nn_hl>; break;
                            case 5: h = handlerOf<&Z80CPU::ld_hl_nn>; break;
                            case 6: h = handlerOf<&Z80CPU::ld_nn_a>; break;
                            default: h = handlerOf<&Z80CPU::ld_a_nn>; break;
                        }
                        break;
                    case 3: h = handlerOf<&Z80CPU::incdec_rr>; break;
                    case 4:
                    case 5: h = y == 6 ? handlerOf<&Z80CPU::incdec_hl> : handlerOf<&Z80CPU::incdec_r>; break;
                    case 6: h = y == 6 ? handlerOf<&Z80CPU::ld_hl_n> : handlerOf<&Z80CPU::ld_r_n>; break;
                    default: h = handlerOf<&Z80CPU::acc_op>; break;
                }
                break;
            case 1:
                if (op == 0x76) h = handlerOf<&Z80CPU::op_halt>;
                else if (z == 6) h = handlerOf<&Z80CPU::ld_r_hl>;
                else if (y == 6) h = handlerOf<&Z80CPU::ld_hl_r>;
                else h = handlerOf<&Z80CPU::ld_r_r>;
                break;
            case 2: h = z == 6 ? handlerOf<&Z80CPU::op_alu_a_hl> : handlerOf<&Z80CPU::op_alu_a_r>; break;
            default:
                switch (z) {
                    case 0: h = handlerOf<&Z80CPU::ret_n>; break;
                    case 1:
                        if (!q) h = handlerOf<&Z80CPU::pop_rr>;
                        else if (y == 1) h = handlerOf<&Z80CPU::ret>;
                        else if (y == 3) h = handlerOf<&Z80CPU::exx>;
                        else if (y == 5) h = handlerOf<&Z80CPU::jp_hl>;
                        else h = handlerOf<&Z80CPU::ld_sp_hl>;
                        break;
                    case 2: h = handlerOf<&Z80CPU::jp_n>; break;
                    case 3:
                        switch (y) {
                            case 0: h = handlerOf<&Z80CPU::jp_nn>; break;
                            case 1: h = handlerOf<&Z80CPU::cb_prefix>; break;
                            case 2: h = handlerOf<&Z80CPU::out_n>; break;
                            case 3: h = handlerOf<&Z80CPU::in_n>; break;
                            case 4: h = handlerOf<&Z80CPU::op_ex_sp_hl>; break;
                            case 5: h = handlerOf<&Z80CPU::op_ex_de_hl>; break;
                            default: h = handlerOf<&Z80CPU::op_diei>; break;
                        }
                        break;
                    case 4: h = handlerOf<&Z80CPU::call_n>; break;
                    case 5:
                        if (!q) h = handlerOf<&Z80CPU::push_rr>;
                        else if (y == 1) h = handlerOf<&Z80CPU::call_nn>;
                        else if (y == 3) h = handlerOf<&Z80CPU::dd_prefix>;
                        else if (y == 5) h = handlerOf<&Z80CPU::ed_prefix>;
                        else h = handlerOf<&Z80CPU::fd_prefix>;
                        break;
                    case 6: h = handlerOf<&Z80CPU::op_alu_a_n>; break;
                    default: h = handlerOf<&Z80CPU::rst>; break;
                }
                break;
        }
        mainTable[op] = h;

        Handler ih = h;
        if (op == 0x34 || op == 0x35) ih = handlerOf<&Z80CPU::incdec_ixy>;
        else if (op == 0x36) ih = handlerOf<&Z80CPU::ld_ixy_n>;
        else if (x == 1 && z == 6 && y != 6) ih = handlerOf<&Z80CPU::ld_r_ixy>;
        else if (x == 1 && y == 6 && z != 6) ih = handlerOf<&Z80CPU::ld_ixy_r>;
        else if (x == 2 && z == 6) ih = handlerOf<&Z80CPU::op_alu_a_ixy>;
        indexTable[op] = ih;

        switch (x) {
            case 0:
                cbTable[op] = z == 6 ? handlerOf<&Z80CPU::cb_rotshift_hl> : handlerOf<&Z80CPU::cb_rotshift>;
                indexCbTable[op] =
                    z == 6 ? handlerOf<&Z80CPU::cb_rotshift_hl_ixy> : handlerOf<&Z80CPU::cb_rotshift_ixy>;
                break;
            case 1:
                cbTable[op] = z == 6 ? handlerOf<&Z80CPU::cb_bit_hl> : handlerOf<&Z80CPU::cb_bit>;
                indexCbTable[op] = handlerOf<&Z80CPU::cb_bit_hl_ixy>;
                break;
            case 2:
                cbTable[op] = z == 6 ? handlerOf<&Z80CPU::cb_res_hl> : handlerOf<&Z80CPU::cb_res>;
                indexCbTable[op] = z == 6 ? handlerOf<&Z80CPU::cb_res_hl_ixy> : handlerOf<&Z80CPU::cb_res_ixy>;
                break;
            default:
                cbTable[op] = z == 6 ? handlerOf<&Z80CPU::cb_set_hl> : handlerOf<&Z80CPU::cb_set>;
                indexCbTable[op] = z == 6 ? handlerOf<&Z80CPU::cb_set_hl_ixy> : handlerOf<&Z80CPU::cb_set_ixy>;
                break;
        }

        Handler eh = handlerOf<&Z80CPU::nop>;
        if (x == 1) {
            switch (z) {
                case 0: eh = op == 0x70 ? handlerOf<&Z80CPU::ed_in_0> : handlerOf<&Z80CPU::ed_in>; break;
                case 1: eh = op == 0x71 ? handlerOf<&Z80CPU::ed_out_0> : handlerOf<&Z80CPU::ed_out>; break;
                case 2: eh = handlerOf<&Z80CPU::ed_sbc_adc>; break;
                case 3: eh = q ? handlerOf<&Z80CPU::ed_ld_rr_nn> : handlerOf<&Z80CPU::ed_ld_nn_rr>; break;
                case 4: eh = handlerOf<&Z80CPU::ed_neg>; break;
                case 5: eh = handlerOf<&Z80CPU::ed_retni>; break;
                case 6: eh = handlerOf<&Z80CPU::ed_im>; break;
                default:
                    if (y < 4) eh = handlerOf<&Z80CPU::ed_ld_i_r>;
                    else if (y == 4) eh = handlerOf<&Z80CPU::ed_rrd>;
                    else if (y == 5) eh = handlerOf<&Z80CPU::ed_rld>;
                    break;
            }
        } else if (x == 2 && y >= 4 && z < 4) {
            static const Handler single[4] = {handlerOf<&Z80CPU::ed_lddi>, handlerOf<&Z80CPU::ed_cpdi>,
                                              handlerOf<&Z80CPU::ed_indi>, handlerOf<&Z80CPU::ed_outdi>};
            static const Handler repeating[4] = {handlerOf<&Z80CPU::ed_lddri>, handlerOf<&Z80CPU::ed_cpdir>,
                                                 handlerOf<&Z80CPU::ed_indir>, handlerOf<&Z80CPU::ed_otdir>};
            eh = y >= 6 ? repeating[z] : single[z];
        }
        edTable[op] = eh;
    }
}

// Prefix handlers end by copying the opcode into prefix: the sequencer then
// keeps the prefix state and skips the interrupt check.

// DD: M1, 4 T-states, 1 us.
void Z80CPU::dd_prefix() {
    ixMode = 1;
    iyMode = 0;
    prefix = opcode;
    finish();
}

// FD: M1, 4 T-states, 1 us.
void Z80CPU::fd_prefix() {
    iyMode = 1;
    ixMode = 0;
    prefix = opcode;
    finish();
}

// ED: M1, 4 T-states, 1 us.
void Z80CPU::ed_prefix() {
    ixMode = 0;
    iyMode = 0;
    prefix = opcode;
    finish();
}

// After DD/FD, CB also reads the displacement and forms WZ = index + d
// before the final opcode byte is fetched.
// CB: M1, 4 T-states, 1 us; after DD/FD also P i i for d and WZ = IX/IY + d.
void Z80CPU::cb_prefix() {
    if (!(ixMode | iyMode)) {
        prefix = opcode;
        finish();
        return;
    }
    if (readingDisplacement()) return;
    prefix = opcode;
    finish();
}

// NOP, and the ED opcodes that do nothing: M1, 4 T-states (8 with ED), 1 us (2 with ED).
void Z80CPU::nop() {
    prefix = PrefixEndMarker;
    finish();
}

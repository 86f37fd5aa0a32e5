// The five handler tables and szpTable, and the prefix handlers that
// choose which table decodes the next byte.
#include "z80/z80cpu.h"

void Z80CPU::buildTables()
{
    for (int v = 0; v < 256; ++v) {
        int bits = 0;
        for (int b = 0; b < 8; ++b)
            bits += (v >> b) & 1;
        szpTable[v] = uint8_t((v & 0x80) | (v == 0 ? FlagZ : 0) | ((bits & 1) ? 0 : FlagPV));
    }

    for (int op = 0; op < 256; ++op) {
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7, q = y & 1;
        Handler h = &Z80CPU::nop;
        switch (x) {
        case 0:
            switch (z) {
            case 0:
                if (y == 1) h = &Z80CPU::ex_af_af;
                else if (y == 2) h = &Z80CPU::djnz;
                else if (y >= 3) h = &Z80CPU::jr_n;
                break;
            case 1: h = q ? &Z80CPU::add_hl_rr : &Z80CPU::ld_rr_nn; break;
            case 2:
                switch (y) {
                case 0: case 2: h = &Z80CPU::ld_bcde_a; break;
                case 1: case 3: h = &Z80CPU::ld_a_bcde; break;
                case 4: h = &Z80CPU::ld_nn_hl; break;
                case 5: h = &Z80CPU::ld_hl_nn; break;
                case 6: h = &Z80CPU::ld_nn_a; break;
                default: h = &Z80CPU::ld_a_nn; break;
                }
                break;
            case 3: h = &Z80CPU::incdec_rr; break;
            case 4: case 5: h = y == 6 ? &Z80CPU::incdec_hl : &Z80CPU::incdec_r; break;
            case 6: h = y == 6 ? &Z80CPU::ld_hl_n : &Z80CPU::ld_r_n; break;
            default: h = &Z80CPU::acc_op; break;
            }
            break;
        case 1:
            if (op == 0x76) h = &Z80CPU::op_halt;
            else if (z == 6) h = &Z80CPU::ld_r_hl;
            else if (y == 6) h = &Z80CPU::ld_hl_r;
            else h = &Z80CPU::ld_r_r;
            break;
        case 2:
            h = z == 6 ? &Z80CPU::op_alu_a_hl : &Z80CPU::op_alu_a_r;
            break;
        default:
            switch (z) {
            case 0: h = &Z80CPU::ret_n; break;
            case 1:
                if (!q) h = &Z80CPU::pop_rr;
                else if (y == 1) h = &Z80CPU::ret;
                else if (y == 3) h = &Z80CPU::exx;
                else if (y == 5) h = &Z80CPU::jp_hl;
                else h = &Z80CPU::ld_sp_hl;
                break;
            case 2: h = &Z80CPU::jp_n; break;
            case 3:
                switch (y) {
                case 0: h = &Z80CPU::jp_nn; break;
                case 1: h = &Z80CPU::cb_prefix; break;
                case 2: h = &Z80CPU::out_n; break;
                case 3: h = &Z80CPU::in_n; break;
                case 4: h = &Z80CPU::op_ex_sp_hl; break;
                case 5: h = &Z80CPU::op_ex_de_hl; break;
                default: h = &Z80CPU::op_diei; break;
                }
                break;
            case 4: h = &Z80CPU::call_n; break;
            case 5:
                if (!q) h = &Z80CPU::push_rr;
                else if (y == 1) h = &Z80CPU::call_nn;
                else if (y == 3) h = &Z80CPU::dd_prefix;
                else if (y == 5) h = &Z80CPU::ed_prefix;
                else h = &Z80CPU::fd_prefix;
                break;
            case 6: h = &Z80CPU::op_alu_a_n; break;
            default: h = &Z80CPU::rst; break;
            }
            break;
        }
        mainTable[op] = h;

        Handler ih = h;
        if (op == 0x34 || op == 0x35) ih = &Z80CPU::incdec_ixy;
        else if (op == 0x36) ih = &Z80CPU::ld_ixy_n;
        else if (x == 1 && z == 6 && y != 6) ih = &Z80CPU::ld_r_ixy;
        else if (x == 1 && y == 6 && z != 6) ih = &Z80CPU::ld_ixy_r;
        else if (x == 2 && z == 6) ih = &Z80CPU::op_alu_a_ixy;
        indexTable[op] = ih;

        switch (x) {
        case 0:
            cbTable[op] = z == 6 ? &Z80CPU::cb_rotshift_hl : &Z80CPU::cb_rotshift;
            indexCbTable[op] = z == 6 ? &Z80CPU::cb_rotshift_hl_ixy : &Z80CPU::cb_rotshift_ixy;
            break;
        case 1:
            cbTable[op] = z == 6 ? &Z80CPU::cb_bit_hl : &Z80CPU::cb_bit;
            indexCbTable[op] = &Z80CPU::cb_bit_hl_ixy;
            break;
        case 2:
            cbTable[op] = z == 6 ? &Z80CPU::cb_res_hl : &Z80CPU::cb_res;
            indexCbTable[op] = z == 6 ? &Z80CPU::cb_res_hl_ixy : &Z80CPU::cb_res_ixy;
            break;
        default:
            cbTable[op] = z == 6 ? &Z80CPU::cb_set_hl : &Z80CPU::cb_set;
            indexCbTable[op] = z == 6 ? &Z80CPU::cb_set_hl_ixy : &Z80CPU::cb_set_ixy;
            break;
        }

        Handler eh = &Z80CPU::nop;
        if (x == 1) {
            switch (z) {
            case 0: eh = op == 0x70 ? &Z80CPU::ed_in_0 : &Z80CPU::ed_in; break;
            case 1: eh = op == 0x71 ? &Z80CPU::ed_out_0 : &Z80CPU::ed_out; break;
            case 2: eh = &Z80CPU::ed_sbc_adc; break;
            case 3: eh = q ? &Z80CPU::ed_ld_rr_nn : &Z80CPU::ed_ld_nn_rr; break;
            case 4: eh = &Z80CPU::ed_neg; break;
            case 5: eh = &Z80CPU::ed_retni; break;
            case 6: eh = &Z80CPU::ed_im; break;
            default:
                if (y < 4) eh = &Z80CPU::ed_ld_i_r;
                else if (y == 4) eh = &Z80CPU::ed_rrd;
                else if (y == 5) eh = &Z80CPU::ed_rld;
                break;
            }
        } else if (x == 2 && y >= 4 && z < 4) {
            static const Handler single[4] = {&Z80CPU::ed_lddi, &Z80CPU::ed_cpdi, &Z80CPU::ed_indi,
                                              &Z80CPU::ed_outdi};
            static const Handler repeating[4] = {&Z80CPU::ed_lddri, &Z80CPU::ed_cpdir, &Z80CPU::ed_indir,
                                                 &Z80CPU::ed_otdir};
            eh = y >= 6 ? repeating[z] : single[z];
        }
        edTable[op] = eh;
    }

    // GNU C++ resolves a bound pointer to a non-virtual member function to a
    // plain function pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpmf-conversions"
    for (int op = 0; op < 256; ++op) {
        mainFns[op] = reinterpret_cast<HandlerFn>(this->*mainTable[op]);
        indexFns[op] = reinterpret_cast<HandlerFn>(this->*indexTable[op]);
        cbFns[op] = reinterpret_cast<HandlerFn>(this->*cbTable[op]);
        indexCbFns[op] = reinterpret_cast<HandlerFn>(this->*indexCbTable[op]);
        edFns[op] = reinterpret_cast<HandlerFn>(this->*edTable[op]);
    }
    imTwoFn = reinterpret_cast<HandlerFn>(this->*&Z80CPU::im_2);
#pragma GCC diagnostic pop
}

// Prefix handlers end by copying the opcode into prefix: the sequencer then
// keeps the prefix state and skips the interrupt check.

void Z80CPU::dd_prefix()
{
    ixMode = 1;
    iyMode = 0;
    prefix = opcode;
    finish();
}

void Z80CPU::fd_prefix()
{
    iyMode = 1;
    ixMode = 0;
    prefix = opcode;
    finish();
}

void Z80CPU::ed_prefix()
{
    ixMode = 0;
    iyMode = 0;
    prefix = opcode;
    finish();
}

// After DD/FD, CB also reads the displacement and forms WZ = index + d
// before the final opcode byte is fetched.
void Z80CPU::cb_prefix()
{
    if (!(ixMode | iyMode)) {
        prefix = opcode;
        finish();
        return;
    }
    if (readingDisplacement())
        return;
    prefix = opcode;
    finish();
}

void Z80CPU::nop()
{
    prefix = 0xFF;
    finish();
}

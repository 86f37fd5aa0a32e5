; CRTC detection as programs that adapt to the CRTC do it: at the start of a
; VSYNC, read the status port (&BExx) and the register port (&BFxx) with R12
; selected and compare. Writes the type found at &8000 (0 to 4, or &FF), and
; the two bytes read at &8001 and &8002. Runs from &0000 in ROM or RAM.
        org 0
        di
        ld sp,&c000
        call crtc_init
        ld bc,&bc0c             ; R12 selected (it holds 0)
        out (c),c
        ld b,&f5                ; PPI port B, bit 0 = VSYNC
wait_off:
        in a,(c)
        rra
        jr c,wait_off
wait_on:
        in a,(c)
        rra
        jr nc,wait_on
        ld a,&be                ; an unanswered IN (n) reads n back: &FF
        in a,(&ff)
        ld e,a
        ld a,&bf
        in a,(&ff)
        ld d,a
        ld (&8001),de
        ld a,e
        cp d
        jr z,type_3_or_4        ; the status port mirrors the register
        cp &ff
        jr z,type_0_or_2        ; no status port
        and &20
        ld a,1                  ; in the vertical blanking: type 1
        jr nz,found
        ld a,&ff
        jr found
type_0_or_2:
        ld bc,&bd30             ; R12 = &30: readable on type 0 only
        out (c),c
        ld a,&bf
        in a,(&ff)
        or a
        ld a,0
        jr nz,found
        ld a,2
        jr found
type_3_or_4:
        ; Only the Plus has the ASIC: its register page answers &6800 with
        ; the data bus, where RAM gives the byte written.
        call asic_open_page
        ld a,&55
        ld (&6800),a
        ld a,(&6800)
        cp &55
        ld a,4
        jr z,found
        ld a,3
found:
        ld (&8000),a
        halt
        include "plus_common.asm"

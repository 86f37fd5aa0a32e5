; Test cartridge: PRI = 100 and interrupts taken in IM 1, counted at &8000.
        org 0
        di
        ld sp,&c000
        jp start
        org &38
        push hl
        ld hl,(&8000)
        inc hl
        ld (&8000),hl
        pop hl
        ei
        ret
start:
        call crtc_init
        call asic_open_page
        ld a,100
        ld (&6800),a
        im 1
        ei
idle:   jr idle
        include "plus_common.asm"

; Test cartridge: unlocks the ASIC, maps its register page, and writes what it
; reads to RAM from &8000: the palette byte read back, &6800 (data bus),
; &6C05 (DCSR), and the marker byte of bank 2 placed at &4000 by RMR2.
        org 0
        di
        ld sp,&c000
        ; The code is copied to the RAM under it, so that it keeps running
        ; when RMR2 takes the lower ROM away from &0000.
        ld hl,0
        ld de,0
        ld bc,program_end
        ldir
        call crtc_init
        call asic_open_page
        ld a,&0f
        ld (&6400),a            ; pen 0: red 0, blue 15
        ld a,(&6400)
        ld (&8000),a
        ld a,(&6800)            ; answers nothing: the data bus
        ld (&8001),a
        ld a,&05
        ld (&6c0f),a            ; DCSR channel enables 0 and 2
        ld a,(&6c05)
        ld (&8002),a
        ld a,&aa                ; RMR2: bank 2 at &4000
        out (c),a
        ld a,(&4000)
        ld (&8003),a
        ld a,&55
        ld (&8004),a            ; done
        halt
        include "plus_common.asm"
program_end:

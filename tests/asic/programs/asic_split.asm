; Test cartridge: a split screen and the extended border. The screen (MA 0)
; is RAM &0000, zero (pen 0, blue); SSA = &2000 is RAM &8000, filled with
; &FF (pen 15, green); SPLT = 50; SSCR = &80; border red; mode 0.
        org 0
        di
        ld sp,&c000
        call crtc_init
        ld hl,&8000
        ld de,&8001
        ld bc,&3fff
        ld (hl),&ff
        ldir
        call asic_unlock
        ld bc,&7f00
        ld a,&88                ; mode 0, upper ROM off
        out (c),a
        ld a,&b8
        out (c),a
        ld hl,colours
        ld de,&6400
        ld bc,colours_end-colours
        ldir
        ld hl,&6801
        ld (hl),50              ; SPLT
        inc hl
        ld (hl),&20             ; SSA high
        inc hl
        ld (hl),&00             ; SSA low
        inc hl
        ld (hl),&80             ; SSCR: extended border
        halt
colours:
        rept 15
        db &0f,&00              ; pens 0-14 blue
        endm
        db &00,&0f              ; pen 15 green
        db &f0,&00              ; border red
colours_end:
        include "plus_common.asm"

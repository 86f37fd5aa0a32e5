; Test cartridge: the IM 2 vector of the video interrupt, with IVR &50 (bit 0
; clear) and then &71 (bit 0 set). Counts at &8000 (vector &56), &8002 (vector
; &76) and &8001 (any other vector); &8004 = &55 when both were seen twice.
        org 0
        di
        ld sp,&c000
        call crtc_init
        call asic_open_page
        xor a
        ld (&8000),a
        ld (&8001),a
        ld (&8002),a
        ld (&8004),a
        ; The vector table: every word leads to `other`, but &9056 and &9076.
        ld hl,&9000
        ld de,&9001
        ld bc,256
        ld (hl),&11
        ldir
        ld hl,first
        ld (&9056),hl
        ld hl,second
        ld (&9076),hl
        ld a,&90
        ld i,a
        im 2
        ld a,&50
        ld (&6805),a
        ei
wait_first:
        ld a,(&8000)
        cp 2
        jr c,wait_first
        di
        ld a,&71
        ld (&6805),a
        ei
wait_second:
        ld a,(&8002)
        cp 2
        jr c,wait_second
        di
        ld a,&55
        ld (&8004),a
        halt

first:
        push hl
        ld hl,&8000
        inc (hl)
        pop hl
        ei
        reti
second:
        push hl
        ld hl,&8002
        inc (hl)
        pop hl
        ei
        reti
        include "plus_common.asm"

        ; Every byte of the table is &11: a word of it leads here.
        org &1111
other:
        push hl
        ld hl,&8001
        inc (hl)
        pop hl
        ei
        reti

; Test cartridge: the Plus interrupt sources one after another, each phase
; a few frames long, phase number at &8000 (the test reads it at every
; acknowledge, with the line and the vector). IM 2 with IVR &50 (vectors &50,
; &52, &54 DMA channels 2, 1, 0, &56 video) or IVR &51, then IM 1.
;   1  PRI 0: the 52-line counter
;   2  PRI 100
;   3  PRI changed by each raster interrupt: 100, 150, 100, ...
;   4  PRI 100, whose interrupt writes R52 (mode register bit 4) and PRI 0
;   5  PRI 125, whose interrupt writes PRI 0 only
;   6  DMA INT on channels 0, 1, 2 every 42, 48, 72 lines, PRI 200, IVR &50
;   7  the same with IVR &51, each handler clearing its flag through DCSR
;   8  PRI 100 with R2 = 52: the HSYNC runs on into the next line
;   9  IM 1, PRI 0, channel 0 only, IVR &50
; Counts: &8010 video, &8011-&8013 channels 0-2, &8014 other vectors, &8015
; IM 1; DCSR as the DMA handlers read it, ORed, at &8020 (phase 6) and &8021
; (phase 7); &80FF = &55 at the end.
        org 0
        di
        ld sp,&c000
        jp start

        org &38
        push hl
        ld hl,&8015
        inc (hl)
        pop hl
        ei
        ret

start:
        call crtc_init
        call asic_open_page
        ld hl,&8000
        ld de,&8001
        ld bc,&ff
        ld (hl),0
        ldir
        ; Vector table: every word leads to `other`, but the four of IVR &50.
        ld hl,&9000
        ld de,&9001
        ld bc,256
        ld (hl),&11
        ldir
        ld hl,vec_dma2
        ld (&9050),hl
        ld hl,vec_dma1
        ld (&9052),hl
        ld hl,vec_dma0
        ld (&9054),hl
        ld hl,vec_video
        ld (&9056),hl
        ld hl,dma_lists
        ld de,&a000
        ld bc,dma_lists_end-dma_lists
        ldir
        ld a,&90
        ld i,a
        im 2
        ld a,&50
        ld (&6805),a
        ei

        ld a,1                  ; PRI 0
        call phase
        ld a,5
        call wait_frames

        ld a,100
        ld (&6800),a
        ld a,2
        call phase
        ld a,4
        call wait_frames

        ld a,100
        ld (&8002),a
        ld a,1
        ld (&8001),a            ; chain
        ld a,3
        call phase
        ld a,4
        call wait_frames

        xor a
        ld (&8001),a
        ld a,100
        ld (&6800),a
        ld a,2
        ld (&8001),a            ; R52 at the next raster interrupt
        ld a,4
        call phase
        ld a,4
        call wait_frames

        ld a,125
        ld (&6800),a
        ld a,4
        ld (&8001),a            ; PRI 0 at the next raster interrupt
        ld a,5
        call phase
        ld a,4
        call wait_frames

        di
        ld a,200
        ld (&6800),a
        ld hl,&a000             ; channel 0
        ld (&6c00),hl
        ld hl,&a010             ; channel 1
        ld (&6c04),hl
        ld hl,&a020             ; channel 2
        ld (&6c08),hl
        xor a
        ld (&6c02),a
        ld (&6c06),a
        ld (&6c0a),a
        ld hl,&8020
        ld (&8006),hl
        ld a,6
        call phase
        ld a,7
        ld (&6c0f),a
        ei
        ld a,5
        call wait_frames

        di
        ld a,&51
        ld (&6805),a
        ld a,1
        ld (&8003),a            ; the handlers clear their flags
        ld hl,&8021
        ld (&8006),hl
        ld a,7
        call phase
        ei
        ld a,5
        call wait_frames

        di
        xor a
        ld (&6c0f),a
        ld (&8003),a
        ld a,&50
        ld (&6805),a
        ld a,100
        ld (&6800),a
        ld bc,&bc02
        out (c),c
        ld bc,&bd00+52
        out (c),c
        ld a,8
        call phase
        ei
        ld a,4
        call wait_frames

        di
        ld bc,&bc02
        out (c),c
        ld bc,&bd00+46
        out (c),c
        xor a
        ld (&6800),a
        ld hl,&a000
        ld (&6c00),hl
        ld a,1
        ld (&6c0f),a
        im 1
        ld a,9
        call phase
        ei
        ld a,4
        call wait_frames

        di
        xor a
        ld (&6c0f),a
        ld a,&55
        ld (&80ff),a
        halt

phase:
        ld (&8000),a
        ret

; Waits for the start of A frames (PPI port B bit 0, VSYNC).
wait_frames:
        ld e,a
        ld bc,&f500
wait_low:
        in a,(c)
        rra
        jr c,wait_low
wait_high:
        in a,(c)
        rra
        jr nc,wait_high
        dec e
        jr nz,wait_low
        ret

vec_video:
        push af
        push bc
        push hl
        ld hl,&8010
        inc (hl)
        ld a,(&8001)
        rra
        jr nc,video_r52
        ld a,(&8002)            ; chain: 100 <-> 150
        xor 100 xor 150
        ld (&8002),a
        ld (&6800),a
        jr video_done
video_r52:
        rra
        jr nc,video_pri0
        ld bc,&7f98             ; mode 0, upper ROM off, counter reset
        out (c),c
        xor a
        ld (&6800),a
        ld (&8001),a
        jr video_done
video_pri0:
        rra
        jr nc,video_done
        xor a
        ld (&6800),a
        ld (&8001),a
video_done:
        pop hl
        pop bc
        pop af
        ei
        reti

vec_dma0:
        push af
        push hl
        ld hl,&8011
        ld a,&47
        jr dma_common
vec_dma1:
        push af
        push hl
        ld hl,&8012
        ld a,&27
        jr dma_common
vec_dma2:
        push af
        push hl
        ld hl,&8013
        ld a,&17
dma_common:
        inc (hl)
        push af
        ld a,(&6c0f)
        ld hl,(&8006)
        or (hl)
        ld (hl),a
        pop af
        ld hl,&8003
        bit 0,(hl)
        jr z,dma_keep
        ld (&6c0f),a
dma_keep:
        pop hl
        pop af
        ei
        reti

; INT, then PAUSE n - 2, LOOP: an interrupt every n lines. Channels 1 and 2
; start later so that no two of them meet on a line.
dma_lists:
        dw &2fff,&4010,&1000+40,&4001,0,0,0,0                  ; &A000: every 42
        dw &1000+1,&2fff,&4010,&1000+46,&4001,0,0,0             ; &A010: every 48
        dw &1000+3,&2fff,&4010,&1000+70,&4001,0,0,0             ; &A020: every 72
dma_lists_end:
        include "plus_common.asm"

        ; Every byte of the table is &11: a word of it leads here.
        org &1111
other:
        push hl
        ld hl,&8014
        inc (hl)
        pop hl
        ei
        reti

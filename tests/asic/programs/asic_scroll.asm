; Test cartridge: soft scroll and DMA sound. The screen (RAM &0000) holds a
; pattern; each frame SSCR takes the frame count (horizontal 0-15, vertical
; 0-7) and the mode moves on every 16 frames; a raster interrupt on line 100
; writes another SSCR for the rest of the screen. DMA channel 0 plays a list
; at &8000 into the AY: tone on, then two periods in turn a few lines apart.
        org 0
        di
        ld sp,&c000
        jp start
        org &38
        push af
        ld a,(&9000)
        cpl
        and &7f
        ld (&6804),a            ; SSCR from line 100 on
        pop af
        ei
        ret
start:
        call crtc_init
        ld hl,0
fill:
        ld a,l
        xor h
        ld (hl),a
        inc hl
        ld a,h
        cp &40
        jr nz,fill
        ld hl,dma_list
        ld de,&8000
        ld bc,dma_list_end-dma_list
        ldir
        call asic_open_page
        ld a,&89                ; mode 1, upper ROM off
        out (c),a
        ld hl,colours
        ld de,&6400
        ld bc,colours_end-colours
        ldir
        ld hl,&6c00
        ld (hl),&00             ; channel 0 at &8000
        inc hl
        ld (hl),&80
        inc hl
        ld (hl),0               ; prescaler: one line per pause unit
        ld a,1
        ld (&6c0f),a            ; DCSR: channel 0 on
        ld a,100
        ld (&6800),a            ; PRI
        xor a
        ld (&9000),a
        im 1
        ei
frame:
        ld b,&f5
wait_vsync:
        in a,(c)
        rra
        jr nc,wait_vsync
        ld a,(&9000)
        inc a
        ld (&9000),a
        and &7f
        ld (&6804),a            ; SSCR for the top of the screen
        ld a,(&9000)
        rrca
        rrca
        rrca
        rrca
        and 3
        or &88                  ; the mode, upper ROM off
        ld b,&7f
        out (c),a
        ld b,&f5
wait_end:
        in a,(c)
        rra
        jr c,wait_end
        jr frame
colours:
        db &00,&00              ; pen 0 black
        db &f0,&0f              ; pen 1 yellow
        db &0f,&00              ; pen 2 blue
        db &ff,&0f              ; pen 3 white
colours_end:
dma_list:
        dw &0738                ; LOAD R7,&38: tones on
        dw &080f                ; LOAD R8,15
        dw &2fff                ; REPEAT 4095
        dw &0040                ; LOAD R0,&40
        dw &0100                ; LOAD R1,0
        dw &1003                ; PAUSE 3
        dw &0080                ; LOAD R0,&80
        dw &1002                ; PAUSE 2
        dw &4001                ; LOOP
        dw &4020                ; STOP
dma_list_end:
        include "plus_common.asm"

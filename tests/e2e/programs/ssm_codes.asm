; SSM codes for the script runner, run from &4000 without the firmware: a
; red screen and a screenshot code, an ED instruction outside the SSM
; ranges after and before an SSM byte (no code), a broken sequence ending in code 3D3E,
; a green screen and a second screenshot code, then code 0000.
        org &4000
start:  di
        ld sp,&C000
        ld hl,crtc_values
        ld bc,&BC00
crtc_setup:
        out (c),c
        inc b
        ld a,(hl)
        out (c),a
        dec b
        inc hl
        inc c
        ld a,c
        cp 14
        jr nz,crtc_setup
        ld bc,&F782             ; PPI port B in: VSYNC
        out (c),c
        ld bc,&7F8D             ; mode 1, both ROMs off
        out (c),c
        ld a,&4C                ; red
        call paint
        db &ED,&FE,&ED,&FF      ; screenshot
        db &ED,&FE,&ED,&44,0    ; NEG is no SSM byte: nothing
        db &ED,&44,&ED,&FF,0    ; nor here
        db &ED,&3F,&00,&ED,&3E,&ED,&3D  ; 3D3E
        ld a,&52                ; green
        call paint
        db &ED,&FE,&ED,&FF      ; screenshot
        db &ED,&00,&ED,&00      ; 0000
done:   jr done

; Pen 0 and the border in colour A, then three whole frames drawn with it.
paint:  ld bc,&7F00
        out (c),c
        out (c),a
        ld c,&10
        out (c),c
        out (c),a
        ld e,3
frame:  ld b,&F5
vsync_off:
        in a,(c)
        rra
        jr c,vsync_off
vsync_on:
        in a,(c)
        rra
        jr nc,vsync_on
        dec e
        jr nz,frame
        ret

crtc_values:
        db 63,40,46,&8E,38,0,25,30,0,7,0,0,&30,0

; Test cartridge: sprites over a blue screen with a red border.
; Sprite 0 at X 0, Y 0, magnification &05: columns 0-11 colour 1 (white),
; 12-15 transparent. Sprite 1 at X 8, Y 0: columns 0-7 colour 2 (green), the
; rest transparent, so sprite 0 wins on 8-11 and sprite 1 shows on 12-15.
; Sprite 2 at X 64, Y 32, magnification &0F: 64 x 64 of colour 2.
; Sprite 3 at X 632, Y 0: half of it lies on the right border.
; Sprite 4 at X 200, Y -8: rows 0-7 white, 8-15 green; only 8-15 show, on top.
        org 0
        di
        ld sp,&c000
        call crtc_init
        call asic_open_page
        ld hl,palette
        ld de,&6400
        ld bc,palette_end-palette
        ldir
        ld hl,&6420             ; border red, sprite colours 1 white and 2 green
        ld (hl),&f0
        inc hl
        ld (hl),0
        inc hl
        ld (hl),&ff
        inc hl
        ld (hl),&0f
        inc hl
        ld (hl),&00
        inc hl
        ld (hl),&0f
        ; pixels: sprite 0 rows of 12 x 1 then 4 x 0
        ld hl,&4000
        ld c,16
rows0:  ld b,12
p0:     ld (hl),1
        inc hl
        djnz p0
        ld b,4
z0:     ld (hl),0
        inc hl
        djnz z0
        dec c
        jr nz,rows0
        ; sprite 1 rows of 8 x 2 then 8 x 0
        ld c,16
rows1:  ld b,8
p1:     ld (hl),2
        inc hl
        djnz p1
        ld b,8
z1:     ld (hl),0
        inc hl
        djnz z1
        dec c
        jr nz,rows1
        ; sprites 2 and 3 all colour 2 and 1
        ld b,0
p2:     ld (hl),2
        inc hl
        djnz p2
p3:     ld (hl),1
        inc hl
        djnz p3
        ld b,128
p4:     ld (hl),1
        inc hl
        djnz p4
        ld b,128
p5:     ld (hl),2
        inc hl
        djnz p5
        ; five bytes a sprite: &6005-&6007 would write the magnification again
        ld hl,attributes
        ld de,&6000
        ld a,5
attr:   ld bc,5
        ldir
        ex de,hl
        ld bc,3
        add hl,bc
        ex de,hl
        dec a
        jr nz,attr
        halt
palette:                        ; pens 0-15 blue
        rept 16
        db &0f,&00
        endm
palette_end:
attributes:
        db 0,0,0,0,&05
        db 8,0,0,0,&05
        db 64,0,32,0,&0f
        db &78,2,0,0,&05
        db 200,0,&f8,&ff,&05
        include "plus_common.asm"

; Shared by the test cartridges: CRTC set-up and the ASIC unlock.

; Programs the PPI (port B input) and the CRTC with the firmware's screen (R12 = 0).
crtc_init:
        ld bc,&f782
        out (c),c
        ld hl,crtc_values
        ld c,0
crtc_loop:
        ld b,&bc
        out (c),c
        ld a,(hl)
        ld b,&bd
        out (c),a
        inc hl
        inc c
        ld a,c
        cp 14
        jr nz,crtc_loop
        ret
crtc_values:
        db 63,40,46,&8e,38,0,25,30,0,7,0,0,0,0

; Unlocks the ASIC and maps its register page at &4000 (RMR2 &B8, bank 0);
; leaves BC = &7F00.
asic_open_page:
        call asic_unlock
        ld bc,&7f00
        ld a,&b8
        out (c),a
        ret

; Sends the unlock sequence to the CRTC select port.
asic_unlock:
        ld hl,unlock_bytes
        ld e,17
        ld bc,&bc00
unlock_loop:
        ld a,(hl)
        out (c),a
        inc hl
        dec e
        jr nz,unlock_loop
        ret
unlock_bytes:
        db &ff,&00,&ff,&77,&b3,&51,&a8,&d4,&62,&39,&9c,&46,&2b,&15,&8a,&cd,&ee

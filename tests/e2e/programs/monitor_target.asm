; The debugger's test program, run from &4000 without the firmware: CRTC
; register selects with OUT (C),C, then a counted loop with a call and a
; memory write. pasmo writes its symbol table beside the binary.
        org &4000
start:  di
        ld sp,&C000
        ld hl,crtc_values
        ld bc,&BC00
crtc_setup:
        out (c),c               ; select register C
        inc b
        ld a,(hl)
        out (c),a               ; and give it its value
        dec b
        inc hl
        inc c
        ld a,c
        cp 14
        jr nz,crtc_setup
        ld b,0
loop:   inc b
        call double
after:  ld (result),a
        jr loop

double: ld a,b
        add a,a
        ret

result: db 0
crtc_values:
        db 63,40,46,&8E,38,0,25,30,0,7,0,0,&30,0

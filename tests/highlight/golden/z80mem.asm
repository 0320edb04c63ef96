; z80mem.asm - Z80 block copy and fill helpers
        org     $8000

; copy BC bytes from HL to DE
copy:   ld      a, b
        or      c
        ret     z                   ; nothing to copy
        ldir
        ret

; fill BC bytes at HL with A (BC >= 2)
fill:   ld      (hl), a
        ld      d, h
        ld      e, l
        inc     de
        dec     bc
        ldir
        ret

buffer: defs    256, 0
table:  defw    copy, fill, 0x1234 + (2 * 3)
name:   defb    "Z80", 0

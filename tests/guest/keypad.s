@ Front-end test cartridge: shows a red mode 3 picture with a white bar,
@ then copies KEYINPUT to 0x03000000 and counts passes at 0x03000004.
        .arm
        .global _start
_start:
        ldr     r0, =0x04000000
        ldr     r1, =0x0403             @ mode 3, background 2
        strh    r1, [r0]
        ldr     r0, =0x06000000
        ldr     r1, =0x001F001F         @ two red pixels
        ldr     r2, =(240 * 160 / 2)
fill:
        str     r1, [r0], #4
        subs    r2, r2, #1
        bne     fill
        ldr     r0, =0x06000000 + 240 * 2 * 70
        ldr     r1, =0x7FFF7FFF         @ a white bar across the middle
        ldr     r2, =(240 * 20 / 2)
bar:
        str     r1, [r0], #4
        subs    r2, r2, #1
        bne     bar
        ldr     r0, =0x04000130
        ldr     r1, =0x03000000
        mov     r2, #0
loop:
        ldrh    r3, [r0]
        strh    r3, [r1]
        add     r2, r2, #1
count:
        str     r2, [r1, #4]
        b       loop
        .pool

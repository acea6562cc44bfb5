@ Timer 0 set to overflow soon with its interrupt enabled: the overflow
@ must reach the processor as an IRQ.
        .syntax unified
        .text
        .arm
        mov     r12, #0x04000000
        add     r1, r12, #0x200
        mov     r0, #8
        strh    r0, [r1]                @ IE: timer 0
        mov     r0, #1
        strh    r0, [r1, #8]            @ IME
        add     r2, r12, #0x100
        ldr     r0, =0xFFC0
        strh    r0, [r2]                @ counter
        mov     r0, #0xC0
        strh    r0, [r2, #2]            @ on, interrupt, prescaler 0
wait:
        b       wait
        .pool

@ CPU-bound benchmark cartridge: the display shows only its backdrop while
@ the processor runs an ALU, load and store loop that never ends.
        .syntax unified
        .arm
        .text
start:
        mov     r0, #0x04000000
        mov     r1, #0
        strh    r1, [r0]                @ DISPCNT: mode 0, no layers
        ldr     r2, =0x03000000
        mov     r3, #0
        mov     r8, #0
loop:
        add     r3, r3, #1
        eor     r4, r3, r3, lsl #3
        str     r4, [r2, #4]
        ldr     r5, [r2, #4]
        add     r6, r5, r3, ror #5
        and     r7, r6, #0xFF
        add     r8, r8, r7
        tst     r3, #0x100
        orrne   r8, r8, #1
        subs    r9, r6, #1
        bne     loop
        b       loop
        .pool

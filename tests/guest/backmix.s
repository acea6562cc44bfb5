@ A program of mixed instructions for running forwards and backwards: ALU
@ with flags, loads and stores of every width, LDM/STM, branches and calls,
@ mode changes through MSR, a Thumb stretch and a DMA transfer it starts
@ itself.  It loops for ever, so any number of steps stays inside it.
        .syntax unified
        .text
        .arm
start:
        mov     r0, #0x03000000         @ IWRAM
        add     r1, r0, #0x100
        mov     r2, #0x12
        orr     r2, r2, #0x3400
        mov     r3, #0
        mov     r12, #0x04000000        @ I/O
loop:
        adds    r3, r3, r2
        eor     r4, r3, r2, lsl #3
        subs    r5, r4, r3, ror #7
        movs    r6, r5, lsr #1
        mul     r7, r6, r2
        umull   r8, r9, r7, r3
        str     r3, [r0], #4
        strh    r4, [r0, #2]!
        strb    r5, [r0, #1]
        ldr     r6, [r0, #-4]
        ldrsh   r7, [r0, #2]
        ldrb    r8, [r0, #1]
        stmia   r1, {r2-r9}
        ldmdb   r1!, {r10, r11}
        add     r1, r1, #8
        swp     r9, r3, [r1]
        bl      sub
        @ Into IRQ mode and back: banked SP and LR.
        mrs     r10, cpsr
        bic     r11, r10, #0x1F
        orr     r11, r11, #0x12
        msr     cpsr_fsxc, r11
        mov     sp, r3
        mov     lr, r4
        msr     cpsr_fsxc, r10
        @ FIQ: banked R8-R12.
        orr     r11, r11, #0x1F
        bic     r11, r11, #0x0E         @ mode 0x11
        msr     cpsr_fsxc, r11
        mov     r8, #1
        mov     r12, #2
        msr     cpsr_fsxc, r10
        @ A Thumb stretch.
        adr     r11, thumbpart + 1
        bx      r11
back_in_arm:
        @ DMA 3: eight words from IWRAM to EWRAM, immediate.
        mov     r12, #0x04000000
        add     r11, r12, #0xD4
        str     r0, [r11]               @ SAD
        mov     r10, #0x02000000
        add     r10, r10, r3, lsr #20
        bic     r10, r10, #3
        str     r10, [r11, #4]          @ DAD
        mov     r10, #8
        orr     r10, r10, #0x84000000   @ enable, 32-bit
        str     r10, [r11, #8]
        @ Wrap the pointers so memory stays in a small window.
        and     r0, r0, #0xFF
        orr     r0, r0, #0x03000000
        mov     r1, #0x03000000
        add     r1, r1, #0x100
        tst     r3, #1
        bne     loop
        b       loop

sub:
        stmfd   sp!, {r4-r6, lr}
        add     r4, r4, #1
        movs    r5, r4, asr #2
        rsbcs   r6, r5, #0
        ldmfd   sp!, {r4-r6, pc}

        .thumb
        .thumb_func
thumbpart:
        push    {r0-r3, lr}
        lsls    r0, r3, #3
        adds    r1, r0, r2
        subs    r2, r1, #5
        movs    r3, #200
        ands    r0, r1
        muls    r1, r2
        mov     r8, r9
        add     r8, r1
        ldr     r2, =0x03000200
        str     r0, [r2, #4]
        strh    r1, [r2, #6]
        ldrb    r3, [r2, #5]
        stmia   r2!, {r0, r1}
        bl      thumbsub
        pop     {r0-r3}
        pop     {r4}
        ldr     r4, =back_in_arm
        bx      r4
thumbsub:
        add     sp, #-8
        str     r0, [sp, #4]
        ldr     r0, [sp, #4]
        add     sp, #8
        bx      lr
        .pool

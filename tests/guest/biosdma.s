@ BIOS calls and DMA while interrupts arrive, for ever, checking every
@ result.  Each frame, from Thumb code: VBlankIntrWait, then the H-blank DMA
@ (DMA 0, a word a line from EWRAM into an IWRAM buffer) checked and re-armed
@ (the buffer cleared by a CpuFastSet fill), the V-blank DMA (DMA 1, 16
@ words IWRAM -> EWRAM) checked and re-armed, three Div calls; then, from
@ ARM code, DivArm, Sqrt and immediate DMA 3 copies (cartridge -> IWRAM,
@ 32-bit; IWRAM -> EWRAM, 16-bit); back in Thumb, CpuSet (16-bit copy,
@ 32-bit fill) and CpuFastSet (copy), then IntrWait for timer 0; then the
@ Div, ARM and copy parts again and again until line 100 of the next frame,
@ while the H-blank DMA runs.
@ V-blank, H-blank (every line) and timer 0 (every 8,192 cycles)
@ interrupts arrive throughout; the handler runs from IWRAM, where the
@ program copies it with CpuFastSet.
@
@ Needs a BIOS; starts in System mode (after the BIOS's start or skipping
@ it) and sets up its own stacks.  A round of the repeated part takes about
@ 20 lines, so the last one ends well before the V-blank.
@
@   0x03007F00  frames: VBlankIntrWait calls that returned after a V-blank
@   0x03007F04  V-blank interrupts        0x03007F08  H-blank interrupts
@   0x03007F0C  timer 0 interrupts
@   0x03007F10  IntrWait calls that returned after a timer 0 interrupt
@   0x03007F14  BIOS calls that returned (after the start)
@   0x03007F18  frames whose H-blank DMA buffer was checked and matched
@   0x03007F1C  V-blank DMA transfers checked and matched
@   0x03007F20  frames whose DMA 3 copies were checked and matched
@   0x03007F24, 0x03007F28  its own: H-blank / V-blank DMA armed once
@   0x02000000  first error, 0 while none: code | frame << 8, codes
@               1 H-blank DMA buffer differs from its table, 2 H-blank DMA
@               ran on a V-blank line, 3 V-blank DMA copy differs or did not
@               happen, 4 Div, 5 DivArm, 6 CpuSet 16-bit copy, 7 CpuSet
@               32-bit fill, 8 CpuFastSet copy, 9 CpuFastSet fill, 10 DMA 3
@               32-bit copy, 11 DMA 3 16-bit copy, 12 Sqrt, 13 IntrWait
@               returned without a timer 0 interrupt, 14 VBlankIntrWait
@               returned without a V-blank interrupt, 15 a BIOS call
@               returned to ARM code in another mode or with interrupts off
        .syntax unified
        .text
        .equ    VARS, 0x03007F00
        .equ    ERROR, 0x02000000
        .equ    HBUF, 0x03000000        @ 160 words + 8 guard words, H-blank DMA target
        .equ    ZERO, 0x030002C0        @ a word that stays 0 (fill source)
        .equ    FILLV, 0x030002C4       @ the CpuSet fill value
        .equ    FDST, 0x03000300        @ 64 words, CpuFastSet copy target
        .equ    SDST, 0x03000400        @ 23 words + a guard, CpuSet fill target
        .equ    DDST, 0x03000480        @ 48 words, DMA 3 copy target
        .equ    VSRC, 0x03000600        @ 16 words, V-blank DMA source
        .equ    IRQRAM, 0x03000800      @ the interrupt handler, copied here
        .equ    HTAB, 0x02000100        @ 160 words, H-blank DMA source
        .equ    VDST, 0x02000400        @ 16 words, V-blank DMA target
        .equ    CDST, 0x02000500        @ 37 halfwords, CpuSet copy target
        .equ    E16, 0x02000700         @ 40 halfwords, DMA 3 16-bit target
        .equ    GUARD, 0xDEADBEEF

        .arm
        b       start                   @ the cartridge header, blank but for
        .fill   0xB2 - 4, 1, 0          @ its fixed byte and complement check
        .byte   0x96
        .fill   0xBD - 0xB3, 1, 0
        .byte   0x51
        .fill   0xC0 - 0xBE, 1, 0
start:
        msr     cpsr_c, #0xD2           @ IRQ mode
        ldr     sp, =0x03007FA0
        msr     cpsr_c, #0xD3           @ Supervisor mode
        ldr     sp, =0x03007FE0
        msr     cpsr_c, #0xDF           @ System mode, interrupts off
        ldr     sp, =0x03007E00
        mov     r12, #0x04000000
        add     r11, r12, #0x200
        mov     r0, #0
        str     r0, [r11, #8]           @ IME off
        strh    r0, [r11]               @ IE none

        ldr     r1, =VARS               @ counters
        mov     r2, #16
1:      str     r0, [r1], #4
        subs    r2, r2, #1
        bne     1b
        ldr     r1, =ERROR
        str     r0, [r1]
        ldr     r1, =ZERO
        str     r0, [r1]
        ldr     r1, =0x03007FF8         @ the BIOS's interrupt flags
        str     r0, [r1]

        ldr     r0, =irq                @ the handler into IWRAM
        ldr     r1, =IRQRAM
        mov     r2, #32
        swi     0x0C0000                @ CpuFastSet
        ldr     r1, =0x03007FFC
        ldr     r0, =IRQRAM
        str     r0, [r1]

        ldr     r1, =HTAB               @ word n = n << 16 | (n xor 0x3C)
        mov     r2, #0
2:      eor     r3, r2, #0x3C
        orr     r3, r3, r2, lsl #16
        str     r3, [r1], #4
        add     r2, r2, #1
        cmp     r2, #160
        bne     2b

        mov     r0, #0
        strh    r0, [r12]               @ DISPCNT: mode 0, backdrop only
        mov     r0, #0x18               @ H-blank and V-blank interrupts
        strh    r0, [r12, #4]
        ldr     r0, =0x00C1FF80         @ timer 0: reload 0xFF80, prescaler 64, interrupt, on
        str     r0, [r12, #0x100]
        ldr     r0, =0xFFFF
        strh    r0, [r11, #2]           @ IF: nothing stale
        mov     r0, #0x0B
        strh    r0, [r11]               @ IE: V-blank, H-blank, timer 0
        mov     r0, #1
        str     r0, [r11, #8]           @ IME on
        msr     cpsr_c, #0x1F           @ interrupts on
        adr     r0, mainloop + 1
        bx      r0
        .pool

@ The interrupt handler (copied to IWRAM, so it uses no literal pool):
@ acknowledges, hands the flags to the BIOS's wait calls, counts.
        .align  5
irq:
        mov     r12, #0x04000000
        ldr     r0, [r12, #0x200]!      @ IE | IF << 16
        and     r0, r0, r0, lsr #16
        strh    r0, [r12, #2]
        mov     r1, #0x03000000
        add     r1, r1, #0x7F00
        add     r1, r1, #0xF8           @ 0x03007FF8
        ldrh    r2, [r1]
        orr     r2, r2, r0
        strh    r2, [r1]
        sub     r1, r1, #0xF8           @ the counters
        tst     r0, #1
        ldrne   r2, [r1, #0x04]
        addne   r2, r2, #1
        strne   r2, [r1, #0x04]
        tst     r0, #2
        ldrne   r2, [r1, #0x08]
        addne   r2, r2, #1
        strne   r2, [r1, #0x08]
        tst     r0, #8
        ldrne   r2, [r1, #0x0C]
        addne   r2, r2, #1
        strne   r2, [r1, #0x0C]
        bx      lr
        .align  5

@ ---------------------------------------------------------------- Thumb --
        .thumb
@ Counts a BIOS call that returned.  Keeps every register but the flags.
        .macro  counted
        push    {r0, r1}
        ldr     r0, =VARS
        ldr     r1, [r0, #0x14]
        adds    r1, r1, #1
        str     r1, [r0, #0x14]
        pop     {r0, r1}
        .endm

mainloop:
        ldr     r4, =VARS
        ldr     r5, [r4, #0x04]
        swi     5                       @ VBlankIntrWait
        counted
        ldr     r6, [r4, #0x04]
        cmp     r6, r5
        bne     1f
        movs    r0, #14
        bl      fail
1:      ldr     r0, [r4]
        adds    r0, r0, #1
        str     r0, [r4]
        bl      hdma_frame
        bl      vdma_frame
        bl      div_tests
        ldr     r0, =arm_part
        bl      via_r0
        bl      copy_tests
        ldr     r4, =VARS
        ldr     r5, [r4, #0x0C]
        movs    r0, #1
        movs    r1, #8
        swi     4                       @ IntrWait: timer 0
        counted
        ldr     r6, [r4, #0x0C]
        cmp     r6, r5
        bne     2f
        movs    r0, #13
        bl      fail
        b       busy
2:      ldr     r0, [r4, #0x10]
        adds    r0, r0, #1
        str     r0, [r4, #0x10]
busy:                                   @ the same calls again until line 100
        ldr     r0, =0x04000006
        ldrh    r0, [r0]
        cmp     r0, #100
        blo     3f
        cmp     r0, #160
        bhs     3f
        b       mainloop
3:      bl      div_tests
        ldr     r0, =arm_part
        bl      via_r0
        bl      copy_tests
        b       busy
via_r0:
        bx      r0
        .ltorg

@ Records error R0 (| frame << 8) unless one is recorded.  Keeps R1-R7.
fail:
        push    {r1, r2}
        ldr     r1, =ERROR
        ldr     r2, [r1]
        cmp     r2, #0
        bne     1f
        ldr     r2, =VARS
        ldr     r2, [r2]
        lsls    r2, r2, #8
        orrs    r2, r2, r0
        str     r2, [r1]
1:      pop     {r1, r2}
        bx      lr

@ R0 = 0 when the R2 words at R0 and R1 are equal, else 1.  Uses R3.
cmp_words:
        push    {r4}
1:      ldmia   r0!, {r3}
        ldmia   r1!, {r4}
        cmp     r3, r4
        bne     2f
        subs    r2, r2, #1
        bne     1b
        movs    r0, #0
        pop     {r4}
        bx      lr
2:      movs    r0, #1
        pop     {r4}
        bx      lr

@ R0 = 0 when the R2 halfwords at R0 and R1 are equal, else 1.  Uses R3.
cmp_halves:
        push    {r4}
1:      ldrh    r3, [r0]
        ldrh    r4, [r1]
        adds    r0, r0, #2
        adds    r1, r1, #2
        cmp     r3, r4
        bne     2f
        subs    r2, r2, #1
        bne     1b
        movs    r0, #0
        pop     {r4}
        bx      lr
2:      movs    r0, #1
        pop     {r4}
        bx      lr

@ R0 = 0 when the R1 words at R0 all hold R2, else 1.  Uses R3.
all_words:
1:      ldmia   r0!, {r3}
        cmp     r3, r2
        bne     2f
        subs    r1, r1, #1
        bne     1b
        movs    r0, #0
        bx      lr
2:      movs    r0, #1
        bx      lr

@ H-blank DMA of the frame just drawn: check, clear, re-arm.
hdma_frame:
        push    {r4-r7, lr}
        ldr     r4, =VARS
        ldr     r0, [r4, #0x24]
        cmp     r0, #0
        beq     3f
        ldr     r0, =HBUF
        ldr     r1, =HTAB
        movs    r2, #160
        bl      cmp_words
        cmp     r0, #0
        beq     1f
        movs    r0, #1
        bl      fail
        b       3f
1:      ldr     r0, =HBUF + 640         @ nothing on the V-blank lines
        movs    r1, #8
        movs    r2, #0
        bl      all_words
        cmp     r0, #0
        beq     2f
        movs    r0, #2
        bl      fail
        b       3f
2:      ldr     r0, [r4, #0x18]
        adds    r0, r0, #1
        str     r0, [r4, #0x18]
3:      ldr     r3, =0x040000B0
        movs    r0, #0
        strh    r0, [r3, #10]           @ DMA 0 off
        ldr     r0, =ZERO
        ldr     r1, =HBUF
        ldr     r2, =0x01000000 + 168   @ fill, 168 words
        swi     0x0C                    @ CpuFastSet
        counted
        ldr     r0, =HBUF
        movs    r1, #168
        movs    r2, #0
        bl      all_words
        cmp     r0, #0
        beq     4f
        movs    r0, #9
        bl      fail
4:      ldr     r3, =0x040000B0
        ldr     r0, =HTAB
        str     r0, [r3]
        ldr     r0, =HBUF
        str     r0, [r3, #4]
        ldr     r0, =0xA6000001         @ on, 32-bit, H-blank, repeat, 1 word
        str     r0, [r3, #8]
        movs    r0, #1
        str     r0, [r4, #0x24]
        pop     {r4-r7, pc}
        .ltorg

@ V-blank DMA of this V-blank: check, new data, re-arm.
vdma_frame:
        push    {r4-r7, lr}
        ldr     r4, =VARS
        ldr     r0, [r4, #0x28]
        cmp     r0, #0
        beq     2f
        ldr     r3, =0x040000BC
        ldrh    r0, [r3, #10]
        lsrs    r0, r0, #16
        bcs     1f                      @ still waiting: it did not happen
        ldr     r0, =VDST
        ldr     r1, =VSRC
        movs    r2, #16
        bl      cmp_words
        cmp     r0, #0
        bne     1f
        ldr     r0, [r4, #0x1C]
        adds    r0, r0, #1
        str     r0, [r4, #0x1C]
        b       2f
1:      movs    r0, #3
        bl      fail
2:      ldr     r1, =VSRC               @ word i = frame << 16 | 0x111 x i
        ldr     r5, [r4]
        lsls    r5, r5, #16
        movs    r2, #0
        ldr     r6, =0x111
3:      str     r5, [r1]
        adds    r1, r1, #4
        adds    r5, r5, r6
        adds    r2, r2, #1
        cmp     r2, #16
        bne     3b
        ldr     r3, =0x040000BC
        movs    r0, #0
        strh    r0, [r3, #10]
        ldr     r0, =VSRC
        str     r0, [r3]
        ldr     r0, =VDST
        str     r0, [r3, #4]
        ldr     r0, =0x94000010         @ on, 32-bit, V-blank, 16 words
        str     r0, [r3, #8]
        movs    r0, #1
        str     r0, [r4, #0x28]
        pop     {r4-r7, pc}
        .ltorg

@ Div on a dividend and divisor made from the frame number, in three
@ sign combinations.  R6 and R7 carry the operands across the call, so a
@ call that does not keep them fails too.
div_tests:
        push    {r4-r7, lr}
        ldr     r4, =VARS
        ldr     r5, [r4]
        movs    r4, #0                  @ case 0 +/+, 1 -/+, 2 +/-
1:      ldr     r6, =7919
        muls    r6, r5, r6
        adds    r6, r6, #13
        movs    r7, #63
        ands    r7, r5
        adds    r7, r7, #1
        cmp     r4, #1
        bne     2f
        negs    r6, r6
2:      cmp     r4, #2
        bne     3f
        negs    r7, r7
3:      movs    r0, r6
        movs    r1, r7
        swi     6                       @ Div
        counted
        bl      check_div
        cmp     r0, #0
        beq     4f
        movs    r0, #4
        bl      fail
4:      adds    r4, r4, #1
        cmp     r4, #3
        bne     1b
        pop     {r4-r7, pc}

@ In: R0 quotient, R1 remainder, R3 |quotient|, R6 dividend, R7 divisor.
@ R0 = 0 when they are those of the division rounded towards zero.  Only
@ the remainder's size is checked: its sign, where dividend and divisor
@ differ, is the dividend's in the console's BIOS and the quotient's in the
@ shared replacement.
check_div:
        movs    r2, r0                  @ a non-zero quotient has the sign of dividend / divisor
        eors    r2, r6
        eors    r2, r7
        bpl     1f
        cmp     r0, #0
        bne     9f
1:      movs    r2, r0
        bpl     2f
        negs    r2, r2
2:      cmp     r2, r3                  @ R3 is |quotient|
        bne     9f
        movs    r0, r1                  @ |remainder|
        bpl     3f
        negs    r0, r0
3:      movs    r2, r7                  @ |divisor|
        bpl     4f
        negs    r2, r2
4:      cmp     r0, r2                  @ |remainder| < |divisor|
        bhs     9f
        muls    r3, r2, r3              @ |quotient| x |divisor| + |remainder| = |dividend|
        adds    r3, r3, r0
        movs    r2, r6
        bpl     5f
        negs    r2, r2
5:      cmp     r3, r2
        bne     9f
        movs    r0, #0
        bx      lr
9:      movs    r0, #1
        bx      lr
        .ltorg

@ CpuSet and CpuFastSet from the cartridge and to IWRAM and EWRAM.
copy_tests:
        push    {r4-r7, lr}
        ldr     r4, =VARS
        ldr     r5, [r4]
        movs    r6, #7
        ands    r6, r5                  @ frame mod 8
        ldr     r0, =ttab               @ CpuSet: 37 halfwords from the table
        lsls    r1, r6, #1
        adds    r0, r0, r1
        ldr     r1, =CDST
        movs    r2, #37
        swi     0x0B
        counted
        ldr     r0, =ttab
        lsls    r1, r6, #1
        adds    r0, r0, r1
        ldr     r1, =CDST
        movs    r2, #37
        bl      cmp_halves
        cmp     r0, #0
        beq     1f
        movs    r0, #6
        bl      fail

1:      ldr     r0, =SDST + 23 * 4      @ CpuSet: 23 words of one value
        ldr     r1, =GUARD
        str     r1, [r0]
        ldr     r7, =0x01010101
        muls    r7, r5, r7
        ldr     r0, =FILLV
        str     r7, [r0]
        ldr     r1, =SDST
        ldr     r2, =0x05000000 + 23    @ 32-bit, fill
        swi     0x0B
        counted
        ldr     r0, =SDST
        movs    r1, #23
        movs    r2, r7
        bl      all_words
        cmp     r0, #0
        bne     2f
        ldr     r0, =SDST + 23 * 4
        ldr     r1, [r0]
        ldr     r2, =GUARD
        cmp     r1, r2
        beq     3f
2:      movs    r0, #7
        bl      fail

3:      ldr     r0, =ttab               @ CpuFastSet: 64 words from the table
        lsls    r1, r6, #5
        adds    r0, r0, r1
        ldr     r1, =FDST
        movs    r2, #64
        swi     0x0C
        counted
        ldr     r0, =ttab
        lsls    r1, r6, #5
        adds    r0, r0, r1
        ldr     r1, =FDST
        movs    r2, #64
        bl      cmp_words
        cmp     r0, #0
        beq     4f
        movs    r0, #8
        bl      fail
4:      pop     {r4-r7, pc}
        .ltorg

@ ------------------------------------------------------------------ ARM --
        .arm
        .align  2
@ Checks the state a BIOS call returns to ARM code in: System mode, ARM,
@ interrupts on.  Keeps every register but R12 and the flags.
        .macro  returned_state
        mrs     r12, cpsr
        and     r12, r12, #0xFF
        cmp     r12, #0x1F
        movne   r12, #15
        blne    fail_arm
        .endm

arm_part:
        stmfd   sp!, {r4-r11, lr}
        ldr     r4, =VARS
        ldr     r5, [r4]
        ldr     r6, =104729             @ DivArm: -(frame x 104729 + 1) / (frame mod 13 + 2)
        mul     r6, r5, r6
        add     r6, r6, #1
        rsb     r6, r6, #0
        mov     r0, r5
        mov     r1, #13
        bl      mod_arm
        add     r7, r0, #2
        mov     r0, r7
        mov     r1, r6
        swi     0x070000                @ DivArm
        returned_state
        bl      count_arm
        mul     r2, r0, r7
        add     r2, r2, r1
        cmp     r2, r6                  @ q x d + r = n
        bne     1f
        cmp     r1, #0                  @ r <= 0 for a negative n, above -d
        bgt     1f
        cmn     r1, r7
        ble     1f
        cmp     r0, #0                  @ |q| in R3
        rsblt   r0, r0, #0
        cmp     r0, r3
        beq     2f
1:      mov     r12, #5
        bl      fail_arm

2:      ldr     r8, =0xFFF              @ Sqrt(x x x + x) = x
        and     r8, r5, r8
        mul     r0, r8, r8
        add     r0, r0, r8
        swi     0x080000                @ Sqrt
        returned_state
        bl      count_arm
        cmp     r0, r8
        movne   r12, #12
        blne    fail_arm

        mov     r9, #0x04000000         @ DMA 3: 48 words cartridge -> IWRAM
        add     r9, r9, #0xD4
        and     r0, r5, #7
        ldr     r1, =ttab
        add     r1, r1, r0, lsl #2
        ldr     r2, =DDST
        ldr     r3, =0x84000030         @ on, 32-bit, now
        str     r1, [r9]
        str     r2, [r9, #4]
        str     r3, [r9, #8]
        mov     r10, #48
3:      ldr     r0, [r1], #4
        ldr     r3, [r2], #4
        cmp     r0, r3
        bne     4f
        subs    r10, r10, #1
        bne     3b
        b       5f
4:      mov     r12, #10
        bl      fail_arm
        b       8f
5:      ldr     r1, =DDST + 2           @ DMA 3: 40 halfwords IWRAM -> EWRAM
        ldr     r2, =E16
        ldr     r3, =0x80000028         @ on, 16-bit, now
        str     r1, [r9]
        str     r2, [r9, #4]
        str     r3, [r9, #8]
        mov     r10, #40
6:      ldrh    r0, [r1], #2
        ldrh    r3, [r2], #2
        cmp     r0, r3
        bne     7f
        subs    r10, r10, #1
        bne     6b
        ldr     r0, [r4, #0x20]
        add     r0, r0, #1
        str     r0, [r4, #0x20]
        b       8f
7:      mov     r12, #11
        bl      fail_arm
8:      ldmfd   sp!, {r4-r11, lr}
        bx      lr

@ R0 mod R1 (both positive, small quotient).
mod_arm:
1:      cmp     r0, r1
        subhs   r0, r0, r1
        bhs     1b
        bx      lr

@ Error R12 from ARM code; keeps every register.
fail_arm:
        stmfd   sp!, {r0-r3, lr}
        mov     r0, r12
        ldr     r1, =fail + 1
        mov     lr, pc
        bx      r1
        ldmfd   sp!, {r0-r3, lr}
        bx      lr

@ Counts a BIOS call that returned (from ARM code); keeps every register.
count_arm:
        stmfd   sp!, {r0, r1}
        ldr     r0, =VARS
        ldr     r1, [r0, #0x14]
        add     r1, r1, #1
        str     r1, [r0, #0x14]
        ldmfd   sp!, {r0, r1}
        bx      lr
        .pool

        .align  2
ttab:                                   @ 128 words for the copies
        .set    n, 0
        .rept   128
        .word   (n * 0x00F1E2D3) ^ 0x5A0FC3E1
        .set    n, n + 1
        .endr

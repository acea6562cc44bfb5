@ A program that keeps every unit of the machine busy at once, for ever, so
@ that any stretch of its run can be snapshot, replayed and compared:
@ V-blank, H-blank, V-count (line 100) and timer interrupts through the
@ BIOS's dispatch to the handler at [0x03007FFC], the V-blank handler
@ letting the others preempt it (System mode with interrupts on, as games
@ nest them); timer 0 (prescaler 64, 256 ticks) counting up timer 1 (4
@ overflows), both interrupting; H-blank DMA (DMA 0, a word a line into an
@ IWRAM buffer, re-armed in each V-blank), V-blank DMA (DMA 1, 16 words
@ EWRAM -> IWRAM, re-armed by the main loop), immediate DMA (DMA 2 clears
@ the H-blank buffer, DMA 3 copies from the cartridge to EWRAM) and a
@ round trip through a 512-byte cartridge EEPROM (DMA 3 writes a block's
@ write request, then a read request, then reads the 68 reply bits back
@ into IWRAM) with each main-loop round.
@
@ Needs a BIOS for the interrupt dispatch; starts in System mode (after the
@ BIOS's start or skipping it) and sets up its own stacks.
@
@   0x03007F00  main-loop rounds (progress)
@   0x03007F04  V-blank interrupts        0x03007F08  H-blank interrupts
@   0x03007F0C  V-count interrupts        0x03007F10  timer 0 interrupts
@   0x03007F14  timer 1 interrupts
@   0x03007F18  interrupts taken while the V-blank handler ran preemptible
@   0x03007F1C  1 while the V-blank handler runs preemptible, else 0
@   0x03007F20  VCOUNT read by the last V-count interrupt (100)
@   0x03007F24  EEPROM round trips that read back what they wrote
@   0x03007F28  checksum of the EEPROM words read back
@   0x03007F2C  frames whose H-blank DMA buffer was checked and matched
@   0x03007F30  V-blank DMA transfers checked and matched
@   0x03007F34  checksum of the immediate DMA copies read back
@   0x03007F38, 0x03007F3C  its own: H-blank / V-blank DMA armed once
@   0x02000000  first error, 0 while none: 1 H-blank DMA buffer differs from
@               its table, 2 H-blank DMA ran on a V-blank line, 3 V-blank DMA
@               copy differs, 4 immediate DMA copy differs, 5 EEPROM read back
@               differs, 6 EEPROM never ready after a write, 7 timer 1 is not
@               counting timer 0's overflows (t0 - 4 x t1 outside 0-3)
        .syntax unified
        .arm
        .text
        .equ    VARS, 0x03007F00
        .equ    ERROR, 0x02000000
        .equ    HBUF, 0x03000000        @ 160 words + a guard word, H-blank DMA target
        .equ    ZERO, 0x030002A0        @ a word that stays 0 (fill source)
        .equ    VDST, 0x03000300        @ 16 words, V-blank DMA target
        .equ    EIN, 0x03000400         @ 68 halfwords, EEPROM reply
        .equ    EWB, 0x02000100         @ 73 halfwords, EEPROM write request
        .equ    ERB, 0x020001A0         @ 9 halfwords, EEPROM read request
        .equ    HTAB, 0x02000200        @ 160 words, H-blank DMA source
        .equ    VSRC, 0x02000500        @ 16 words, V-blank DMA source
        .equ    IDST, 0x02000600        @ 32 words, immediate DMA target
        .equ    EEPROM, 0x0D000000

@ Records error \code unless one is recorded already (uses \ra, \rb).
        .macro  fail code, ra, rb
        ldr     \ra, =ERROR
        ldr     \rb, [\ra]
        cmp     \rb, #0
        moveq   \rb, #\code
        streq   \rb, [\ra]
        .endm

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
        ldr     r0, =irq
        str     r0, [r1, #4]            @ the handler at 0x03007FFC

        ldr     r1, =HTAB               @ word n = n << 16 | (n xor 0xA5)
        mov     r2, #0
2:      eor     r3, r2, #0xA5
        orr     r3, r3, r2, lsl #16
        str     r3, [r1], #4
        add     r2, r2, #1
        cmp     r2, #160
        bne     2b

        mov     r0, #0
        strh    r0, [r12]               @ DISPCNT: mode 0, backdrop only
        ldr     r0, =0x6438             @ V-count line 100, V-count, H-blank, V-blank interrupts
        strh    r0, [r12, #4]
        ldr     r0, =0x00C4FFFC         @ timer 1: reload 0xFFFC, count-up, interrupt, on
        str     r0, [r12, #0x104]
        ldr     r0, =0x00C1FF00         @ timer 0: reload 0xFF00, prescaler 64, interrupt, on
        str     r0, [r12, #0x100]
        ldr     r0, =0xFFFF
        strh    r0, [r11, #2]           @ IF: nothing stale
        mov     r0, #0x1F
        strh    r0, [r11]               @ IE: V-blank, H-blank, V-count, timers 0 and 1
        mov     r0, #1
        str     r0, [r11, #8]           @ IME on
        msr     cpsr_c, #0x1F           @ interrupts on

main:
        ldr     r7, =VARS
        ldr     r8, [r7]
        add     r8, r8, #1
        str     r8, [r7]

        @ Immediate DMA 3: 32 words from the cartridge to EWRAM, read back.
        and     r0, r8, #15
        ldr     r1, =itab
        add     r1, r1, r0, lsl #2
        mov     r12, #0x04000000
        add     r12, r12, #0xD4
        ldr     r2, =IDST
        ldr     r3, =0x84000020         @ on, 32-bit, now, 32 words
        str     r1, [r12]
        str     r2, [r12, #4]
        str     r3, [r12, #8]
        ldr     r9, [r7, #0x34]
        mov     r4, #32
3:      ldr     r5, [r1], #4
        ldr     r6, [r2], #4
        cmp     r5, r6
        beq     4f
        fail    4, r0, r3
4:      add     r9, r9, r6
        subs    r4, r4, #1
        bne     3b
        str     r9, [r7, #0x34]

        @ V-blank DMA 1: check the last transfer once it is done, re-arm.
        mov     r12, #0x04000000
        add     r12, r12, #0xBC
        ldrh    r0, [r12, #10]
        tst     r0, #0x8000
        bne     7f                      @ still waiting for its V-blank
        ldr     r9, [r7, #0x30]
        ldr     r0, [r7, #0x3C]         @ armed before?
        cmp     r0, #0
        beq     6f
        ldr     r1, =VSRC
        ldr     r2, =VDST
        mov     r4, #16
5:      ldr     r5, [r1], #4
        ldr     r6, [r2], #4
        cmp     r5, r6
        bne     51f
        subs    r4, r4, #1
        bne     5b
        add     r9, r9, #1
        str     r9, [r7, #0x30]
        b       6f
51:     fail    3, r0, r3
6:      ldr     r1, =VSRC               @ word i = transfers << 16 | round + i
        mov     r4, #0
61:     add     r5, r8, r4
        orr     r5, r5, r9, lsl #16
        str     r5, [r1, r4, lsl #2]
        add     r4, r4, #1
        cmp     r4, #16
        bne     61b
        ldr     r2, =VDST
        ldr     r3, =0x94000010         @ on, 32-bit, at V-blank, 16 words
        str     r1, [r12]
        str     r2, [r12, #4]
        str     r3, [r12, #8]
        mov     r0, #1
        str     r0, [r7, #0x3C]
7:
        @ EEPROM: write block (round mod 64), read it back.
        and     r4, r8, #63
        ldr     r5, =0x9E3779B1
        mul     r5, r8, r5
        eor     r6, r5, r4, lsl #8
        ldr     r0, =0x5A5A5A5A
        eor     r6, r6, r0
        bl      eeprom_round
        b       main

@ One EEPROM round trip: block R4, data R5 (first 32 bits) and R6.
eeprom_round:
        ldr     r0, =EWB
        mov     r1, #1
        strh    r1, [r0], #2            @ "1 0": write request
        mov     r1, #0
        strh    r1, [r0], #2
        mov     r2, #5                  @ six address bits, most significant first
1:      mov     r1, r4, lsr r2
        and     r1, r1, #1
        strh    r1, [r0], #2
        subs    r2, r2, #1
        bpl     1b
        mov     r2, #31                 @ 64 data bits
2:      mov     r1, r5, lsr r2
        and     r1, r1, #1
        strh    r1, [r0], #2
        subs    r2, r2, #1
        bpl     2b
        mov     r2, #31
3:      mov     r1, r6, lsr r2
        and     r1, r1, #1
        strh    r1, [r0], #2
        subs    r2, r2, #1
        bpl     3b
        mov     r1, #0
        strh    r1, [r0]                @ and a closing 0
        mov     r12, #0x04000000
        add     r12, r12, #0xD4
        ldr     r0, =EWB
        mov     r1, #EEPROM
        ldr     r2, =0x80000049         @ on, 16-bit, now, 73 halfwords
        str     r0, [r12]
        str     r1, [r12, #4]
        str     r2, [r12, #8]

        ldr     r3, =0x100000           @ wait until the chip is ready again
4:      ldrh    r2, [r1]
        tst     r2, #1
        bne     5f
        subs    r3, r3, #1
        bne     4b
        fail    6, r0, r3
        bx      lr

5:      ldr     r0, =ERB                @ "1 1", address, 0: read request
        mov     r2, #1
        strh    r2, [r0]
        strh    r2, [r0, #2]
        add     r0, r0, #4
        mov     r2, #5
6:      mov     r3, r4, lsr r2
        and     r3, r3, #1
        strh    r3, [r0], #2
        subs    r2, r2, #1
        bpl     6b
        mov     r3, #0
        strh    r3, [r0]
        ldr     r0, =ERB
        ldr     r2, =0x80000009         @ 9 halfwords
        str     r0, [r12]
        str     r1, [r12, #4]
        str     r2, [r12, #8]
        ldr     r0, =EIN
        ldr     r2, =0x80000044         @ the reply: 68 halfwords
        str     r1, [r12]
        str     r0, [r12, #4]
        str     r2, [r12, #8]

        add     r0, r0, #8              @ four bits to ignore, then the data
        mov     r2, #0
        mov     r1, #32
7:      ldrh    r3, [r0], #2
        and     r3, r3, #1
        orr     r2, r3, r2, lsl #1
        subs    r1, r1, #1
        bne     7b
        mov     r9, #0
        mov     r1, #32
8:      ldrh    r3, [r0], #2
        and     r3, r3, #1
        orr     r9, r3, r9, lsl #1
        subs    r1, r1, #1
        bne     8b
        cmp     r2, r5
        cmpeq   r9, r6
        beq     9f
        fail    5, r0, r3
        bx      lr
9:      ldr     r0, =VARS
        ldr     r1, [r0, #0x24]
        add     r1, r1, #1
        str     r1, [r0, #0x24]
        ldr     r1, [r0, #0x28]
        eor     r2, r2, r9
        add     r1, r1, r2
        str     r1, [r0, #0x28]
        bx      lr

@ The interrupt handler, called by the BIOS in IRQ mode with R0-R3, R12
@ and LR saved; returns to it with BX LR.
irq:
        mov     r12, #0x04000000
        ldr     r0, [r12, #0x200]!      @ IE | IF << 16
        and     r0, r0, r0, lsr #16
        strh    r0, [r12, #2]           @ acknowledge what is handled
        ldr     r1, =0x03007FF8
        ldrh    r2, [r1]
        orr     r2, r2, r0
        strh    r2, [r1]
        ldr     r1, =VARS
        ldr     r2, [r1, #0x1C]         @ did this preempt the V-blank handler?
        cmp     r2, #0
        ldrne   r3, [r1, #0x18]
        addne   r3, r3, #1
        strne   r3, [r1, #0x18]
        tst     r0, #2
        ldrne   r3, [r1, #0x08]
        addne   r3, r3, #1
        strne   r3, [r1, #0x08]
        tst     r0, #4
        ldrne   r3, [r1, #0x0C]
        addne   r3, r3, #1
        strne   r3, [r1, #0x0C]
        subne   r3, r12, #0x200
        ldrhne  r3, [r3, #6]            @ VCOUNT
        strne   r3, [r1, #0x20]
        tst     r0, #8
        ldrne   r3, [r1, #0x10]
        addne   r3, r3, #1
        strne   r3, [r1, #0x10]
        tst     r0, #16
        ldrne   r3, [r1, #0x14]
        addne   r3, r3, #1
        strne   r3, [r1, #0x14]
        tst     r0, #1
        bxeq    lr

        ldr     r3, [r1, #0x04]         @ V-blank
        add     r3, r3, #1
        str     r3, [r1, #0x04]
        ldr     r2, [r1, #0x10]         @ timer 1 must count timer 0's overflows
        ldr     r3, [r1, #0x14]
        sub     r2, r2, r3, lsl #2
        cmp     r2, #3
        bls     1f
        fail    7, r2, r3
1:      ldrh    r2, [r12]               @ V-blank off while preemptible
        mrs     r3, spsr
        stmfd   sp!, {r2, r3, lr}
        bic     r2, r2, #1
        strh    r2, [r12]
        mov     r2, #1
        str     r2, [r1, #0x1C]
        msr     cpsr_c, #0x1F           @ System mode, interrupts on
        stmfd   sp!, {r4-r11, lr}
        bl      vblank_work
        ldmfd   sp!, {r4-r11, lr}
        msr     cpsr_c, #0x92           @ IRQ mode, interrupts off
        ldr     r1, =VARS
        mov     r2, #0
        str     r2, [r1, #0x1C]
        ldmfd   sp!, {r2, r3, lr}
        msr     spsr_fsxc, r3
        mov     r12, #0x04000000
        add     r12, r12, #0x200
        strh    r2, [r12]               @ IE as it was
        bx      lr

@ The preemptible part of the V-blank handler (System mode, interrupts on).
vblank_work:
        mov     r4, #0x04000000
1:      ldrh    r5, [r4, #6]            @ a few lines, for the others to come in
        cmp     r5, #163
        blo     1b

        ldr     r6, =VARS               @ the H-blank DMA of lines 0-159
        ldr     r5, [r6, #0x38]
        cmp     r5, #0
        beq     4f
        ldr     r7, =HBUF
        ldr     r8, =HTAB
        mov     r9, #160
2:      ldr     r10, [r7], #4
        ldr     r11, [r8], #4
        cmp     r10, r11
        bne     3f
        subs    r9, r9, #1
        bne     2b
        ldr     r10, [r7]               @ nothing on the V-blank lines
        cmp     r10, #0
        bne     31f
        ldr     r5, [r6, #0x2C]
        add     r5, r5, #1
        str     r5, [r6, #0x2C]
        b       4f
3:      fail    1, r10, r11
        b       4f
31:     fail    2, r10, r11

4:      mov     r5, #0
        strh    r5, [r4, #0xBA]         @ DMA 0 off
        add     r7, r4, #0xC8           @ DMA 2: clear the buffer and its guard
        ldr     r8, =ZERO
        ldr     r9, =HBUF
        ldr     r10, =0x850000A1        @ on, 32-bit, source fixed, now, 161 words
        str     r8, [r7]
        str     r9, [r7, #4]
        str     r10, [r7, #8]
        add     r7, r4, #0xB0           @ DMA 0: a word each H-blank from the table
        ldr     r8, =HTAB
        ldr     r10, =0xA6000001        @ on, 32-bit, H-blank, repeat, 1 word
        str     r8, [r7]
        str     r9, [r7, #4]
        str     r10, [r7, #8]
        mov     r5, #1
        str     r5, [r6, #0x38]
        bx      lr
        .pool

        .align  2
itab:                                   @ 48 words for the immediate DMA
        .set    n, 0
        .rept   48
        .word   (n * 0x01030507) ^ 0xC3A5F00F
        .set    n, n + 1
        .endr
        .ascii  "EEPROM_V124"           @ the marker of a cartridge with an EEPROM
        .align  2

@ IF takes every interrupt request, whatever IE and IME hold; H-blank comes
@ on V-blank lines too; an interrupt flagged before IE enables it is taken
@ as soon as IE does.  Results in IWRAM at 0x03000000:
@   +0   1: the V-blank bit appeared in IF with IME and IE off
@   +4   IF's V-blank bit after writing 1 to it (0)
@   +8   1: the H-blank bit appeared in IF on a V-blank line
@   +12  1: DISPSTAT's H-blank flag was seen on a V-blank line
@   +16  interrupts the handler took
@   +20  0xDEADBEEF once everything ran
@   +24  interrupts taken while IE was still off (0)
@ The handler is at 0x08000200; a test points the IRQ vector at it.
        .syntax unified
        .text
        .arm
start:
        mov     r12, #0x04000000
        add     r10, r12, #0x200        @ IE, IF, IME
        ldr     r11, =0x03000000
        msr     cpsr_c, #0x9F           @ System, IRQ masked
        mov     r0, #0
        strh    r0, [r10]               @ IE = 0
        strh    r0, [r10, #8]           @ IME = 0
        ldr     r0, =0xFFFF
        strh    r0, [r10, #2]           @ nothing flagged
        mov     r0, #0x18               @ DISPSTAT: V-blank and H-blank requests
        strh    r0, [r12, #4]
1:      ldrh    r1, [r10, #2]
        tst     r1, #1
        beq     1b
        mov     r0, #1
        str     r0, [r11, #0]
        strh    r0, [r10, #2]           @ acknowledge V-blank
        ldrh    r1, [r10, #2]
        and     r1, r1, #1
        str     r1, [r11, #4]
2:      ldrh    r1, [r12, #6]           @ into V-blank
        cmp     r1, #160
        blo     2b
        mov     r0, #2
        strh    r0, [r10, #2]           @ acknowledge H-blank
3:      ldrh    r1, [r10, #2]
        tst     r1, #2
        beq     3b
        ldrh    r2, [r12, #6]
        cmp     r2, #160
        movhs   r0, #1
        movlo   r0, #0
        str     r0, [r11, #8]
4:      ldrh    r1, [r12, #4]
        ldrh    r2, [r12, #6]
        cmp     r2, #160
        blo     4b
        tst     r1, #2
        beq     4b
        mov     r0, #1
        str     r0, [r11, #12]
        ldr     r0, =0xFFFF
        strh    r0, [r10, #2]           @ nothing flagged
        mov     r0, #1
        strh    r0, [r10, #8]           @ IME on, IE still off
        msr     cpsr_c, #0x1F           @ IRQ unmasked
5:      ldrh    r1, [r10, #2]
        tst     r1, #1
        beq     5b
        ldr     r0, [r11, #16]
        str     r0, [r11, #24]
        mov     r0, #1
        strh    r0, [r10]               @ IE: V-blank, already flagged
        nop
        nop
        ldr     r0, =0xDEADBEEF
        str     r0, [r11, #20]
6:      b       6b
        .pool

        .org    0x200
handler:
        stmfd   sp!, {r0-r2}
        ldr     r0, =0x03000000
        ldr     r1, [r0, #16]
        add     r1, r1, #1
        str     r1, [r0, #16]
        mov     r1, #0x04000000
        add     r1, r1, #0x200
        ldrh    r2, [r1, #2]
        strh    r2, [r1, #2]            @ acknowledge what is flagged
        ldmfd   sp!, {r0-r2}
        subs    pc, lr, #4
        .pool

@ Immediate DMA 3 transfers of every shape, one after another, again and
@ again: long ones that outlast a slice, both unit sizes, every address
@ step, across the video RAM mirror and the end of work RAM, overlapping
@ ranges, ranges longer than their area, into palette RAM and OAM, from the
@ cartridge, over translated code in IWRAM (a routine copied there, called,
@ then copied over itself by DMA and called again), and two while timer 0
@ counts and overflows (its interrupt requested, not taken).
@   0x03007F00  rounds done
@   0x03007F04  the IWRAM routine's calls (it adds 1 each time)
@ No BIOS, stack or interrupt is needed.
        .syntax unified
        .arm
        .text
        .equ    VARS, 0x03007F00
        .equ    ROUTINE, 0x03004000
        b       start
        .fill   0xB2 - 4, 1, 0
        .byte   0x96
        .fill   0xBD - 0xB3, 1, 0
        .byte   0x51
        .fill   0xC0 - 0xBE, 1, 0
start:
        mov     r0, #0x04000000
        mov     r2, #0x02000000         @ 16 KB of a pattern in work RAM
        ldr     r3, =0x1000
        ldr     r4, =0x01234567
1:      str     r4, [r2], #4
        add     r4, r4, r4, ror #9
        subs    r3, r3, #1
        bne     1b
        mov     r2, #0x03000000         @ and 4 KB in IWRAM
        ldr     r3, =0x400
2:      str     r4, [r2], #4
        eor     r4, r4, r4, lsl #3
        subs    r3, r3, #1
        bne     2b
        ldr     r2, =ROUTINE            @ the routine, copied by the processor
        adr     r3, routine
        ldr     r5, [r3], #4
        str     r5, [r2], #4
        ldr     r5, [r3], #4
        str     r5, [r2], #4
        ldr     r5, [r3], #4
        str     r5, [r2], #4
        ldr     r5, [r3], #4
        str     r5, [r2], #4
        ldr     r10, =VARS
        mov     r9, #0
        str     r9, [r10]
        str     r9, [r10, #4]
        add     r12, r0, #0xD4          @ DMA 3
round:
        ldr     r1, =ROUTINE
        mov     lr, pc
        bx      r1                      @ translated, then overwritten below
        adr     r6, transfers
3:      ldmia   r6!, {r2, r3, r4}
        cmp     r4, #0
        beq     4f
        cmp     r4, #1                  @ 1: timer 0 on, 2: off
        beq     5f
        cmp     r4, #2
        beq     6f
        str     r2, [r12]
        str     r3, [r12, #4]
        str     r4, [r12, #8]
        b       3b
5:      ldr     r1, =0x00C0FF00         @ by cycles from 0xFF00, interrupt on
        str     r1, [r0, #0x100]
        b       3b
6:      mov     r1, #0
        str     r1, [r0, #0x100]
        b       3b
4:      ldr     r1, =ROUTINE
        mov     lr, pc
        bx      r1
        add     r9, r9, #1
        str     r9, [r10]
        b       round

routine:                                @ adds 1 to the word at VARS + 4
        ldr     r8, [r10, #4]
        add     r8, r8, #1
        str     r8, [r10, #4]
        bx      lr

        .align  2
@ SAD, DAD, control (enable, timing now): control bits 21-22 destination
@ step, 23-24 source step (0 up, 1 down, 2 fixed), 26 32-bit units.
transfers:
        .word   0x02000000, 0x06004000, 0x84001000      @ 4096 words up
        .word   0x02000000, 0x06017FC0, 0x80000040      @ 64 halfwords over the mirror
        .word   0x08000000, 0x0203FFC0, 0x84000020      @ 32 words over work RAM's end
        .word   0x02000800, 0x050001FE, 0x80A00064      @ 100 halfwords, both down
        .word   0x03000000, 0x07000000, 0x85000100      @ 256 words into OAM, source fixed
        .word   0x02000000, 0x02001000, 0x80400080      @ 128 halfwords, destination fixed
        .word   0x02000100, 0x02000104, 0x84000040      @ 64 words, overlapping
        .word   routine, ROUTINE, 0x84000004            @ over the translated routine
        .word   0, 0, 1
        .word   0x03000000, 0x02002000, 0x840000C8      @ 200 words, timer counting
        .word   0x02000000, 0x06008000, 0x84000800      @ 2048 words, timer counting
        .word   0, 0, 2
        .word   0x08000000, 0x02003000, 0x80002000      @ 8192 halfwords from the cartridge
        .word   0x0300FFF0, 0x03000F00, 0x84000010      @ 16 words, IWRAM mirror source
        .word   0x03001000, 0x02010000, 0x84002800      @ 40 KB from the 32 KB of IWRAM
        .word   0x03000000, 0x07000000, 0x84000200      @ 512 words, twice round OAM
        .word   0, 0, 0
        .pool

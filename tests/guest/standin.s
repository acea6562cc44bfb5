@ Calls the stand-in BIOS's functions (run without a BIOS image) from a
@ table, and keeps what each gave back.  Per call i, at 0x02000000 + 16 i:
@ r0, r1 and r3 after it, and a mask of the registers it changed that it
@ must keep (bit n for rn: r2, r4-r9, r11, r12).  Outputs into memory go to
@ 0x02002000 on and to VRAM.  The last call is SoftReset, which starts the
@ program again; it then goes on after that call.  At 0x02003F00:
@   +0   boots;  +4 the next call;  +8 CPSR and +12 SP at the second boot
@   +16  the word at 0x03007E10 at the second boot (set before the reset)
@   +20  VCOUNT after Halt with IME off and interrupts masked
@   +24  interrupts the handler took by then (0)
@   +28  VCOUNT after each of three VBlankIntrWait calls (three words)
@   +40  interrupts the handler took after them;  +44 IME
@   +48  0xDEADBEEF once everything ran
        .syntax unified
        .text
        .arm
        .equ    RESULTS, 0x02000000
        .equ    STATE, 0x02003F00
        .equ    COUNT, 0x02003F80

start:
        ldr     r12, =STATE
        ldr     r0, [r12]
        add     r0, r0, #1
        str     r0, [r12]
        cmp     r0, #2
        bne     1f
        mrs     r1, cpsr
        str     r1, [r12, #8]
        str     sp, [r12, #12]
        ldr     r1, =0x03007E10
        ldr     r1, [r1]
        str     r1, [r12, #16]
        b       calls
1:      @ first boot: things for RegisterRamReset to clear, or to leave
        ldr     r0, =0x7FFF
        mov     r1, #0x05000000
        strh    r0, [r1]                @ palette
        ldr     r0, =0x1234
        mov     r1, #0x07000000
        strh    r0, [r1]                @ OAM
        ldr     r0, =0xABCD
        mov     r1, #0x06000000
        add     r1, r1, #0x8000
        strh    r0, [r1]                @ VRAM (not to be cleared)
        mov     r1, #0x04000000
        mov     r0, #0x1F
        strh    r0, [r1, #8]            @ BG0CNT
        mov     r0, #0x55
        strh    r0, [r1, #0x20]         @ BG2PA
        ldr     r1, =0x03007E10
        ldr     r0, =0x5A5A
        str     r0, [r1]                @ for SoftReset to clear

calls:
        ldr     r12, =STATE
        ldr     r9, [r12, #4]
        adr     r10, table
        add     r10, r10, r9, lsl #4
        add     r10, r10, r9, lsl #2    @ 20 bytes an entry
        ldr     r8, [r10]
        cmn     r8, #1
        beq     waits
        add     r0, r9, #1
        str     r0, [r12, #4]           @ before the call: SoftReset goes on after it
        stmfd   sp!, {r9, r10}          @ the call's number and its entry
        tst     r8, #0x100
        adreq   r11, stubs
        addeq   r11, r11, r8, lsl #3
        adrne   r11, thumb_div
        addne   r11, r11, #1
        ldmib   r10, {r0-r3}
        mov     r10, r11                @ r10 is the one register not watched
        ldr     r4, =0x44444444
        ldr     r5, =0x55555555
        ldr     r6, =0x66666666
        ldr     r7, =0x77777777
        ldr     r8, =0x88888888
        ldr     r9, =0x99999999
        ldr     r11, =0xBBBBBBBB
        ldr     r12, =0xCCCCCCCC
        adr     lr, back
        bx      r10

back:   stmfd   sp!, {r0-r3}
        mov     r0, #0
        ldr     r1, =0x44444444
        cmp     r4, r1
        orrne   r0, r0, #0x10
        ldr     r1, =0x55555555
        cmp     r5, r1
        orrne   r0, r0, #0x20
        ldr     r1, =0x66666666
        cmp     r6, r1
        orrne   r0, r0, #0x40
        ldr     r1, =0x77777777
        cmp     r7, r1
        orrne   r0, r0, #0x80
        ldr     r1, =0x88888888
        cmp     r8, r1
        orrne   r0, r0, #0x100
        ldr     r1, =0x99999999
        cmp     r9, r1
        orrne   r0, r0, #0x200
        ldr     r1, =0xBBBBBBBB
        cmp     r11, r1
        orrne   r0, r0, #0x800
        ldr     r1, =0xCCCCCCCC
        cmp     r12, r1
        orrne   r0, r0, #0x1000
        ldr     r1, [sp, #20]
        ldr     r1, [r1, #12]           @ the r2 it was given
        ldr     r2, [sp, #8]
        cmp     r2, r1
        orrne   r0, r0, #0x4
        ldmfd   sp!, {r1-r3, r4}        @ r0, r1, r2, r3 after the call
        ldmfd   sp!, {r9, r10}
        ldr     r12, =RESULTS
        add     r12, r12, r9, lsl #4
        str     r1, [r12]
        str     r2, [r12, #4]
        str     r4, [r12, #8]
        str     r0, [r12, #12]
        b       calls

waits:
        ldr     r0, =0x03007FFC
        adr     r1, handler
        str     r1, [r0]
        mov     r12, #0x04000000
        add     r11, r12, #0x200
        ldr     r10, =STATE
        mov     r0, #8
        strh    r0, [r12, #4]           @ DISPSTAT: V-blank requests
        mov     r0, #1
        strh    r0, [r11]               @ IE: V-blank
        msr     cpsr_c, #0x9F           @ System, interrupts masked; IME is off
1:      ldrh    r0, [r12, #6]
        cmp     r0, #100
        bne     1b
        ldr     r0, =0xFFFF
        strh    r0, [r11, #2]           @ nothing flagged
        swi     0x020000                @ Halt
        ldrh    r0, [r12, #6]
        str     r0, [r10, #20]
        ldr     r0, =COUNT
        ldr     r0, [r0]
        str     r0, [r10, #24]
        mov     r0, #1
        strh    r0, [r11, #2]           @ acknowledge the V-blank
        msr     cpsr_c, #0x1F           @ interrupts on; IME still off
        mov     r9, #28
2:      swi     0x050000                @ VBlankIntrWait
        ldrh    r0, [r12, #6]
        str     r0, [r10, r9]
        add     r9, r9, #4
        cmp     r9, #40
        bne     2b
        ldr     r0, =COUNT
        ldr     r0, [r0]
        str     r0, [r10, #40]
        ldrh    r0, [r11, #8]
        str     r0, [r10, #44]
        ldr     r0, =0xDEADBEEF
        str     r0, [r10, #48]
3:      b       3b

handler:
        mov     r0, #0x04000000
        add     r0, r0, #0x200
        ldrh    r1, [r0, #2]
        strh    r1, [r0, #2]            @ acknowledge
        ldr     r2, =0x03007FF8
        ldrh    r3, [r2]
        orr     r3, r3, r1
        strh    r3, [r2]                @ tell IntrWait
        ldr     r2, =COUNT
        ldr     r3, [r2]
        add     r3, r3, #1
        str     r3, [r2]
        bx      lr

        .ltorg

stubs:
        .set    n, 0
        .rept   0x2C
        swi     n << 16
        bx      lr
        .set    n, n + 1
        .endr

        .thumb
        .balign 2
thumb_div:
        swi     6
        bx      lr
        .arm
        .balign 4

@ number (0x100 + 6: Div from Thumb code), r0, r1, r2, r3; -1 ends.
table:
        .word   0x01, 0x94, 0, 0, 0                     @ 0 RegisterRamReset: palette, OAM, registers
        .word   0x06, -1234, 10, 0x22222222, 0          @ 1 Div
        .word   0x06, 1000, -7, 0, 0                    @ 2
        .word   0x06, 0x80000000, 1, 0, 0               @ 3
        .word   0x06, 5, 0, 0, 0                        @ 4 by zero
        .word   0x06, -5, 0, 0, 0                       @ 5
        .word   0x07, 10, -1234, 0, 0                   @ 6 DivArm
        .word   0x106, 100, 7, 0, 0                     @ 7 Div from Thumb
        .word   0x08, 0, 0, 0, 0                        @ 8 Sqrt
        .word   0x08, 15, 0, 0, 0                       @ 9
        .word   0x08, 16, 0, 0, 0                       @ 10
        .word   0x08, 0xFFFFFFFF, 0, 0, 0               @ 11
        .word   0x09, 0x4000, 0, 0, 0                   @ 12 ArcTan
        .word   0x09, -0x4000, 0, 0, 0                  @ 13
        .word   0x09, 0x2000, 0, 0, 0                   @ 14
        .word   0x0A, 100, 0, 0, 0                      @ 15 ArcTan2
        .word   0x0A, 0, 100, 0, 0                      @ 16
        .word   0x0A, -100, 0, 0, 0                     @ 17
        .word   0x0A, 0, -100, 0, 0                     @ 18
        .word   0x0A, 100, 100, 0, 0                    @ 19
        .word   0x0A, -100, -100, 0, 0                  @ 20
        .word   0x0A, 100, -100, 0, 0                   @ 21
        .word   0x0A, -300, 100, 0, 0                   @ 22
        .word   0x0A, 30, -200, 0, 0                    @ 23
        .word   0x0B, halves, 0x02002000, 5, 0          @ 24 CpuSet: halfword copy
        .word   0x0B, words, 0x02002020, 0x05000003, 0  @ 25 word fill
        .word   0x0C, words, 0x02002040, 9, 0           @ 26 CpuFastSet: copy
        .word   0x0C, words + 4, 0x020020C0, 0x01000001, 0 @ 27 fill
        .word   0x0D, 0, 0, 0, 0                        @ 28 GetBiosChecksum
        .word   0x0E, bgaffine, 0x02002100, 2, 0        @ 29 BgAffineSet
        .word   0x0F, objaffine, 0x02002140, 2, 2       @ 30 ObjAffineSet, packed
        .word   0x0F, objaffine, 0x02002160, 1, 8       @ 31 as in OAM
        .word   0x10, unpack_src, 0x02002180, unpack1, 0 @ 32 BitUnPack
        .word   0x10, unpack_src + 1, 0x02002184, unpack2, 0 @ 33
        .word   0x10, unpack_src, 0x02002188, unpack3, 0 @ 34
        .word   0x11, lz77_a, 0x02002200, 0, 0          @ 35 LZ77 to WRAM
        .word   0x12, lz77_a, 0x06000000, 0, 0          @ 36 to VRAM
        .word   0x12, lz77_b, 0x06000020, 0, 0          @ 37 to VRAM, one back
        .word   0x13, huff, 0x02002240, 0, 0            @ 38 Huffman
        .word   0x14, rl, 0x02002280, 0, 0              @ 39 RL to WRAM
        .word   0x15, rl, 0x06000040, 0, 0              @ 40 to VRAM
        .word   0x16, diff8, 0x020022C0, 0, 0           @ 41 Diff8 to WRAM
        .word   0x17, diff8, 0x06000060, 0, 0           @ 42 to VRAM
        .word   0x18, diff16, 0x020022E0, 0, 0          @ 43 Diff16
        .word   0x19, 1, 0, 0, 0                        @ 44 SoundBias
        .word   0x2B, 0x12345678, 0x23456789, 0x3456789A, 0x456789AB @ 45 no such function
        .word   0x00, 0, 0, 0, 0                        @ 46 SoftReset
        .word   -1

halves: .hword  1, 2, 3, 4, 5, 6
        .balign 4
words:  .word   0x11111111, 0x22222222, 0x33333333, 0x44444444
        .word   0x55555555, 0x66666666, 0x77777777, 0x88888888
        .word   0x99999999, 0xAAAAAAAA, 0xBBBBBBBB, 0xCCCCCCCC
        .word   0xDDDDDDDD, 0xEEEEEEEE, 0xFFFFFFFF, 0x12345678
        .word   0x9ABCDEF0
bgaffine:
        .word   0x1000, 0x2000
        .hword  120, 80, 0x100, 0x100, 0, 0
        .word   0x1000, 0x2000
        .hword  120, 80, 0x200, 0x100, 0x4000, 0
objaffine:
        .hword  0x100, 0x200, 0x4000, 0
        .hword  0x100, 0x100, 0x2000, 0
unpack_src:
        .byte   0x1B, 0xA5
        .balign 4
unpack1: .hword 1
        .byte   2, 8
        .word   1                       @ 2-bit units to bytes, plus 1 (not the zeros)
unpack2: .hword 1
        .byte   1, 4
        .word   0                       @ 1-bit units to nibbles
unpack3: .hword 1
        .byte   2, 8
        .word   0x80000001              @ plus 1, the zeros too
lz77_a: .word   0x10 | (10 << 8)        @ "ABCABCABCX"
        .byte   0x10, 'A', 'B', 'C', 0x30, 0x02, 'X'
        .balign 4
lz77_b: .word   0x10 | (6 << 8)         @ "AAAAAB": a run from one byte back
        .byte   0x40, 'A', 0x10, 0x00, 'B'
        .balign 4
huff:   .word   0x28 | (4 << 8)         @ 8-bit units, 4 bytes: "ABBA"
        .byte   1, 0xC0, 'A', 'B'
        .word   0x60000000
rl:     .word   0x30 | (8 << 8)         @ "AAAAABCD"
        .byte   0x82, 'A', 0x02, 'B', 'C', 'D'
        .balign 4
diff8:  .word   0x81 | (4 << 8)
        .byte   1, 2, 3, 250
diff16: .word   0x82 | (6 << 8)
        .hword  0x1000, 0x0001, 0xF000

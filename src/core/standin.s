@ The BIOS that stands in when no image of the console's own is loaded: the
@ exception vectors, the interrupt dispatch through the handler address at
@ 0x03007FFC, and the software-interrupt functions that cartridges call,
@ with the console's registers in and out.  It runs as guest code like any
@ other, so it is journaled, stepped and run backwards with the rest.
@
@ The word at 0 stays zero: that is how the processor's reset knows that no
@ BIOS start-up is there to run, and starts at the cartridge.
@ No "mov r0, r0" anywhere: that instruction calls the debug service.

        .syntax unified
        .arm
        .text

        .word   0                       @ 0x00 reset: see above
        b       undefined               @ 0x04
        b       swi                     @ 0x08
        b       prefetch_abort          @ 0x0C
        b       data_abort              @ 0x10
        b       prefetch_abort          @ 0x14 (reserved)
        b       irq                     @ 0x18
        b       fiq                     @ 0x1C

undefined:
        movs    pc, lr                  @ on past the instruction
prefetch_abort:
data_abort:
fiq:
        subs    pc, lr, #4

@ ---------------------------------------------------------------- interrupts
@ As the console's: r0-r3, r12 and lr on the IRQ stack, then the handler
@ whose address is at 0x03007FFC (IWRAM's mirror at 0x03FFFFFC), called in
@ IRQ mode and ARM state; it returns with "bx lr".
irq:
        stmfd   sp!, {r0-r3, r12, lr}
        mov     r0, #0x04000000
        ldr     r1, [r0, #-4]
        cmp     r1, #0                  @ no handler: nothing to call
        addne   lr, pc, #0              @ lr = irq_return
        movne   pc, r1
irq_return:
        ldmfd   sp!, {r0-r3, r12, lr}
        subs    pc, lr, #4

@ ------------------------------------------------------- software interrupts
@ The function's number is the byte at lr - 2 in either state: bits 16-23
@ of an ARM SWI, bits 0-7 of a Thumb one.  Functions run in System mode
@ with interrupts masked as the caller had them; r2, r11, r12 and the
@ caller's lr come back unchanged, and so do the flags.
swi:
        stmfd   sp!, {r11, r12, lr}
        ldrb    r12, [lr, #-2]
        cmp     r12, #(swi_table_end - swi_table) / 4
        movhs   r12, #(swi_table_end - swi_table) / 4 - 1
        adr     r11, swi_table
        ldr     r12, [r11, r12, lsl #2]
        mrs     r11, spsr
        stmfd   sp!, {r11}
        and     r11, r11, #0x80
        orr     r11, r11, #0x1F
        msr     cpsr_fc, r11
        stmfd   sp!, {r2, lr}
        mov     lr, pc
        bx      r12
        ldmfd   sp!, {r2, lr}
        mov     r12, #0xD3
        msr     cpsr_fc, r12
        ldmfd   sp!, {r11}
        msr     spsr_fc, r11
        ldmfd   sp!, {r11, r12, lr}
        movs    pc, lr

swi_table:
        .word   soft_reset              @ 0x00
        .word   register_ram_reset      @ 0x01
        .word   halt                    @ 0x02
        .word   halt                    @ 0x03 Stop: woken as Halt is
        .word   intr_wait               @ 0x04
        .word   vblank_intr_wait        @ 0x05
        .word   div                     @ 0x06
        .word   div_arm                 @ 0x07
        .word   sqrt                    @ 0x08
        .word   arctan                  @ 0x09
        .word   arctan2                 @ 0x0A
        .word   cpu_set                 @ 0x0B
        .word   cpu_fast_set            @ 0x0C
        .word   bios_checksum           @ 0x0D
        .word   bg_affine_set           @ 0x0E
        .word   obj_affine_set          @ 0x0F
        .word   bit_unpack              @ 0x10
        .word   lz77_wram               @ 0x11
        .word   lz77_vram               @ 0x12
        .word   huff_uncomp             @ 0x13
        .word   rl_wram                 @ 0x14
        .word   rl_vram                 @ 0x15
        .word   diff8_wram              @ 0x16
        .word   diff8_vram              @ 0x17
        .word   diff16                  @ 0x18
        .word   sound_bias              @ 0x19
        .rept   0x27 - 0x1A             @ 0x1A-0x26: the sound driver, multiboot, hard reset
        .word   nothing
        .endr
        .word   halt                    @ 0x27 CustomHalt
        .word   nothing                 @ 0x28-0x2A and every number above
swi_table_end:

nothing:
        bx      lr

@ 0x00: registers cleared, the stacks of the start state, the top 512 bytes
@ of IWRAM cleared, then on at 0x08000000 (or 0x02000000 when the byte at
@ 0x03007FFA was not zero) in System mode.
soft_reset:
        mov     r12, #0x03000000
        add     r12, r12, #0x7E00
        ldrb    r11, [r12, #0x1FA]
        mov     r0, #0
        mov     r1, #0x200
1:      subs    r1, r1, #4
        str     r0, [r12, r1]
        bne     1b
        msr     cpsr_fc, #0xD3
        add     sp, r12, #0x1E0
        mov     lr, #0
        msr     spsr_fc, lr
        msr     cpsr_fc, #0xD2
        add     sp, r12, #0x1A0
        mov     lr, #0
        msr     spsr_fc, lr
        msr     cpsr_fc, #0x1F
        add     sp, r12, #0x100
        cmp     r11, #0
        moveq   lr, #0x08000000
        movne   lr, #0x02000000
        mov     r0, #0
        mov     r1, #0
        mov     r2, #0
        mov     r3, #0
        mov     r4, #0
        mov     r5, #0
        mov     r6, #0
        mov     r7, #0
        mov     r8, #0
        mov     r9, #0
        mov     r10, #0
        mov     r11, #0
        mov     r12, #0
        bx      lr

@ 0x01: r0 says what to clear: bit 0 EWRAM, 1 IWRAM but its top 512 bytes,
@ 2 palette, 3 VRAM, 4 OAM, 5 the serial registers, 6 the sound registers,
@ 7 the other registers.  The display is blanked whatever r0 holds.
register_ram_reset:
        stmfd   sp!, {r0-r4, lr}
        mov     r4, r0
        mov     r3, #0x04000000
        mov     r0, #0x80
        strh    r0, [r3]
        mov     r2, #0
        tst     r4, #1
        movne   r0, #0x02000000
        movne   r1, #0x40000
        blne    clear_words
        tst     r4, #2
        movne   r0, #0x03000000
        movne   r1, #0x7E00
        blne    clear_words
        tst     r4, #4
        movne   r0, #0x05000000
        movne   r1, #0x400
        blne    clear_words
        tst     r4, #8
        movne   r0, #0x06000000
        movne   r1, #0x18000
        blne    clear_words
        tst     r4, #16
        movne   r0, #0x07000000
        movne   r1, #0x400
        blne    clear_words
        tst     r4, #32
        beq     1f
        add     r0, r3, #0x120
        mov     r1, #0x10
        bl      clear_words
        add     r0, r3, #0x100
        strh    r2, [r0, #0x34]         @ RCNT
        add     r0, r3, #0x140
        mov     r1, #0x20
        bl      clear_words
1:      tst     r4, #64
        beq     2f
        add     r0, r3, #0x60
        mov     r1, #0x28
        bl      clear_words
        add     r0, r3, #0x90           @ wave RAM
        mov     r1, #0x20
        bl      clear_words
        mov     r0, #0x200
        strh    r0, [r3, #0x88]         @ SOUNDBIAS at its middle
2:      tst     r4, #128
        beq     3f
        strh    r2, [r3, #2]
        strh    r2, [r3, #4]            @ DISPSTAT; VCOUNT is the display's
        add     r0, r3, #8
        mov     r1, #0x58
        bl      clear_words
        add     r0, r3, #0xB0
        mov     r1, #0x60
        bl      clear_words
        add     r0, r3, #0x100
        strh    r2, [r0, #0x32]         @ KEYCNT; KEYINPUT is the keypad's
        add     r0, r3, #0x200
        strh    r2, [r0]                @ IE (IF is acknowledged, not cleared)
        strh    r2, [r0, #4]            @ WAITCNT
        strh    r2, [r0, #8]            @ IME
        mov     r0, #0x100              @ BG2 and BG3 at identity
        strh    r0, [r3, #0x20]
        strh    r0, [r3, #0x26]
        strh    r0, [r3, #0x30]
        strh    r0, [r3, #0x36]
3:      ldmfd   sp!, {r0-r4, lr}
        bx      lr

@ r1 bytes (a multiple of 4) from r0 on set to r2.
clear_words:
1:      subs    r1, r1, #4
        strhs   r2, [r0], #4
        bhi     1b
        bx      lr

@ 0x02, 0x03, 0x27: until an enabled interrupt is requested (IE AND IF not
@ zero), whatever IME and the I bit say: HALTCNT halts the processor until
@ then (where the machine has no halt, the loop after it waits instead).
@ Interrupts stay masked through the wait, so that it sees the request
@ before an interrupt taken on its way acknowledges it; the caller's mask
@ comes back as it returns, and the interrupt is taken there.
halt:
        stmfd   sp!, {r0, lr}
        mrs     r12, cpsr
        orr     r11, r12, #0x80
        msr     cpsr_c, r11
        bl      sleep
        msr     cpsr_c, r12
        ldmfd   sp!, {r0, lr}
        bx      lr

@ Halts until IE AND IF is not zero.  Uses r0 and r11.
sleep:
        mov     r11, #0x04000000
        mov     r0, #0
        strb    r0, [r11, #0x301]       @ HALTCNT: halt
1:      ldr     r0, [r11, #0x200]       @ IE, and IF in the upper half
        ands    r0, r0, r0, lsr #16
        beq     1b
        bx      lr

@ 0x05: IntrWait with r0 = 1, r1 = 1 (V-blank).
vblank_intr_wait:
        mov     r0, #1
        mov     r1, #1
@ 0x04: sets IME, then waits until an interrupt of r1 is flagged at
@ 0x03007FF8 (where the cartridge's handler records what it took), clears
@ those flags and returns.  With r0 = 1 the flags already there are cleared
@ first, so only a new interrupt ends the wait.  Between looks at the flags
@ it halts with interrupts masked, then lets the interrupt in.
intr_wait:
        stmfd   sp!, {r3, r4, lr}
        mov     r12, #0x04000000
        add     r12, r12, #0x200
        mov     r11, #1
        strh    r11, [r12, #8]          @ IME
        mov     r12, #0x03000000
        add     r12, r12, #0x7F00
        mrs     r3, cpsr
        orr     r4, r3, #0x80
        msr     cpsr_c, r4              @ the handler changes the flags too
        cmp     r0, #0
        ldrhne  r11, [r12, #0xF8]
        bicne   r11, r11, r1
        strhne  r11, [r12, #0xF8]
1:      ldrh    r11, [r12, #0xF8]
        ands    r0, r11, r1
        bne     2f
        bl      sleep
        msr     cpsr_c, r3              @ the interrupt comes in here
        msr     cpsr_c, r4
        b       1b
2:      bic     r11, r11, r1
        strh    r11, [r12, #0xF8]
        msr     cpsr_c, r3
        ldmfd   sp!, {r3, r4, lr}
        bx      lr

@ 0x07: Div with r0 and r1 the other way round.
div_arm:
        eor     r0, r0, r1
        eor     r1, r0, r1
        eor     r0, r0, r1
@ 0x06: r0 = r0 / r1 rounded towards zero, r1 = the remainder (with the sign
@ of r0), r3 = the quotient's magnitude.  The console's own loops for ever
@ on a zero divisor; this one gives r0 = -1 or 1 by r0's sign, r1 = r0 and
@ r3 = 1.
div:
        cmp     r1, #0
        beq     div_by_zero
        stmfd   sp!, {r4, lr}
        eor     r4, r0, r1              @ the quotient's sign in bit 31
        movs    r11, r0                 @ the remainder's sign
        rsbmi   r0, r0, #0
        cmp     r1, #0
        rsbmi   r1, r1, #0
        bl      udiv
        mov     r3, r0
        cmp     r4, #0
        rsbmi   r0, r0, #0
        cmp     r11, #0
        rsbmi   r1, r1, #0
        ldmfd   sp!, {r4, lr}
        bx      lr
div_by_zero:
        mov     r1, r0
        cmp     r0, #0
        mvnlt   r0, #0
        movge   r0, #1
        mov     r3, #1
        bx      lr

@ Unsigned r0 / r1 (r1 not zero): r0 = the quotient, r1 = the remainder.
@ Uses r2 and r12.
udiv:
        mov     r2, #1
        mov     r12, #0
1:      cmp     r1, #0x80000000
        cmpcc   r1, r0
        movcc   r1, r1, lsl #1
        movcc   r2, r2, lsl #1
        bcc     1b
2:      cmp     r0, r1
        subcs   r0, r0, r1
        orrcs   r12, r12, r2
        movs    r2, r2, lsr #1
        movne   r1, r1, lsr #1
        bne     2b
        mov     r1, r0
        mov     r0, r12
        bx      lr

@ 0x08: r0 = the square root of unsigned r0, rounded down.
sqrt:
        stmfd   sp!, {r1, r3}
        mov     r1, #0
        mov     r2, #0x40000000
1:      cmp     r2, r0
        movhi   r2, r2, lsr #2
        bhi     1b
2:      cmp     r2, #0
        beq     3f
        add     r3, r1, r2
        cmp     r0, r3
        subcs   r0, r0, r3
        mov     r1, r1, lsr #1
        addcs   r1, r1, r2
        mov     r2, r2, lsr #2
        b       2b
3:      mov     r0, r1
        ldmfd   sp!, {r1, r3}
        bx      lr

@ 0x09: r0 = the arc tangent of r0 (1.14 fixed point, -1 to 1), in units
@ of pi / 0x8000: -0x2000 to 0x2000.
arctan:
        stmfd   sp!, {r1, r3}
        mul     r1, r0, r0
        mov     r1, r1, asr #14
        rsb     r1, r1, #0              @ -t^2
        mov     r3, #0xA9
        mul     r3, r1, r3
        mov     r3, r3, asr #14
        add     r3, r3, #0x390
        mul     r3, r1, r3
        mov     r3, r3, asr #14
        add     r3, r3, #0x900
        add     r3, r3, #0x1C
        mul     r3, r1, r3
        mov     r3, r3, asr #14
        add     r3, r3, #0xF00
        add     r3, r3, #0xB6
        mul     r3, r1, r3
        mov     r3, r3, asr #14
        add     r3, r3, #0x1600
        add     r3, r3, #0xAA
        mul     r3, r1, r3
        mov     r3, r3, asr #14
        add     r3, r3, #0x2000
        add     r3, r3, #0x81
        mul     r3, r1, r3
        mov     r3, r3, asr #14
        add     r3, r3, #0x3600
        add     r3, r3, #0x51
        mul     r3, r1, r3
        mov     r3, r3, asr #14
        add     r3, r3, #0xA200
        add     r3, r3, #0xF9
        mul     r0, r3, r0
        mov     r0, r0, asr #16
        ldmfd   sp!, {r1, r3}
        bx      lr

@ 0x0A: r0 = the angle of the point (x = r0, y = r1, signed 16-bit) in
@ units of pi / 0x8000, 0 to 0xFFFF.
arctan2:
        stmfd   sp!, {r1, r3-r6, lr}
        mov     r0, r0, lsl #16
        mov     r4, r0, asr #16         @ x
        mov     r1, r1, lsl #16
        mov     r5, r1, asr #16         @ y
        orrs    r0, r4, r5
        beq     9f                      @ the origin: 0
        cmp     r4, #0
        rsblt   r0, r4, #0
        movge   r0, r4                  @ |x|
        cmp     r5, #0
        rsblt   r1, r5, #0
        movge   r1, r5                  @ |y|
        cmp     r0, r1
        blt     5f
        @ |x| >= |y|: atan(y / x) about the x axis
        mov     r0, r5, lsl #14
        mov     r1, r4
        bl      div
        bl      arctan
        cmp     r4, #0
        addlt   r0, r0, #0x8000         @ x < 0: the half turn
        blt     8f
        cmp     r0, #0
        addlt   r0, r0, #0x10000        @ below the axis: wrap
        b       8f
5:      @ |y| > |x|: a quarter turn minus atan(x / y)
        mov     r0, r4, lsl #14
        mov     r1, r5
        bl      div
        bl      arctan
        cmp     r5, #0
        rsbge   r0, r0, #0x4000
        rsblt   r0, r0, #0xC000
8:      mov     r0, r0, lsl #16
        mov     r0, r0, lsr #16
9:      ldmfd   sp!, {r1, r3-r6, lr}
        bx      lr

@ 0x0B: r2 bits 0-20 units from r0 to r1; bit 24 fills with the unit at r0,
@ bit 26 makes the units words (else halfwords).
cpu_set:
        stmfd   sp!, {r0, r1, r3}
        mov     r3, r2, lsl #11
        movs    r3, r3, lsr #11
        beq     9f
        tst     r2, #0x04000000
        bne     5f
        bic     r0, r0, #1
        bic     r1, r1, #1
        tst     r2, #0x01000000
        ldrhne  r11, [r0]
        bne     2f
1:      ldrh    r11, [r0], #2
        strh    r11, [r1], #2
        subs    r3, r3, #1
        bne     1b
        b       9f
2:      strh    r11, [r1], #2
        subs    r3, r3, #1
        bne     2b
        b       9f
5:      bic     r0, r0, #3
        bic     r1, r1, #3
        tst     r2, #0x01000000
        ldrne   r11, [r0]
        bne     7f
6:      ldr     r11, [r0], #4
        str     r11, [r1], #4
        subs    r3, r3, #1
        bne     6b
        b       9f
7:      str     r11, [r1], #4
        subs    r3, r3, #1
        bne     7b
9:      ldmfd   sp!, {r0, r1, r3}
        bx      lr

@ 0x0C: r2 bits 0-20 words (rounded up to a multiple of 8) from r0 to r1;
@ bit 24 fills with the word at r0.
cpu_fast_set:
        stmfd   sp!, {r0-r10}
        mov     r12, r2, lsl #11
        mov     r12, r12, lsr #11
        add     r12, r12, #7
        movs    r12, r12, lsr #3
        beq     9f
        bic     r0, r0, #3
        bic     r1, r1, #3
        tst     r2, #0x01000000
        bne     2f
1:      ldmia   r0!, {r2-r9}
        stmia   r1!, {r2-r9}
        subs    r12, r12, #1
        bne     1b
        b       9f
2:      ldr     r2, [r0]
        mov     r3, r2
        mov     r4, r2
        mov     r5, r2
        mov     r6, r2
        mov     r7, r2
        mov     r8, r2
        mov     r9, r2
3:      stmia   r1!, {r2-r9}
        subs    r12, r12, #1
        bne     3b
9:      ldmfd   sp!, {r0-r10}
        bx      lr

@ 0x0D: the checksum the console's BIOS gives.
bios_checksum:
        ldr     r0, =0xBAAE187F
        bx      lr

@ Sine and cosine of the angle's upper byte in r0 (1.14 fixed point):
@ r0 = sin, r11 = cos.  Uses r12.
sincos:
        adr     r12, sine
        mov     r0, r0, lsl #16
        mov     r0, r0, lsr #24
        add     r11, r0, #64
        and     r11, r11, #0xFF
        add     r11, r12, r11, lsl #1
        ldrsh   r11, [r11]
        add     r0, r12, r0, lsl #1
        ldrsh   r0, [r0]
        bx      lr

@ 0x0E: r2 entries of 20 bytes at r0 (the picture's centre x and y in
@ 24.8, the screen's centre x and y, the scale x and y in 8.8, the angle)
@ to r2 entries of 16 bytes at r1 (PA, PB, PC, PD, then the start x and y
@ in 24.8).
bg_affine_set:
        stmfd   sp!, {r0-r10, lr}
        mov     r10, r0
        movs    r9, r2
        beq     9f
1:      ldrh    r0, [r10, #16]
        bl      sincos                  @ r0 = sin, r11 = cos
        ldrsh   r2, [r10, #12]          @ scale x
        ldrsh   r3, [r10, #14]          @ scale y
        mul     r4, r2, r11
        mov     r4, r4, asr #14         @ PA = sx cos
        mul     r5, r2, r0
        rsb     r5, r5, #0
        mov     r5, r5, asr #14         @ PB = -sx sin
        mul     r6, r3, r0
        mov     r6, r6, asr #14         @ PC = sy sin
        mul     r7, r3, r11
        mov     r7, r7, asr #14         @ PD = sy cos
        strh    r4, [r1]
        strh    r5, [r1, #2]
        strh    r6, [r1, #4]
        strh    r7, [r1, #6]
        ldrsh   r2, [r10, #8]           @ screen x
        ldrsh   r3, [r10, #10]          @ screen y
        ldr     r0, [r10]
        mul     r8, r4, r2
        sub     r0, r0, r8
        mul     r8, r5, r3
        sub     r0, r0, r8
        str     r0, [r1, #8]            @ x0 = cx - (PA sx + PB sy)
        ldr     r0, [r10, #4]
        mul     r8, r6, r2
        sub     r0, r0, r8
        mul     r8, r7, r3
        sub     r0, r0, r8
        str     r0, [r1, #12]           @ y0 = cy - (PC sx + PD sy)
        add     r10, r10, #20
        add     r1, r1, #16
        subs    r9, r9, #1
        bne     1b
9:      ldmfd   sp!, {r0-r10, lr}
        bx      lr

@ 0x0F: r2 entries of 8 bytes at r0 (scale x and y in 8.8, the angle) to
@ PA, PB, PC, PD at r1, each r3 bytes after the one before (2 for a packed
@ table, 8 for OAM).
obj_affine_set:
        stmfd   sp!, {r0-r10, lr}
        mov     r10, r0
        movs    r9, r2
        beq     9f
1:      ldrh    r0, [r10, #4]
        bl      sincos
        ldrsh   r2, [r10]
        ldrsh   r4, [r10, #2]
        mul     r5, r2, r11
        mov     r5, r5, asr #14
        strh    r5, [r1], r3            @ PA = sx cos
        mul     r5, r2, r0
        rsb     r5, r5, #0
        mov     r5, r5, asr #14
        strh    r5, [r1], r3            @ PB = -sx sin
        mul     r5, r4, r0
        mov     r5, r5, asr #14
        strh    r5, [r1], r3            @ PC = sy sin
        mul     r5, r4, r11
        mov     r5, r5, asr #14
        strh    r5, [r1], r3            @ PD = sy cos
        add     r10, r10, #8
        subs    r9, r9, #1
        bne     1b
9:      ldmfd   sp!, {r0-r10, lr}
        bx      lr

@ 0x10: the units of the bytes at r0 widened into words at r1.  r2 points
@ at: halfword source length in bytes, byte source unit width (1, 2, 4, 8),
@ byte destination unit width (1, 2, 4, 8, 16, 32), word offset added to
@ every unit (bit 31: to zero units too).
bit_unpack:
        stmfd   sp!, {r0-r10}
        ldrh    r3, [r2]                @ bytes left
        ldrb    r4, [r2, #2]            @ source width
        ldrb    r5, [r2, #3]            @ destination width
        ldr     r6, [r2, #4]
        bic     r7, r6, #0x80000000     @ offset
        mov     r12, #1
        mov     r12, r12, lsl r4
        sub     r12, r12, #1            @ source unit mask
        mov     r9, #0                  @ word being built
        mov     r10, #0                 @ its bits filled
1:      subs    r3, r3, #1
        bmi     9f
        ldrb    r8, [r0], #1
        mov     r2, #0                  @ bit position in the byte
2:      and     r11, r12, r8, lsr r2
        cmp     r11, #0
        addne   r11, r11, r7
        bne     3f
        tst     r6, #0x80000000
        addne   r11, r11, r7
3:      orr     r9, r9, r11, lsl r10
        add     r10, r10, r5
        cmp     r10, #32
        strhs   r9, [r1], #4
        movhs   r9, #0
        movhs   r10, #0
        add     r2, r2, r4
        cmp     r2, #8
        blo     2b
        b       1b
9:      ldmfd   sp!, {r0-r10}
        bx      lr

@ Decompressors.  r0 = the source (a header word: type in bits 4-7, size
@ in bytes in bits 8-31), r1 = the destination.  The WRAM kinds store
@ bytes; the VRAM kinds store halfwords (VRAM takes no byte stores), the
@ byte of an unfinished halfword waiting in r9.  r7 = 0 for bytes, 1 for
@ halfwords; put_byte stores r8 at r1 and counts r2 down.

put_byte:
        cmp     r7, #0
        strbeq  r8, [r1], #1
        beq     1f
        tst     r1, #1
        andeq   r9, r8, #0xFF
        orrne   r9, r9, r8, lsl #8
        strhne  r9, [r1, #-1]
        add     r1, r1, #1
1:      sub     r2, r2, #1
        bx      lr

@ r8 = the byte r3 bytes behind r1 (already output).
get_back_byte:
        cmp     r7, #0
        beq     1f
        cmp     r3, #1
        bne     1f
        tst     r1, #1
        andne   r8, r9, #0xFF           @ the byte still waiting
        bxne    lr
1:      ldrb    r8, [r1, -r3]
        bx      lr

lz77_wram:
        stmfd   sp!, {r0-r10, lr}
        mov     r7, #0
        b       lz77
lz77_vram:
        stmfd   sp!, {r0-r10, lr}
        mov     r7, #1
lz77:
        ldr     r2, [r0], #4
        movs    r2, r2, lsr #8
        beq     9f
1:      ldrb    r10, [r0], #1           @ eight flags, the first in bit 7
        mov     r6, #8
2:      tst     r10, #0x80
        mov     r10, r10, lsl #1
        bne     3f
        ldrb    r8, [r0], #1
        bl      put_byte
        b       5f
3:      ldrb    r4, [r0], #1
        ldrb    r3, [r0], #1
        and     r5, r4, #0x0F
        orr     r3, r3, r5, lsl #8
        add     r3, r3, #1              @ distance back
        mov     r4, r4, lsr #4
        add     r4, r4, #3              @ length
4:      bl      get_back_byte
        bl      put_byte
        cmp     r2, #0
        ble     9f
        subs    r4, r4, #1
        bne     4b
5:      cmp     r2, #0
        ble     9f
        subs    r6, r6, #1
        bne     2b
        b       1b
9:      ldmfd   sp!, {r0-r10, lr}
        bx      lr

rl_wram:
        stmfd   sp!, {r0-r10, lr}
        mov     r7, #0
        b       rl
rl_vram:
        stmfd   sp!, {r0-r10, lr}
        mov     r7, #1
rl:
        ldr     r2, [r0], #4
        movs    r2, r2, lsr #8
        beq     9f
1:      ldrb    r4, [r0], #1
        tst     r4, #0x80
        and     r4, r4, #0x7F
        bne     3f
        add     r4, r4, #1              @ that many bytes as they are
2:      ldrb    r8, [r0], #1
        bl      put_byte
        cmp     r2, #0
        ble     9f
        subs    r4, r4, #1
        bne     2b
        b       1b
3:      add     r4, r4, #3              @ one byte that many times
        ldrb    r8, [r0], #1
4:      bl      put_byte
        cmp     r2, #0
        ble     9f
        subs    r4, r4, #1
        bne     4b
        b       1b
9:      ldmfd   sp!, {r0-r10, lr}
        bx      lr

@ Each unit is the sum of the ones before: bytes (0x16 to WRAM, 0x17 to
@ VRAM) or halfwords (0x18).
diff8_wram:
        stmfd   sp!, {r0-r10, lr}
        mov     r7, #0
        b       diff8
diff8_vram:
        stmfd   sp!, {r0-r10, lr}
        mov     r7, #1
diff8:
        ldr     r2, [r0], #4
        movs    r2, r2, lsr #8
        beq     9f
        mov     r4, #0
1:      ldrb    r8, [r0], #1
        add     r4, r4, r8
        and     r8, r4, #0xFF
        bl      put_byte
        cmp     r2, #0
        bgt     1b
9:      ldmfd   sp!, {r0-r10, lr}
        bx      lr

diff16:
        stmfd   sp!, {r0-r4}
        ldr     r2, [r0], #4
        mov     r2, r2, lsr #8
        mov     r4, #0
1:      cmp     r2, #1
        ble     9f
        ldrh    r3, [r0], #2
        add     r4, r4, r3
        strh    r4, [r1], #2
        sub     r2, r2, #2
        b       1b
9:      ldmfd   sp!, {r0-r4}
        bx      lr

@ 0x13: Huffman data.  After the header, a byte gives the tree's size (in
@ halfwords, less one) and the tree follows, its root first; then the
@ code bits in words, the first in bit 31.  A node's low 6 bits lead to its
@ two children; bit 7 marks the first, bit 6 the second as a leaf.  The
@ leaves' units (bits 0-3 of the header give their width) fill words at r1.
huff_uncomp:
        stmfd   sp!, {r0-r10, lr}
        ldr     r2, [r0]
        and     r3, r2, #0x0F           @ unit width
        mov     r2, r2, lsr #8          @ bytes to write
        add     r4, r0, #5              @ the root
        ldrb    r5, [r0, #4]
        add     r5, r5, #1
        add     r5, r0, r5, lsl #1
        add     r5, r5, #4              @ the first word of code bits
        mov     r6, r4                  @ the node reached
        mov     r7, #0                  @ word being built
        mov     r8, #0                  @ its bits filled
        cmp     r2, #0
        ble     9f
1:      ldr     r9, [r5], #4
        mov     r10, #32
2:      ldrb    r11, [r6]
        bic     r12, r6, #1
        and     r0, r11, #0x3F
        add     r12, r12, r0, lsl #1
        add     r12, r12, #2            @ the first child
        movs    r9, r9, lsl #1
        addcs   r12, r12, #1
        andcs   r11, r11, #0x40
        andcc   r11, r11, #0x80
        cmp     r11, #0
        moveq   r6, r12
        beq     3f
        ldrb    r0, [r12]
        orr     r7, r7, r0, lsl r8
        add     r8, r8, r3
        mov     r6, r4
        cmp     r8, #32
        blo     3f
        str     r7, [r1], #4
        mov     r7, #0
        mov     r8, #0
        subs    r2, r2, #4
        ble     9f
3:      subs    r10, r10, #1
        bne     2b
        b       1b
9:      ldmfd   sp!, {r0-r10, lr}
        bx      lr

@ 0x19: the sound bias to its middle (r0 not zero) or to 0.
sound_bias:
        mov     r12, #0x04000000
        ldrh    r11, [r12, #0x88]
        bic     r11, r11, #0x0300
        bic     r11, r11, #0x00FF
        cmp     r0, #0
        orrne   r11, r11, #0x200
        strh    r11, [r12, #0x88]
        bx      lr

        .ltorg

@ sin(2 pi i / 256) in 1.14 fixed point.
        .balign 2
sine:
        .hword  0, 402, 804, 1205, 1606, 2006, 2404, 2801
        .hword  3196, 3590, 3981, 4370, 4756, 5139, 5520, 5897
        .hword  6270, 6639, 7005, 7366, 7723, 8076, 8423, 8765
        .hword  9102, 9434, 9760, 10080, 10394, 10702, 11003, 11297
        .hword  11585, 11866, 12140, 12406, 12665, 12916, 13160, 13395
        .hword  13623, 13842, 14053, 14256, 14449, 14635, 14811, 14978
        .hword  15137, 15286, 15426, 15557, 15679, 15791, 15893, 15986
        .hword  16069, 16143, 16207, 16261, 16305, 16340, 16364, 16379
        .hword  16384, 16379, 16364, 16340, 16305, 16261, 16207, 16143
        .hword  16069, 15986, 15893, 15791, 15679, 15557, 15426, 15286
        .hword  15137, 14978, 14811, 14635, 14449, 14256, 14053, 13842
        .hword  13623, 13395, 13160, 12916, 12665, 12406, 12140, 11866
        .hword  11585, 11297, 11003, 10702, 10394, 10080, 9760, 9434
        .hword  9102, 8765, 8423, 8076, 7723, 7366, 7005, 6639
        .hword  6270, 5897, 5520, 5139, 4756, 4370, 3981, 3590
        .hword  3196, 2801, 2404, 2006, 1606, 1205, 804, 402
        .hword  0, -402, -804, -1205, -1606, -2006, -2404, -2801
        .hword  -3196, -3590, -3981, -4370, -4756, -5139, -5520, -5897
        .hword  -6270, -6639, -7005, -7366, -7723, -8076, -8423, -8765
        .hword  -9102, -9434, -9760, -10080, -10394, -10702, -11003, -11297
        .hword  -11585, -11866, -12140, -12406, -12665, -12916, -13160, -13395
        .hword  -13623, -13842, -14053, -14256, -14449, -14635, -14811, -14978
        .hword  -15137, -15286, -15426, -15557, -15679, -15791, -15893, -15986
        .hword  -16069, -16143, -16207, -16261, -16305, -16340, -16364, -16379
        .hword  -16384, -16379, -16364, -16340, -16305, -16261, -16207, -16143
        .hword  -16069, -15986, -15893, -15791, -15679, -15557, -15426, -15286
        .hword  -15137, -14978, -14811, -14635, -14449, -14256, -14053, -13842
        .hword  -13623, -13395, -13160, -12916, -12665, -12406, -12140, -11866
        .hword  -11585, -11297, -11003, -10702, -10394, -10080, -9760, -9434
        .hword  -9102, -8765, -8423, -8076, -7723, -7366, -7005, -6639
        .hword  -6270, -5897, -5520, -5139, -4756, -4370, -3981, -3590
        .hword  -3196, -2801, -2404, -2006, -1606, -1205, -804, -402

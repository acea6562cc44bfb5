@ The edges of the console's memory map, over and over: byte stores that
@ palette RAM widens, OAM drops and video RAM widens or drops by the display
@ mode; stores and loads in the gaps of the I/O region and at the memory
@ control register and its repeat; long multiplies with S over a set V flag.
@ It loops for ever, so any number of steps stays inside it.
        .syntax unified
        .text
        .arm
start:
        mov     r0, #0x05000000         @ palette
        mov     r1, #0x07000000         @ OAM
        mov     r2, #0x06000000         @ VRAM
        mov     r3, #0x04000000         @ I/O
        ldr     r4, =0x04FFF600         @ a gap at the region's top
        ldr     r5, =0x04010800         @ the memory control register, repeated
        mov     r6, #0x11
loop:
        add     r6, r6, #0x23
        strb    r6, [r0, #1]            @ palette: both bytes
        strb    r6, [r0, #6]
        strb    r6, [r1, #3]            @ OAM: dropped
        strb    r6, [r2, #5]            @ background VRAM: both bytes
        add     r7, r2, #0x10000
        strb    r6, [r7, #9]            @ sprite VRAM in mode 0: dropped
        add     r7, r7, #0x4000
        strb    r6, [r7, #2]            @ dropped in every mode
        @ Bitmap mode 3: the lower 80 KB widen byte stores.
        mov     r8, #3
        strh    r8, [r3]
        sub     r7, r7, #0x4000
        strb    r6, [r7, #9]            @ both bytes now
        mov     r8, #0
        strh    r8, [r3]
        @ The I/O gaps take nothing and read 0; the control register keeps all.
        str     r6, [r4]
        strh    r6, [r4, #0x82]
        strb    r6, [r3, #0x410]
        ldr     r9, [r4]
        ldrb    r10, [r3, #0x410]
        str     r6, [r5]
        strb    r6, [r5, #2]
        ldr     r11, [r3, #0x800]
        ldrh    r12, [r5, #2]
        @ Long multiplies with S keep V.
        msr     cpsr_f, #0x10000000
        umulls  r8, r9, r6, r6
        smlals  r10, r11, r6, r9
        umlals  r8, r12, r11, r6
        b       loop
        .pool

@ CPU-bound benchmark cartridge: mode 0 with BG0 on, scrolled one pixel
@ each frame, while the processor spends most of every frame in an ARM loop
@ and then a Thumb loop, all running from the cartridge.  The work is the
@ same every frame and starts at a V-blank (the set-up too, since machines
@ start at different lines), so two machines that run the same number of
@ frames end with the same results:
@   0x03007F00  frames counted (at the start of each V-blank after set-up)
@   0x03007F04  the line at which the last frame's work ended
@   0x02000000  checksum of the loops, stored after each frame's work
@ No BIOS, stack or interrupt is needed.
        .syntax unified
        .arm
        .text
        .equ    ARM_ROUNDS, 1000        @ the two loops: about 60% of a frame
        .equ    THUMB_ROUNDS, 2000
        b       start                   @ the cartridge header, blank but for
        .fill   0xB2 - 4, 1, 0          @ its fixed byte and complement check
        .byte   0x96
        .fill   0xBD - 0xB3, 1, 0
        .byte   0x51
        .fill   0xC0 - 0xBE, 1, 0
start:
        mov     r0, #0x04000000
        bl      vsync
        mov     r1, #0x80
        strh    r1, [r0]                @ forced blank while VRAM is filled
        ldr     r1, =0x1F00             @ BG0: characters at 0, map in block 31, 16 colours
        strh    r1, [r0, #8]

        mov     r2, #0x05000000         @ 16 palette banks of a colour ramp
        mov     r3, #256
        ldr     r4, =0x0421
        mov     r5, #0
1:      strh    r5, [r2], #2
        add     r5, r5, r4
        bic     r5, r5, #0x8000
        subs    r3, r3, #1
        bne     1b

        mov     r2, #0x06000000         @ 64 tiles of a pattern
        mov     r3, #64 * 32 / 4
        ldr     r4, =0x01234567
2:      str     r4, [r2], #4
        add     r4, r4, r4, ror #9
        subs    r3, r3, #1
        bne     2b

        ldr     r2, =0x0600F800         @ 32 x 32 map: tile n mod 64, bank n mod 16
        mov     r3, #0
3:      and     r4, r3, #63
        and     r5, r3, #0xF0
        orr     r4, r4, r5, lsl #8
        strh    r4, [r2], #2
        add     r3, r3, #1
        cmp     r3, #1024
        bne     3b

        mov     r1, #0x100              @ mode 0, BG0 only
        strh    r1, [r0]
        ldr     r10, =0x03007F00
        mov     r11, #0x02000000
        mov     r7, #0x03000000         @ scratch word for the loops
        mov     r8, #0                  @ checksum
        mov     r9, #0                  @ frames
        str     r9, [r10]
        bl      vsync

frame:
        ldr     r3, =ARM_ROUNDS
4:      add     r8, r8, r3
        eor     r4, r8, r3, lsl #3
        str     r4, [r7, #4]
        ldr     r5, [r7, #4]
        add     r6, r5, r3, ror #5
        and     r6, r6, #0xFF
        add     r8, r8, r6
        tst     r3, #0x10
        orrne   r8, r8, #1
        subs    r3, r3, #1
        bne     4b

        adr     r4, thumbloop + 1
        mov     lr, pc
        bx      r4
        str     r8, [r11]
        ldrh    r1, [r0, #6]
        str     r1, [r10, #4]
        bl      vsync
        add     r9, r9, #1
        str     r9, [r10]
        strh    r9, [r0, #0x10]         @ BG0HOFS
        mov     r1, r9, lsr #1
        strh    r1, [r0, #0x12]         @ BG0VOFS
        b       frame

@ Returns at the start of the next V-blank (line 160).  R0 = 0x04000000.
vsync:
5:      ldrh    r1, [r0, #6]
        cmp     r1, #160
        bhs     5b
6:      ldrh    r1, [r0, #6]
        cmp     r1, #160
        blo     6b
        bx      lr
        .pool

        .thumb
        .align  2
thumbloop:
        ldr     r3, =THUMB_ROUNDS
        mov     r5, r8
7:      adds    r5, r5, r3
        lsls    r6, r5, #3
        eors    r6, r5
        str     r6, [r7, #8]
        ldr     r4, [r7, #8]
        lsrs    r4, r4, #7
        adds    r5, r5, r4
        subs    r3, r3, #1
        bne     7b
        mov     r8, r5
        bx      lr
        .align  2
        .pool

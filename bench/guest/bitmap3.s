@ Static picture benchmark cartridge: a mode 3 bitmap (diagonal colour
@ bands) drawn once, then little but waiting for each V-blank.  Each frame
@ it reads one line of the picture back into a checksum, so the result
@ covers the whole picture every 160 frames.  Drawing starts at a V-blank
@ and takes less than a frame (machines start at different lines), so two
@ machines that run the same number of frames end with the same results:
@   0x03007F00  frames counted (at the start of each V-blank after drawing)
@   0x02000000  checksum of the lines read back
@ No BIOS, stack or interrupt is needed.
        .syntax unified
        .arm
        .text
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
        strh    r1, [r0]                @ forced blank while it draws

        mov     r2, #0x03000000         @ one band of 560 pixels in IWRAM
        mov     r3, #0
1:      mov     r5, r3, lsr #3          @ red: i / 8
        and     r6, r3, #0x1F
        orr     r5, r5, r6, lsl #5      @ green: i mod 32
        eor     r6, r3, r3, lsr #4
        and     r6, r6, #0x1F
        orr     r5, r5, r6, lsl #10     @ blue
        bic     r5, r5, #0x8000
        strh    r5, [r2], #2
        add     r3, r3, #1
        cmp     r3, #560
        bne     1b

        add     r12, r0, #0xD4          @ DMA 3: line y = the band from pixel 2y
        mov     r2, #0x03000000
        mov     r3, #0x06000000
        ldr     r4, =0x84000078         @ on, 32-bit, 120 words, now
        mov     r5, #160
2:      str     r2, [r12]
        str     r3, [r12, #4]
        str     r4, [r12, #8]
        add     r2, r2, #4
        add     r3, r3, #480
        subs    r5, r5, #1
        bne     2b

        ldr     r1, =0x0403             @ mode 3, BG2
        strh    r1, [r0]
        mov     r11, #0x02000000
        mov     r8, #0                  @ checksum
        str     r8, [r11]
        ldr     r10, =0x03007F00
        mov     r9, #0                  @ frames
        str     r9, [r10]
        mov     r7, #0x06000000         @ the next line to read back
        ldr     r6, =0x06000000 + 160 * 480
        bl      vsync
frame:
        add     r9, r9, #1
        str     r9, [r10]
        mov     r3, #120
3:      ldr     r1, [r7], #4
        add     r8, r8, r1
        eor     r8, r8, r8, lsr #7
        subs    r3, r3, #1
        bne     3b
        str     r8, [r11]
        cmp     r7, r6
        moveq   r7, #0x06000000
        bl      vsync
        b       frame

@ Returns at the start of the next V-blank (line 160).  R0 = 0x04000000.
vsync:
4:      ldrh    r1, [r0, #6]
        cmp     r1, #160
        bhs     4b
5:      ldrh    r1, [r0, #6]
        cmp     r1, #160
        blo     5b
        bx      lr
        .pool

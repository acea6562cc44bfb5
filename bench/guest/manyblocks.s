@ Wide code benchmark cartridge: each frame the processor runs four times
@ through 1,024 small blocks of ARM code, one after another (about half a
@ frame), as a game's frame runs through much of its code once, then waits
@ for the next V-blank.  The display is off (forced blank).  The work is the
@ same every frame and starts at a V-blank, so two machines that run the same
@ number of frames end with the same results:
@   0x03007F00  frames counted (at the start of each V-blank after set-up)
@   0x02000000  checksum of the blocks' sums, stored after each frame's work
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
        mov     r1, #0x80
        strh    r1, [r0]
        mov     r10, #0x03000000
        add     r10, r10, #0x7F00
        mov     r11, #0x02000000
        mov     r8, #0                  @ checksum
        mov     r9, #0                  @ frames
        str     r9, [r10]
        bl      vsync
frame:
        mov     r3, #4
round:
        .rept   1024
        add     r8, r8, r3
        eor     r4, r8, r8, lsl #3
        add     r8, r8, r4, lsr #5
        b       1f
1:
        .endr
        subs    r3, r3, #1
        bne     round
        str     r8, [r11]
        bl      vsync
        add     r9, r9, #1
        str     r9, [r10]
        b       frame

@ Returns at the start of the next V-blank (line 160).  R0 = 0x04000000.
vsync:
2:      ldrh    r1, [r0, #6]
        cmp     r1, #160
        bhs     2b
3:      ldrh    r1, [r0, #6]
        cmp     r1, #160
        blo     3b
        bx      lr

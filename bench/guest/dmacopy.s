@ DMA benchmark cartridge: mode 0 with BG0 on, and every frame two
@ immediate DMA 3 copies from work RAM, as a game streams its tiles and
@ sprites: 16 KB of 32-bit units into video RAM (the tiles BG0 shows) and
@ 1 KB of 16-bit units into OAM (sprites off), then a wait for the next
@ V-blank.  The source moves on a word each frame.  Set-up starts at a
@ V-blank, so two machines that run the same number of frames end with the
@ same results:
@   0x03007F00  frames counted (at the start of each V-blank after set-up)
@   0x02000000  checksum of a word read back from video RAM each frame
@ No BIOS, stack or interrupt is needed.
        .syntax unified
        .arm
        .text
        .equ    SOURCE, 0x02001000      @ 32 KB of a pattern
        b       start                   @ the cartridge header, blank but for
        .fill   0xB2 - 4, 1, 0          @ its fixed byte and complement check
        .byte   0x96
        .fill   0xBD - 0xB3, 1, 0
        .byte   0x51
        .fill   0xC0 - 0xBE, 1, 0
start:
        mov     r0, #0x04000000
        bl      vsync
        mov     r1, #0x100              @ mode 0, BG0 only: characters at 0,
        strh    r1, [r0]                @ map in block 0
        ldr     r2, =SOURCE
        ldr     r3, =0x2000
        ldr     r4, =0x01234567
1:      str     r4, [r2], #4
        add     r4, r4, r4, ror #9
        subs    r3, r3, #1
        bne     1b
        ldr     r10, =0x03007F00
        mov     r11, #0x02000000
        mov     r8, #0                  @ checksum
        str     r8, [r11]
        mov     r9, #0                  @ frames
        str     r9, [r10]
        add     r12, r0, #0xD4          @ DMA 3
        bl      vsync
frame:
        add     r9, r9, #1
        str     r9, [r10]
        ldr     r2, =SOURCE
        and     r1, r9, #0xFF
        add     r2, r2, r1, lsl #2
        mov     r3, #0x06000000
        ldr     r4, =0x84001000         @ on, now, 32-bit, 4096 units
        str     r2, [r12]
        str     r3, [r12, #4]
        str     r4, [r12, #8]
        mov     r3, #0x07000000
        ldr     r4, =0x80000200         @ on, now, 16-bit, 512 units
        str     r2, [r12]
        str     r3, [r12, #4]
        str     r4, [r12, #8]
        mov     r3, #0x06000000
        ldr     r1, [r3, r9, lsl #2]
        add     r8, r8, r1
        eor     r8, r8, r8, lsr #7
        str     r8, [r11]
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

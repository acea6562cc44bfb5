@ A cartridge that waits for each frame as games do: its interrupt handler
@ takes the V-blank and the main loop sleeps in the BIOS's VBlankIntrWait,
@ then scrolls a mode 0 background and does a little work.  Needs the BIOS
@ (an image, or the emulator's stand-in for one).  The two emulators start
@ at different lines of the frame, so their counts may differ by one.
@   0x03007F00  frames counted after each wait
@   0x02000000  a checksum of the work
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
        strh    r1, [r0]                @ forced blank while it sets up
        mov     r2, #0x05000000         @ palette: four colours
        ldr     r1, =0x7C1F03E0
        str     r1, [r2]
        ldr     r1, =0x001F7FFF
        str     r1, [r2, #4]
        mov     r2, #0x06000000         @ tiles 0-3: one colour each
        mov     r3, #0
1:      mov     r1, r3, lsr #5          @ tile number = colour
        orr     r1, r1, r1, lsl #4
        orr     r1, r1, r1, lsl #8
        orr     r1, r1, r1, lsl #16
        str     r1, [r2, r3, lsl #2]
        add     r3, r3, #1
        cmp     r3, #128
        bne     1b
        add     r2, r2, #0xF800         @ map at screen block 31
        mov     r3, #0
2:      eor     r1, r3, r3, lsr #5
        and     r1, r1, #3
        mov     r4, r3, lsl #1
        strh    r1, [r2, r4]
        add     r3, r3, #1
        cmp     r3, #1024
        bne     2b
        ldr     r1, =0x1F00
        strh    r1, [r0, #8]            @ BG0: screen block 31, 4 bits
4:      ldrh    r1, [r0, #6]            @ from a V-blank on, wherever the
        cmp     r1, #160                @ machine started
        bne     4b
        ldr     r1, =0x03007FFC
        adr     r2, handler
        str     r2, [r1]
        mov     r1, #8
        strh    r1, [r0, #4]            @ DISPSTAT: V-blank interrupt
        add     r3, r0, #0x200
        mov     r1, #1
        strh    r1, [r3]                @ IE: V-blank
        strh    r1, [r3, #8]            @ IME
        mov     r1, #0x100
        strh    r1, [r0]                @ mode 0, BG0
        ldr     r6, =0x03007F00
        mov     r7, #0x02000000
        mov     r5, r0                  @ the BIOS call may change r0-r3
frame:
        swi     0x050000                @ VBlankIntrWait
        ldr     r1, [r6]
        add     r1, r1, #1
        str     r1, [r6]
        strh    r1, [r5, #0x10]         @ BG0HOFS
        ldr     r2, [r7]
        mov     r3, #200                @ a little work each frame
3:      add     r2, r2, r3
        eor     r2, r2, r2, lsl #3
        subs    r3, r3, #1
        bne     3b
        str     r2, [r7]
        b       frame

handler:
        mov     r0, #0x04000000
        add     r0, r0, #0x200
        ldrh    r1, [r0, #2]
        strh    r1, [r0, #2]            @ acknowledge
        ldr     r2, =0x03007FF8
        ldrh    r3, [r2]
        orr     r3, r3, r1
        strh    r3, [r2]                @ for IntrWait
        bx      lr

@ ARM/Thumb interworking benchmark cartridge: ARM code calls Thumb routines
@ and a Thumb routine calls an ARM routine, BX both ways, 500 rounds a
@ frame.  The routines of the two states sit next to each other in the
@ cartridge: each ends where the code of the other state begins, so code
@ read on past a routine's last instruction is code of the other state.
@ The work is the same every frame and starts at a V-blank (machines start
@ at different lines), so two machines that run the same number of frames
@ end with the same results:
@   0x03007F00  frames counted (at the start of each V-blank after the first)
@   0x03007F04  the line at which the last frame's work ended
@   0x02000000  checksum of the rounds, stored after each frame's work
@ No BIOS, stack or interrupt is needed.
        .syntax unified
        .arm
        .text
        .equ    ROUNDS, 500
        b       start                   @ the cartridge header, blank but for
        .fill   0xB2 - 4, 1, 0          @ its fixed byte and complement check
        .byte   0x96
        .fill   0xBD - 0xB3, 1, 0
        .byte   0x51
        .fill   0xC0 - 0xBE, 1, 0
start:
        mov     r0, #0x04000000
        mov     r1, #0
        strh    r1, [r0]                @ mode 0, backdrop only
        ldr     r10, =0x03007F00
        mov     r11, #0x02000000
        mov     r7, #0x03000000         @ scratch words for the routines
        mov     r5, #0                  @ checksum
        mov     r9, #0                  @ frames
        str     r9, [r10]
        bl      vsync
frame:
        ldr     r6, =ROUNDS
1:      ldr     r4, =thumb_a + 1
        mov     lr, pc
        bx      r4
        add     r5, r5, r6, lsl #2
        ldr     r4, =thumb_c + 1
        mov     lr, pc
        bx      r4
        subs    r6, r6, #1
        bne     1b
        str     r5, [r11]
        ldrh    r1, [r0, #6]
        str     r1, [r10, #4]
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

        .thumb
thumb_a:
        mov     r12, lr
        adds    r5, r5, r6
        lsls    r3, r5, #2
        eors    r5, r3
        str     r5, [r7]
        ldr     r4, =arm_b
        bl      via_r4
        ldr     r3, [r7]
        adds    r5, r5, r3
        bx      r12
via_r4:
        bx      r4

        .align  2
        .arm
arm_b:
        add     r5, r5, r5, lsr #3
        eor     r5, r5, r6, lsl #7
        str     r5, [r7, #4]
        bx      lr

        .thumb
thumb_c:
        subs    r5, r5, r6
        ldr     r3, [r7, #4]
        lsrs    r3, r3, #5
        eors    r5, r3
        bx      lr

        .align  2
        .pool

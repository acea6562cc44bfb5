@ Sprite-heavy mode 0 benchmark cartridge: four text backgrounds over
@ patterned VRAM, alpha blending, and 128 32x32 sprites that move one pixel
@ to the right every frame.
        .syntax unified
        .arm
        .text
start:
        mov     r0, #0x04000000
        ldr     r1, =0x1F40             @ mode 0, BG0-3 and sprites, 1-D mapping
        strh    r1, [r0]
        ldr     r1, =0x0800             @ BG0: map block 8, priority 0
        strh    r1, [r0, #8]
        ldr     r1, =0x0985             @ BG1: map 9, characters 16 KB, 256 colours, priority 1
        strh    r1, [r0, #10]
        ldr     r1, =0x0A0A             @ BG2: map 10, characters 32 KB, priority 2
        strh    r1, [r0, #12]
        ldr     r1, =0x0B0F             @ BG3: map 11, characters 48 KB, priority 3
        strh    r1, [r0, #14]
        ldr     r1, =0x3F41             @ alpha blending, every layer a target
        strh    r1, [r0, #0x50]
        ldr     r1, =0x0808
        strh    r1, [r0, #0x52]

        mov     r2, #0x06000000         @ VRAM, 96 KB of a pattern
        ldr     r3, =0x18000 / 4
        ldr     r4, =0x12345678
1:      str     r4, [r2], #4
        add     r4, r4, r4, ror #7
        subs    r3, r3, #1
        bne     1b
        mov     r2, #0x05000000         @ both palettes
        mov     r3, #0x400 / 4
2:      str     r4, [r2], #4
        add     r4, r4, r4, ror #11
        subs    r3, r3, #1
        bne     2b

        mov     r2, #0x07000000         @ 128 sprites
        mov     r3, #0
3:      add     r4, r3, r3, lsl #3      @ y = 9n mod 128
        and     r4, r4, #0x7F
        strh    r4, [r2]
        mov     r5, r3, lsl #1          @ x = 2n, 32x32
        orr     r5, r5, #0x8000
        strh    r5, [r2, #2]
        mov     r6, r3, lsl #4          @ tile 16n, priority n mod 4, bank n mod 16
        ldr     r7, =0x3FF
        and     r6, r6, r7
        and     r7, r3, #3
        orr     r6, r6, r7, lsl #10
        and     r7, r3, #15
        orr     r6, r6, r7, lsl #12
        strh    r6, [r2, #4]
        add     r2, r2, #8
        add     r3, r3, #1
        cmp     r3, #128
        bne     3b

frame:
4:      ldrh    r1, [r0, #6]            @ wait for line 160
        cmp     r1, #160
        bne     4b
        mov     r2, #0x07000000
        mov     r3, #128
5:      ldrh    r1, [r2, #2]
        add     r1, r1, #1
        bic     r1, r1, #0x3E00         @ x wraps at 512, the size stays
        strh    r1, [r2, #2]
        add     r2, r2, #8
        subs    r3, r3, #1
        bne     5b
6:      ldrh    r1, [r0, #6]            @ and for it to pass
        cmp     r1, #160
        beq     6b
        b       frame
        .pool

@ Code written into RAM after it ran runs as written: a routine copied into
@ IWRAM, called, overwritten by a store and by DMA, called again; a store
@ into the two instructions the processor has already fetched takes effect
@ only after them, one further on at once.  Results (R4 of each call) in
@ IWRAM at 0x03000000 + 4n:
@   +0 1  copied, called            +4  2  overwritten by stores
@   +8 3  overwritten by DMA         +12 4  store into the fetched instruction
@   +16 9 the same, called again     +20 7  store three instructions ahead
@   +24 0xDEADBEEF at the end
        .syntax unified
        .text
        .arm
start:
        ldr     r11, =0x03000000        @ results
        ldr     r10, =0x03000100        @ the routine's place
        adr     r1, one
        bl      install
        bl      callit
        str     r4, [r11, #0]
        adr     r0, two                 @ overwritten word by word
        ldmia   r0, {r2, r3}
        stmia   r10, {r2, r3}
        bl      callit
        str     r4, [r11, #4]
        ldr     r0, =0x040000D4         @ DMA 3: three... two words from ROM
        adr     r1, three
        str     r1, [r0]
        str     r10, [r0, #4]
        ldr     r1, =0x84000002         @ enable, words, immediate, count 2
        str     r1, [r0, #8]
        nop
        bl      callit
        str     r4, [r11, #8]
        adr     r1, fetched
        bl      install3
        ldr     r5, =0xE3A04009         @ mov r4, #9
        add     r6, r10, #4
        bl      callit
        str     r4, [r11, #12]
        bl      callit
        str     r4, [r11, #16]
        adr     r1, ahead
        bl      install5
        ldr     r5, =0xE3A04007         @ mov r4, #7
        add     r6, r10, #12
        bl      callit
        str     r4, [r11, #20]
        ldr     r0, =0xDEADBEEF
        str     r0, [r11, #24]
done:   b       done

callit:                                 @ calls the routine at r10
        mov     r9, lr
        mov     lr, pc
        bx      r10
        bx      r9
install:                                @ two words from r1 to r10
        ldmia   r1, {r2, r3}
        stmia   r10, {r2, r3}
        bx      lr
install3:
        ldmia   r1, {r2, r3, r7}
        stmia   r10, {r2, r3, r7}
        bx      lr
install5:
        ldmia   r1, {r2, r3, r7, r8, r12}
        stmia   r10, {r2, r3, r7, r8, r12}
        bx      lr

one:    mov     r4, #1
        bx      lr
two:    mov     r4, #2
        bx      lr
three:  mov     r4, #3
        bx      lr
fetched:
        str     r5, [r6]                @ r6: the next instruction
        mov     r4, #4
        bx      lr
ahead:
        str     r5, [r6]                @ r6: three instructions on
        mov     r1, r1
        mov     r1, r1
        mov     r4, #6
        bx      lr
        .pool

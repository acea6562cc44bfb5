@ Three guest loops for the processor benchmark; each counts its
@ iterations in R0.  Entry points: 0x08000000 ALU, +4 load/store, +8 branchy.
        .arm
        .global _start
_start:
        b       alu
        b       loadstore
        b       branchy

@ Six instructions per iteration.
alu:
        mov     r0, #0
1:      add     r1, r1, r2
        eor     r3, r3, r1
        orr     r4, r4, r3, lsl #1
        sub     r5, r5, r4
        add     r0, r0, #1
        b       1b

@ Six instructions per iteration, three of them memory accesses (IWRAM).
loadstore:
        mov     r6, #0x03000000
        mov     r0, #0
2:      ldr     r1, [r6]
        add     r1, r1, #1
        str     r1, [r6, #4]
        ldr     r2, [r6, #4]
        add     r0, r0, #1
        b       2b

@ Five instructions on even iterations, six on odd ones.
branchy:
        mov     r0, #0
3:      tst     r0, #1
        beq     4f
        add     r1, r1, #1
        b       5f
4:      sub     r1, r1, #1
5:      add     r0, r0, #1
        b       3b

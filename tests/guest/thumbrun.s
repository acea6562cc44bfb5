@ Thumb code whose results a test reads back: the load-address, SP
@ adjustment, high-register and multiple-transfer cases, BX both ways and a
@ BL pair, each leaving its result in a register or at 0x03000000.
        .syntax unified
        .text
        .arm
        adr     r0, thumb + 1
        bx      r0
        .thumb
        .balign 4
thumb:
        .hword  0x46C0                  @ padding: "here" must lie at 2 mod 4
        ldr     r0, =0x03007F00
        mov     sp, r0
        .balign 4
        .hword  0x46C0
here:   add     r0, pc, #8              @ at an address = 2 mod 4
        add     sp, #-0x1FC
        mov     r1, sp
        movs    r2, #5
        mov     r9, r2
        mov     r8, r9
        cmp     r8, r9                  @ Z set
        .hword  0x4611                  @ mov r1, r2 as a high-register instruction
        ldr     r3, =0x03000000
        movs    r4, #1
        movs    r5, #2
        movs    r6, #3
        movs    r7, #4
        mov     r12, r3
        movs    r0, r3
        stmia   r0!, {r0-r7}
        mov     r3, r12
        adr     r4, arm_side
        bx      r4
        .balign 4
        .arm
arm_side:
        adr     r4, thumb2 + 1
        bx      r4
        .thumb
thumb2:
        bl      far
        .hword  0xDEFE                  @ never reached: far returns past it
        .pool
        .space  0x400000 - (. - thumb2) - 0
        .thumb_func
far:
        mov     r10, lr
        b       .

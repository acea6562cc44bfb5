@ Prints two lines through the debug service (code 1: the 8-bit string at
@ R1, after MOV R0, R0), then stops the run (code 0).
        .text
        .arm
        mov     r0, #1
        adr     r1, first
        mov     r0, r0
        mov     r0, #1
        adr     r1, second
        mov     r0, r0
        mov     r0, #0
        mov     r0, r0
stay:   b       stay
first:  .asciz  "Hello from the guest"
second: .asciz  "and a second line"
        .balign 4

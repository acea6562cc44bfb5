@ A few instructions for the disassembler's entry point, which reads them
@ from the cartridge through the memory map.
    .arm
    .text
arm_code:                       @ 0x08000000
    mov r1, #0x1f
    stmdb sp!, {r4, lr}
    b arm_code
    .thumb
thumb_code:                     @ 0x0800000C
    bx lr
    bl thumb_code
    add sp, #-8

@ System mode has User's registers.  The program starts as the console's
@ BIOS leaves a cartridge (System mode), goes into IRQ mode as an interrupt
@ does, and from there back into System mode to run on the program's own
@ stack, as interrupt dispatchers do.  It also reads and writes SPSR and
@ returns "from an exception" where there is no SPSR.  Results go to IWRAM
@ from 0x03000000 on; the program ends in the idle loop at 0x08000100.
        .syntax unified
        .text
        .arm
start:
        mov     r0, #0x03000000
        str     sp, [r0, #0x00]         @ System's SP at the start: 0x03007F00
        mov     r8, #0x88
        mov     lr, #0x14
        @ Into IRQ mode: its own SP and LR.
        msr     cpsr_c, #0x92
        str     sp, [r0, #0x04]         @ 0x03007FA0
        str     lr, [r0, #0x08]         @ 0: not System's
        mov     lr, #0x24
        ldr     r1, =0x6000001F
        msr     spsr_fsxc, r1
        @ The dispatcher: into System mode, onto the program's stack.
        msr     cpsr_c, #0x9F
        stmfd   sp!, {r8, lr}           @ 0x88 and 0x14 below 0x03007F00
        str     sp, [r0, #0x0C]         @ 0x03007EF8
        msr     cpsr_c, #0x92
        str     sp, [r0, #0x10]         @ IRQ's SP untouched: 0x03007FA0
        str     lr, [r0, #0x14]         @ 0x24
        mrs     r2, spsr
        str     r2, [r0, #0x18]         @ 0x6000001F
        @ Back in System mode there is no SPSR: it reads CPSR, takes no writes.
        msr     cpsr_c, #0x1F
        mrs     r3, spsr
        str     r3, [r0, #0x1C]         @ CPSR
        mov     r4, #0xD3
        msr     spsr_fsxc, r4
        mrs     r5, cpsr
        str     r5, [r0, #0x20]         @ still System mode
        @ An exception return without an SPSR leaves CPSR as it is.
        adr     lr, returned
        movs    pc, lr
returned:
        mrs     r6, cpsr
        str     r6, [r0, #0x24]         @ still System mode
        ldmfd   sp!, {r9, r10}
        str     r9, [r0, #0x28]         @ 0x88
        str     r10, [r0, #0x2C]        @ 0x14
        @ User mode: the same registers again.
        msr     cpsr_c, #0x10
        str     sp, [r0, #0x30]         @ 0x03007F00
        str     lr, [r0, #0x34]         @ the address of returned
        str     r8, [r0, #0x38]         @ 0x88
        b       idle
        .pool

        .org    0x100
idle:
        b       idle

@ The built-in I/O traps driven by guest code: an IF acknowledge, a timer
@ start, and the cartridge EEPROM written and read back through DMA 3, as
@ games do it.  The test prepares the request bit streams in EWRAM:
@   0x02000000  73 halfwords: write request for block 5 with its data
@   0x02000200   9 halfwords: read request for block 5
@ and finds the 68 reply halfwords at 0x03000000.
        .syntax unified
        .text
        .arm
        mov     r12, #0x04000000
        @ IF acknowledge: write 1 to IF.
        add     r0, r12, #0x200
        mov     r1, #1
        strh    r1, [r0, #2]
ack_done:
        @ Timer 0 on, prescaler 0.
        add     r0, r12, #0x100
        mov     r1, #0x80
        strh    r1, [r0, #2]
timer_done:
        @ DMA 3: the write request, 73 halfwords.
        add     r0, r12, #0xD4
        mov     r1, #0x02000000
        str     r1, [r0]
        mov     r2, #0x0D000000
        str     r2, [r0, #4]
        ldr     r3, =0x80000049
        str     r3, [r0, #8]
        @ The read request, 9 halfwords.
        add     r1, r1, #0x200
        str     r1, [r0]
        str     r2, [r0, #4]
        ldr     r3, =0x80000009
        str     r3, [r0, #8]
        @ The reply, 68 halfwords from the port's start.
        str     r2, [r0]
        mov     r1, #0x03000000
        str     r1, [r0, #4]
        ldr     r3, =0x80000044
        str     r3, [r0, #8]
done:
        b       .
        .pool

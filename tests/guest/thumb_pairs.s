@ Thumb instructions side by side with the ARM instruction each one must
@ become: every entry is 8 bytes, a Thumb halfword, a zero halfword and the
@ ARM word.  The test reads the image and checks the re-encoding pair by pair.
        .syntax divided
        .macro pair thumb, arm
        .balign 4
        .thumb
        \thumb
        .hword 0
        .arm
        \arm
        .endm

        .text
@ format 1
        pair "lsl r1, r2, #3",  "movs r1, r2, lsl #3"
        pair "lsl r7, r0, #0",  "movs r7, r0"
        pair "lsr r1, r2, #31", "movs r1, r2, lsr #31"
        pair "lsr r1, r2, #32", "movs r1, r2, lsr #32"
        pair "asr r3, r4, #32", "movs r3, r4, asr #32"
        pair "asr r3, r4, #1",  "movs r3, r4, asr #1"
@ format 2
        pair "add r1, r2, r3",  "adds r1, r2, r3"
        pair "sub r7, r6, r5",  "subs r7, r6, r5"
        pair "add r1, r2, #7",  "adds r1, r2, #7"
        pair "sub r0, r0, #1",  "subs r0, r0, #1"
@ format 3
        pair "mov r5, #200",    "movs r5, #200"
        pair "cmp r6, #0xFF",   "cmp r6, #0xFF"
        pair "add r7, #1",      "adds r7, r7, #1"
        pair "sub r0, #128",    "subs r0, r0, #128"
@ format 4
        pair "and r1, r2",      "ands r1, r1, r2"
        pair "eor r1, r2",      "eors r1, r1, r2"
        pair "lsl r3, r4",      "movs r3, r3, lsl r4"
        pair "lsr r3, r4",      "movs r3, r3, lsr r4"
        pair "asr r3, r4",      "movs r3, r3, asr r4"
        pair "adc r5, r6",      "adcs r5, r5, r6"
        pair "sbc r5, r6",      "sbcs r5, r5, r6"
        pair "ror r7, r0",      "movs r7, r7, ror r0"
        pair "tst r1, r2",      "tst r1, r2"
        pair "neg r1, r2",      "rsbs r1, r2, #0"
        pair "cmp r3, r4",      "cmp r3, r4"
        pair "cmn r3, r4",      "cmn r3, r4"
        pair "orr r5, r6",      "orrs r5, r5, r6"
        pair "mul r1, r2",      "muls r1, r2, r1"
        pair "bic r7, r0",      "bics r7, r7, r0"
        pair "mvn r7, r0",      "mvns r7, r0"
@ format 5
        pair "add r8, r9",      "add r8, r8, r9"
        pair "add r0, r12",     "add r0, r0, r12"
        pair "add r12, r1",     "add r12, r12, r1"
        pair "cmp r8, r9",      "cmp r8, r9"
        pair "mov r8, r9",      "mov r8, r9"
        pair "mov r14, r15",    "mov r14, r15"
        pair "bx r0",           "bx r0"
        pair "bx r14",          "bx r14"
        pair ".hword 0x4600",   "mov r0, r0"
@ format 6
        pair "ldr r1, [pc, #8]",   "ldr r1, [pc, #8]"
        pair "ldr r7, [pc, #1020]", "ldr r7, [pc, #1020]"
@ format 7
        pair "str r1, [r2, r3]",   "str r1, [r2, r3]"
        pair "strb r1, [r2, r3]",  "strb r1, [r2, r3]"
        pair "ldr r1, [r2, r3]",   "ldr r1, [r2, r3]"
        pair "ldrb r1, [r2, r3]",  "ldrb r1, [r2, r3]"
@ format 8
        pair "strh r1, [r2, r3]",  "strh r1, [r2, r3]"
        pair "ldsb r1, [r2, r3]",  "ldrsb r1, [r2, r3]"
        pair "ldrh r1, [r2, r3]",  "ldrh r1, [r2, r3]"
        pair "ldsh r1, [r2, r3]",  "ldrsh r1, [r2, r3]"
@ format 9
        pair "str r1, [r2, #124]", "str r1, [r2, #124]"
        pair "ldr r1, [r2, #4]",   "ldr r1, [r2, #4]"
        pair "strb r1, [r2, #31]", "strb r1, [r2, #31]"
        pair "ldrb r1, [r2, #0]",  "ldrb r1, [r2, #0]"
@ format 10
        pair "strh r1, [r2, #62]", "strh r1, [r2, #62]"
        pair "ldrh r1, [r2, #6]",  "ldrh r1, [r2, #6]"
@ format 11
        pair "str r3, [sp, #1020]", "str r3, [sp, #1020]"
        pair "ldr r3, [sp, #4]",    "ldr r3, [sp, #4]"
@ format 14
        pair "push {r0, r4}",      "stmdb sp!, {r0, r4}"
        pair "push {r1-r7, lr}",   "stmdb sp!, {r1-r7, lr}"
        pair "pop {r2}",           "ldmia sp!, {r2}"
        pair "pop {r0-r3, pc}",    "ldmia sp!, {r0-r3, pc}"
@ format 15
        pair "stmia r0!, {r0-r7}", "stmia r0!, {r0-r7}"
        pair "ldmia r3!, {r1, r2}", "ldmia r3!, {r1, r2}"
@ format 17
        pair "swi 0x12",           "swi 0x12"
        pair "swi 255",            "swi 255"

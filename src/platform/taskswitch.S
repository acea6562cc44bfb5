/* Cooperative task switch for x86-64, System V ABI.  Offsets follow
   platform::TaskContext in taskswitch.h. */

        .text

/* int saveContext(TaskContext* rdi) */
        .globl  saveContext
        .type   saveContext, @function
saveContext:
        .cfi_startproc
        movq    (%rsp), %rax            /* our return address is the resume point */
        movq    %rax, 0(%rdi)
        movq    %rbx, 8(%rdi)
        movq    %rbp, 16(%rdi)
        movq    %r12, 24(%rdi)
        movq    %r13, 32(%rdi)
        movq    %r14, 40(%rdi)
        movq    %r15, 48(%rdi)
        leaq    8(%rsp), %rax           /* the caller's stack pointer after return */
        movq    %rax, 56(%rdi)
        stmxcsr 64(%rdi)
        fnstcw  68(%rdi)
        xorl    %eax, %eax
        ret
        .cfi_endproc
        .size   saveContext, .-saveContext

/* void jumpToContext(const TaskContext* rdi, int esi) */
        .globl  jumpToContext
        .type   jumpToContext, @function
jumpToContext:
        .cfi_startproc
        movq    8(%rdi), %rbx
        movq    16(%rdi), %rbp
        movq    24(%rdi), %r12
        movq    32(%rdi), %r13
        movq    40(%rdi), %r14
        movq    48(%rdi), %r15
        ldmxcsr 64(%rdi)
        fnclex
        fldcw   68(%rdi)
        movq    56(%rdi), %rsp
        movl    %esi, %eax
        testl   %eax, %eax
        jnz     1f
        movl    $1, %eax
1:      jmpq    *0(%rdi)
        .cfi_endproc
        .size   jumpToContext, .-jumpToContext

/* First code of a fresh context: r12 holds the argument, r13 the start
   function; the stack pointer is 16-byte aligned here. */
        .globl  vandrelTaskTrampoline
        .type   vandrelTaskTrampoline, @function
vandrelTaskTrampoline:
        .cfi_startproc
        .cfi_undefined rip
        xorl    %ebp, %ebp
        movq    %r12, %rdi
        callq   *%r13
        ud2                             /* start functions never return */
        .cfi_endproc
        .size   vandrelTaskTrampoline, .-vandrelTaskTrampoline

        .section .note.GNU-stack,"",@progbits

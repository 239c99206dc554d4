// The stubs of the lazily bound sound-library functions (LazyLibraries.h), for x86-64.
//
// Each stub jumps through the first word of its entry { address, name, library }; while that
// is still zero it hands the entry to TmLazyBindCommon, which keeps every argument register
// (the integer ones, %rax for variadic calls, %xmm0-7), has TmLazyBind fill the address in,
// and jumps there as if the caller had called the function itself.

#include "platform/LazyLibraries.h"

#define LAZY_LIBRARY(id, soname)
#define LAZY_FUNCTION(id, name)                                                                \
    .text;                                                                                     \
    .globl name;                                                                               \
    .type name, @function;                                                                     \
    .p2align 4;                                                                                \
    name:                                                                                      \
    movq tm_lazy_entry_##name(%rip), %r11;                                                     \
    testq %r11, %r11;                                                                          \
    jz 1f;                                                                                     \
    jmp *%r11;                                                                                 \
    1:                                                                                         \
    leaq tm_lazy_entry_##name(%rip), %r11;                                                     \
    jmp TmLazyBindCommon;                                                                      \
    .size name, . - name;                                                                      \
    .section .rodata.str1.1, "aMS", @progbits, 1;                                              \
    tm_lazy_name_##name:                                                                       \
    .asciz #name;                                                                              \
    .data;                                                                                     \
    .p2align 3;                                                                                \
    tm_lazy_entry_##name:                                                                      \
    .quad 0;                                                                                   \
    .quad tm_lazy_name_##name;                                                                 \
    .quad LAZY_ID_##id;

#include "platform/LazyLibraries.def"

    .text
    .p2align 4
    .type TmLazyBindCommon, @function
TmLazyBindCommon:
    // On entry %rsp is 8 off a 16-byte boundary, as in any function; seven pushes and 128
    // bytes put it on one for the call.
    pushq %rdi
    pushq %rsi
    pushq %rdx
    pushq %rcx
    pushq %r8
    pushq %r9
    pushq %rax
    subq $128, %rsp
    movdqu %xmm0, 0(%rsp)
    movdqu %xmm1, 16(%rsp)
    movdqu %xmm2, 32(%rsp)
    movdqu %xmm3, 48(%rsp)
    movdqu %xmm4, 64(%rsp)
    movdqu %xmm5, 80(%rsp)
    movdqu %xmm6, 96(%rsp)
    movdqu %xmm7, 112(%rsp)
    movq %r11, %rdi
    call TmLazyBind@PLT
    movq %rax, %r11
    movdqu 0(%rsp), %xmm0
    movdqu 16(%rsp), %xmm1
    movdqu 32(%rsp), %xmm2
    movdqu 48(%rsp), %xmm3
    movdqu 64(%rsp), %xmm4
    movdqu 80(%rsp), %xmm5
    movdqu 96(%rsp), %xmm6
    movdqu 112(%rsp), %xmm7
    addq $128, %rsp
    popq %rax
    popq %r9
    popq %r8
    popq %rcx
    popq %rdx
    popq %rsi
    popq %rdi
    jmp *%r11
    .size TmLazyBindCommon, . - TmLazyBindCommon

    .section .note.GNU-stack, "", @progbits

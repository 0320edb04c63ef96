; hello.asm - greets the world from 32-bit Linux, then exits.
;
; Build and run (NASM syntax):
;   nasm -f elf32 hello.asm -o hello.o
;   ld -m elf_i386 hello.o -o hello
;   ./hello

SYS_EXIT    equ 1                   ; Linux system call numbers (int 80h)
SYS_WRITE   equ 4
STDOUT      equ 1

; print address, length - write a buffer to standard output
%macro print 2
        mov     eax, SYS_WRITE
        mov     ebx, STDOUT
        mov     ecx, %1
        mov     edx, %2
        int     80h
%endmacro

section .data
greeting    db  "Hello, world!", 10
greet_len   equ $ - greeting
farewell    db  "Bye.", 10
bye_len     equ $ - farewell

section .bss
counter     resd 1                  ; times left to greet

section .text
global _start

_start:
        mov     dword [counter], 3  ; greet three times
.again:
        print   greeting, greet_len
        dec     dword [counter]
        jnz     .again              ; loop while counter is not zero

        print   farewell, bye_len
        mov     eax, SYS_EXIT
        xor     ebx, ebx            ; exit status 0
        int     80h

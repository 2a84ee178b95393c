| Start-up, exception vectors and interrupt entry of the demo ROM.
|
| The machine copies the 64 vectors that follow the 0xCCCCCCCC marker into
| RAM at 0 and resets the processor from them: vector 0 is the supervisor
| stack pointer, vector 1 the first instruction. Everything runs in
| supervisor state.

        .section .text.boot,"ax"
        .globl  _start
_start:
        move.w  #0x2700,%sr             | no interrupts until the ROM is ready
        lea     __stack_top,%sp

        | Initialised data (and the RAM-resident flash routines) from flash.
        lea     __data_load,%a0
        lea     __data_start,%a1
        lea     __data_end,%a2
1:      cmp.l   %a2,%a1
        bcc.s   2f
        move.w  (%a0)+,(%a1)+
        bra.s   1b

        | Zeroed data.
2:      lea     __bss_start,%a1
        lea     __bss_end,%a2
3:      cmp.l   %a2,%a1
        bcc.s   4f
        clr.w   (%a1)+
        bra.s   3b

4:      jsr     main
        | main never returns; if it did, sleep for good.
        .globl  Halt
Halt:
        stop    #0x2700
        bra.s   Halt

| Interrupt entries: save the registers C may clobber, call the handler.
        .macro  interrupt name, handler
        .globl  \name
\name:
        movem.l %d0-%d1/%a0-%a1,-(%sp)
        jsr     \handler
        movem.l (%sp)+,%d0-%d1/%a0-%a1
        rte
        .endm

        .text
        interrupt IrqLevel1, OnTimerTick
        interrupt IrqLevel2, OnKeyboard
        interrupt IrqLevel4, OnLink
        interrupt IrqLevel5, OnProgrammableTimer
        interrupt IrqLevel6, OnOnKey

| Every other vector is a fault: push its number and show the fault screen
| with the stacked status register and PC.
        .irp    n, 2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,27,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,61,62,63
Fault\n:
        move.w  #\n,-(%sp)
        bra.w   FaultCommon
        .endr

FaultCommon:
        move.l  %sp,-(%sp)              | points at vector.w, sr.w, pc.l
        jsr     ShowFault               | does not return

| The vector table, found by the machine after its marker.
        .section .vectors,"a"
        .long   0xCCCCCCCC
        .long   __stack_top             | 0: supervisor stack pointer
        .long   _start                  | 1: reset PC
        .irp    n, 2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24
        .long   Fault\n
        .endr
        .long   IrqLevel1               | 25: 256 Hz timer, key releases
        .long   IrqLevel2               | 26: keyboard
        .long   Fault27                 | 27: level 3 is never raised
        .long   IrqLevel4               | 28: link port
        .long   IrqLevel5               | 29: programmable timer
        .long   IrqLevel6               | 30: ON key
        .long   Fault31                 | 31: write into protected low RAM
        .irp    n, 32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,61,62,63
        .long   Fault\n
        .endr

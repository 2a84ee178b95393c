| Erasing and programming the flash chip.
|
| Once a command has started, every read of the flash answers with the
| chip's status (all ones here) until 0xFFFF is written, so these routines
| are copied to RAM with the initialised data and run from there with every
| interrupt masked: the vectors and the handlers live in flash.

        .section .ramtext,"ax"

| Waits for the status word at (%a0) to report ready (bit 7), then leaves
| status mode.
        .macro  wait_ready
1:      move.w  (%a0),%d0
        btst    #7,%d0
        beq.s   1b
        move.w  #0xFFFF,(%a0)
        .endm

| uint16_t FlashEraseBlock(volatile uint16_t* block)
| Fills the 64 KB block holding the address with ones. Returns the status.
        .globl  FlashEraseBlock
FlashEraseBlock:
        move.l  4(%sp),%a0
        move.w  %sr,-(%sp)
        ori.w   #0x0700,%sr
        move.w  #0x5050,(%a0)
        move.w  #0x2020,(%a0)
        move.w  #0xD0D0,(%a0)
        wait_ready
        move.w  (%sp)+,%sr
        rts

| uint16_t FlashProgram(volatile uint16_t* dest, const uint16_t* src, uint32_t words)
| Programs words from RAM into the flash; programming can only clear bits.
| Returns the AND of the status words (bit 7 clear: a word did not finish).
        .globl  FlashProgram
FlashProgram:
        movem.l %d2-%d3/%a2,-(%sp)
        movem.l 16(%sp),%a0/%a2
        move.l  24(%sp),%d1
        move.w  %sr,%d3
        ori.w   #0x0700,%sr
        moveq   #-1,%d2
        bra.s   3f
2:      move.w  #0x5050,(%a0)
        move.w  #0x1010,(%a0)
        move.w  (%a2)+,(%a0)
        wait_ready
        and.w   %d0,%d2
        addq.l  #2,%a0
3:      subq.l  #1,%d1
        bcc.s   2b
        move.w  %d3,%sr
        moveq   #0,%d0
        move.w  %d2,%d0
        movem.l (%sp)+,%d2-%d3/%a2
        rts

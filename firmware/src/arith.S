| 32-bit multiply and divide for the plain 68000, whose MULU and DIVU work
| on 16-bit operands. GCC calls these for int and long arithmetic; the
| packaged libgcc is built for later processors, so the ROM carries its own.
|
| Arguments on the stack, results in %d0; %d0-%d1/%a0-%a1 may be clobbered.
| Dividing by zero does not trap: the unsigned quotient is all ones and the
| remainder is the dividend. The ROM's own code never divides by zero.

        .text

| int __mulsi3(int a, int b): the low 32 bits of a * b, signed or not.
        .globl  __mulsi3
__mulsi3:
        move.w  4(%sp),%d0              | a high
        mulu.w  10(%sp),%d0             |   * b low
        move.w  8(%sp),%d1              | b high
        mulu.w  6(%sp),%d1              |   * a low
        add.w   %d1,%d0                 | only the low words of the cross terms count
        swap    %d0
        clr.w   %d0
        move.w  6(%sp),%d1
        mulu.w  10(%sp),%d1             | a low * b low
        add.l   %d1,%d0
        rts

| Unsigned divide of %d0 by %d1: quotient in %d0, remainder in %d1.
UnsignedDivide:
        tst.l   %d1
        beq.s   .Lby_zero
        move.l  %d2,%a0                 | %d2 and %d3 belong to the caller
        move.l  %d3,%a1
        cmp.l   #0xFFFF,%d1
        bhi.s   .Lwide
        | A 16-bit divisor: two DIVU steps, high word first. Each quotient
        | fits in 16 bits since the remainder carried over is below the divisor.
        move.l  %d0,%d3
        clr.w   %d0
        swap    %d0                     | 0 : dividend high
        divu.w  %d1,%d0                 | remainder : quotient high
        move.w  %d0,%d2
        swap    %d2
        move.w  %d3,%d0                 | remainder : dividend low
        divu.w  %d1,%d0                 | remainder : quotient low
        move.w  %d0,%d2
        clr.w   %d0
        swap    %d0
        move.l  %d0,%d1
        move.l  %d2,%d0
        bra.s   .Ldone
.Lwide:
        | A divisor of 17 bits or more leaves a quotient of 16 bits at most:
        | start with the dividend's high word as the remainder and shift the
        | low word through, subtracting where the divisor fits.
        move.l  %d0,%d2
        clr.w   %d2
        swap    %d2                     | remainder = dividend high
        swap    %d0
        clr.w   %d0                     | dividend low, moved up
        moveq   #15,%d3
1:      add.l   %d0,%d0                 | next dividend bit into X, quotient bit 0 freed
        addx.l  %d2,%d2
        bcs.s   2f                      | a 33-bit remainder is above any divisor
        cmp.l   %d1,%d2
        bcs.s   3f
2:      sub.l   %d1,%d2
        addq.w  #1,%d0
3:      dbra    %d3,1b
        move.l  %d2,%d1
.Ldone:
        move.l  %a0,%d2
        move.l  %a1,%d3
        rts
.Lby_zero:
        move.l  %d0,%d1
        moveq   #-1,%d0
        rts

| unsigned __udivsi3(unsigned a, unsigned b)
        .globl  __udivsi3
__udivsi3:
        move.l  4(%sp),%d0
        move.l  8(%sp),%d1
        bra.s   UnsignedDivide

| unsigned __umodsi3(unsigned a, unsigned b)
        .globl  __umodsi3
__umodsi3:
        move.l  4(%sp),%d0
        move.l  8(%sp),%d1
        bsr.s   UnsignedDivide
        move.l  %d1,%d0
        rts

| Makes %d0 and %d1 non-negative.
Magnitudes:
        tst.l   %d0
        bpl.s   1f
        neg.l   %d0
1:      tst.l   %d1
        bpl.s   2f
        neg.l   %d1
2:      rts

| int __divsi3(int a, int b): rounds toward zero.
        .globl  __divsi3
__divsi3:
        move.l  %d2,-(%sp)
        move.l  8(%sp),%d0
        move.l  12(%sp),%d1
        move.l  %d0,%d2
        eor.l   %d1,%d2                 | the quotient's sign
        bsr.s   Magnitudes
        bsr.w   UnsignedDivide
        bra.s   .Lsigned

| int __modsi3(int a, int b): the remainder takes the dividend's sign.
        .globl  __modsi3
__modsi3:
        move.l  %d2,-(%sp)
        move.l  8(%sp),%d0
        move.l  12(%sp),%d1
        move.l  %d0,%d2                 | the remainder's sign
        bsr.s   Magnitudes
        bsr.w   UnsignedDivide
        move.l  %d1,%d0
.Lsigned:
        tst.l   %d2
        bpl.s   1f
        neg.l   %d0
1:      move.l  (%sp)+,%d2
        rts

| 32-bit multiply and divide for the plain 68000, whose MULU/MULS and
| DIVU/DIVS stop at 16 x 16 -> 32 and 32 / 16 -> 16:16. The compiler calls
| these by their usual names with both operands on the stack; they keep
| every register but d0-d1/a0-a1, as the calling convention asks.

	.text

| __mulsi3(a, b): the low 32 bits of a * b, from three 16 x 16 products
| (the high halves' product only moves bits past bit 31).
	.globl	__mulsi3
__mulsi3:
	move.w	4(%sp), %d0		| a high
	mulu.w	10(%sp), %d0		| * b low
	move.w	8(%sp), %d1		| b high
	mulu.w	6(%sp), %d1		| * a low
	add.w	%d1, %d0		| the cross terms, of which 16 bits count
	swap	%d0
	clr.w	%d0
	move.w	6(%sp), %d1		| a low
	mulu.w	10(%sp), %d1		| * b low
	add.l	%d1, %d0
	rts

| The unsigned core: d0 / d1 leaves the quotient in d0 and the remainder
| in d1. Divisors below 0x10000 take two DIVUs (high word, then the rest
| with the first remainder on top); larger ones leave a quotient below
| 0x10000, found a bit at a time. Uses d2-d3, saved by the callers.
udivmod:
	cmp.l	#0x10000, %d1
	jcc	2f
	move.l	%d0, %d2
	clr.w	%d2
	swap	%d2			| d2 = dividend high word
	divu.w	%d1, %d2		| d2 = r1 : q1
	move.l	%d2, %d3
	move.w	%d0, %d2		| d2 = r1 : dividend low word
	divu.w	%d1, %d2		| d2 = r2 : q2
	swap	%d3
	move.w	%d2, %d3		| d3 = q1 : q2
	clr.w	%d2
	swap	%d2
	move.l	%d3, %d0
	move.l	%d2, %d1
	rts
2:	move.l	%d0, %d2
	clr.w	%d2
	swap	%d2			| remainder so far: the high word, already below the divisor
	swap	%d0
	clr.w	%d0			| the low word, to be shifted in
	moveq	#15, %d3
3:	add.l	%d0, %d0		| next dividend bit into X
	addx.l	%d2, %d2
	jcs	4f			| past 32 bits: certainly above the divisor
	cmp.l	%d1, %d2
	jcs	5f
4:	sub.l	%d1, %d2
	addq.w	#1, %d0			| this quotient bit is 1
5:	dbra	%d3, 3b
	move.l	%d2, %d1
	rts

	.globl	__udivsi3
__udivsi3:
	movem.l	%d2-%d3, -(%sp)
	move.l	12(%sp), %d0
	move.l	16(%sp), %d1
	bsr	udivmod
	movem.l	(%sp)+, %d2-%d3
	rts

	.globl	__umodsi3
__umodsi3:
	movem.l	%d2-%d3, -(%sp)
	move.l	12(%sp), %d0
	move.l	16(%sp), %d1
	bsr	udivmod
	move.l	%d1, %d0
	movem.l	(%sp)+, %d2-%d3
	rts

| Signed forms: divide the magnitudes; the quotient is negative when the
| signs differ, the remainder takes the dividend's sign (C's truncation).
| d4 bit 0: negate the quotient; bit 1: negate the remainder.
sdivmod:
	moveq	#0, %d4
	tst.l	%d0
	jpl	1f
	neg.l	%d0
	moveq	#3, %d4
1:	tst.l	%d1
	jpl	2f
	neg.l	%d1
	eor.w	#1, %d4
2:	bsr	udivmod
	btst	#0, %d4
	jeq	3f
	neg.l	%d0
3:	btst	#1, %d4
	jeq	4f
	neg.l	%d1
4:	rts

	.globl	__divsi3
__divsi3:
	movem.l	%d2-%d4, -(%sp)
	move.l	16(%sp), %d0
	move.l	20(%sp), %d1
	bsr	sdivmod
	movem.l	(%sp)+, %d2-%d4
	rts

	.globl	__modsi3
__modsi3:
	movem.l	%d2-%d4, -(%sp)
	move.l	16(%sp), %d0
	move.l	20(%sp), %d1
	bsr	sdivmod
	move.l	%d1, %d0
	movem.l	(%sp)+, %d2-%d4
	rts

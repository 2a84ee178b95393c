| Start-up of the workload image: the 68000 vector table, the copy of the
| initialised data into RAM, the run, and STOP. Every other vector lands in
| a stub that records which one it was as the status word and stops too.

#include "kernels.h"

	.section .vectors, "a"
	.long	__stack			| 0: supervisor stack pointer
	.long	_start			| 1: reset PC
	.set	stub, fault_stubs
	.rept	62			| 2-63: faults, traps and interrupts
	.long	stub
	.set	stub, stub + 4
	.endr

	.text
	.globl	_start
_start:
	move.w	#0x2700, %sr		| no interrupts while we measure
	lea	__data_load, %a0
	lea	__data_start, %a1
	lea	__data_end, %a2
	cmp.l	%a0, %a1
	jeq	2f			| the flat image runs where it was loaded
	jra	1f
0:	move.b	(%a0)+, (%a1)+
1:	cmp.l	%a2, %a1
	jcs	0b
2:	lea	__bss_start, %a1
	lea	__bss_end, %a2
	jra	4f
3:	clr.b	(%a1)+
4:	cmp.l	%a2, %a1
	jcs	3b

	jsr	WorkloadMain
	stop	#0x2700
	jra	_start			| not reached: nothing wakes the processor

| Each stub is one four-byte BSR; the return address it pushes names it.
	.align	2
fault_stubs:
	.rept	62
	bsr.w	fault
	.endr
fault:
	move.l	(%sp)+, %d0
	sub.l	#fault_stubs + 4, %d0
	lsr.l	#2, %d0
	addq.l	#2, %d0			| the vector number
	add.w	#WORKLOAD_STATUS_FAULT, %d0
	move.w	%d0, (WORKLOAD_RESULTS_ADDRESS + WORKLOAD_STATUS_OFFSET).w
	stop	#0x2700
	jra	fault

; tinyos: the smallest operating system that boots, to test flash files
; and flash images. ld-tigcc --flash-os lays it out for 0x412000; the
; machine finds its vector table after the CC CC CC CC marker. It fills the
; LCD with stripes of four pixels and stops with interrupts masked.
	xdef	_ti92plus
	section	"_st1"
_ti92plus:
os:
	dc.b	$80,$0f			; the OS's header: its length,
	dc.l	last-os-6
	dc.b	$80,$11,$01		; made for the TI-92 Plus (hardware 1)
	dc.b	0,0,0			; the marker is found at multiples of 4 only
	dc.l	$cccccccc
	dc.l	$4c00			; initial stack, below the LCD
	dc.l	boot			; initial program counter
	dc.l	ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore
	dc.l	ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore
	dc.l	ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore
	dc.l	ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore
	dc.l	ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore
	dc.l	ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore,ignore
	dc.l	ignore,ignore
boot:
	move.w	#$2700,sr
	lea	$4c00,a0
	move.w	#3840/4-1,d0
fill:	move.l	#$f0f0f0f0,(a0)+
	dbf	d0,fill
halt:	stop	#$2700
	bra.s	halt
ignore:	rte
last:
	end

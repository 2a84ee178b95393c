; keyecho: through the OS's ROM calls, clears the screen, writes "Press a
; key" at the top, waits for a key (ngetchx) and writes the character it
; gives two text rows below, then returns.
	xdef	_ti92plus
	xdef	_nostub
	xdef	_main
_ti92plus:
_nostub:
_main:
	movem.l	d3-d7/a2-a6,-(sp)
	move.l	$c8,a5			; the ROM call table
	move.l	$19e*4(a5),a0		; ClrScr
	jsr	(a0)
	move.w	#1,-(sp)		; DrawStr(0, 0, prompt, A_NORMAL)
	pea	prompt(pc)
	clr.l	-(sp)
	move.l	$1a9*4(a5),a0
	jsr	(a0)
	lea	10(sp),sp
	move.l	$51*4(a5),a0		; ngetchx
	jsr	(a0)
	lea	typed(pc),a0
	move.b	d0,(a0)
	move.w	#1,-(sp)		; DrawStr(0, 16, typed, A_NORMAL)
	pea	typed(pc)
	move.l	#16,-(sp)
	move.l	$1a9*4(a5),a0
	jsr	(a0)
	lea	10(sp),sp
	movem.l	(sp)+,d3-d7/a2-a6
	rts
prompt:	dc.b	"Press a key",0
typed:	dc.b	0,0
	even
	end

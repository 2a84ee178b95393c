; lcdfill: fills the LCD (240 x 128 pixels at $4C00, 30 bytes a row) with
; bands of 8 rows, black and white in turn, and returns.
	xdef	_ti92plus
	xdef	_nostub
	xdef	_main
_ti92plus:
_nostub:
_main:
	lea	$4c00,a0
	moveq	#15,d1			; 16 bands of 8 rows
band:	moveq	#0,d2
	btst	#0,d1
	beq.s	white
	moveq	#-1,d2
white:	move.w	#8*30/2-1,d0		; a band is 240 bytes
fill:	move.w	d2,(a0)+
	dbf	d0,fill
	dbf	d1,band
	rts
	end

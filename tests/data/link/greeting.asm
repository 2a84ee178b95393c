; greeting: a program whose data section ld-tigcc puts in a variable of its
; own (type 0x1C, shown as DAT), made with -d main\pxdata. The program does
; not use it: it is here to have ld-tigcc write a data variable.
	xdef	_ti92plus
	xdef	_nostub
	xdef	_main
	section	".text",code
_ti92plus:
_nostub:
_main:
	rts
	section	".data",data
message:
	dc.b	"Hello from Pellux",0
	even
numbers:
	dc.w	1,2,3,5,8,13,21,34
	end

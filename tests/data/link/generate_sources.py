#!/usr/bin/env python3
"""Writes tiles.asm and frames.asm into the folder named (the current one
without an argument), two programs whose pictures are tables too long to
type: tiles.asm (about 4.5 KB) draws 28 tiles of 32 x 32 pixels, frames.asm
(about 31 KB) shows 8 whole screens in turn. Both reach their tables
through tables of addresses, so ld-tigcc gives them relocations. make.sh
writes them afresh each time; they are not kept beside it."""

import math
import os
import sys

OUT = sys.argv[1] if len(sys.argv) > 1 else "."


def bits_to_bytes(rows):
    """Rows of 0/1 pixels, 8 to a byte, the leftmost in bit 7."""
    out = []
    for row in rows:
        for x in range(0, len(row), 8):
            byte = 0
            for bit in row[x:x + 8]:
                byte = byte << 1 | bit
            out.append(byte)
    return out


def dc_lines(data, per_line=32):
    """Long words, as the tables are multiples of 4 bytes long."""
    longs = [int.from_bytes(bytes(data[i:i + 4]), "big") for i in range(0, len(data), 4)]
    for i in range(0, len(longs), per_line // 4):
        yield "\tdc.l\t" + ",".join("$%08x" % v for v in longs[i:i + per_line // 4])


def tile(n):
    """32 x 32 pixels: a ring, a diamond, stripes or a checker, sized by n."""
    size = 32
    kind, k = n % 4, n // 4 + 1
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - 15.5, y - 15.5
            if kind == 0:
                on = abs(math.hypot(dx, dy) - 2 * k) < 1.5
            elif kind == 1:
                on = abs(dx) + abs(dy) < 2 * k
            elif kind == 2:
                on = (x + y) // k % 2 == 0
            else:
                on = (x // k + y // k) % 2 == 0
            row.append(1 if on else 0)
        rows.append(row)
    return bits_to_bytes(rows)


def frame(n):
    """240 x 128 pixels."""
    rows = []
    for y in range(128):
        row = []
        for x in range(240):
            dx, dy = x - 120, y - 64
            if n == 0:
                on = (x // 8 + y // 8) % 2
            elif n == 1:
                on = int(math.hypot(dx, dy)) // 6 % 2
            elif n == 2:
                on = (x + y) // 10 % 2
            elif n == 3:
                on = ((x ^ y) >> 3) & 1
            elif n == 4:
                on = int(math.hypot(dx, dy * 1.8)) // 9 % 2 ^ (x // 60 % 2)
            elif n == 5:
                on = 1 if (x * 4 // 240) > ((x * 7 + y * 13) % 4) else 0
            elif n == 6:
                on = min(x, y, 239 - x, 127 - y) // 5 % 2
            else:
                angle = math.atan2(dy, dx)
                on = int((angle + math.pi) / (2 * math.pi) * 24) % 2
            row.append(on)
        rows.append(row)
    return bits_to_bytes(rows)


TILES_CODE = """\
; tiles: draws 7 x 4 tiles of 32 x 32 pixels, tiles 0 to 27 of its table,
; on a cleared LCD, and returns. Written by generate_sources.py.
	xdef	_ti92plus
	xdef	_nostub
	xdef	_main
_ti92plus:
_nostub:
_main:
	movem.l	d3-d4/a2-a3,-(a7)
	lea	$4c00,a0
	move.w	#3840/4-1,d0
clear:	clr.l	(a0)+
	dbf	d0,clear
	lea	$4c00,a1		; the top left of the row of tiles
	lea	table(pc),a2
	moveq	#3,d3			; 4 rows of tiles
row:	moveq	#6,d4			; 7 tiles a row
	move.l	a1,a3
col:	move.l	(a2)+,a0		; the tile's address, relocated
	moveq	#31,d0
line:	move.l	(a0)+,(a3)
	lea	30(a3),a3
	dbf	d0,line
	lea	4-32*30(a3),a3		; the next tile's top left
	dbf	d4,col
	lea	32*30(a1),a1
	dbf	d3,row
	movem.l	(a7)+,d3-d4/a2-a3
	rts
	even
table:
"""

FRAMES_CODE = """\
; frames: shows 8 whole screens in turn, a short wait between them, leaves
; the last on the LCD and returns. Written by generate_sources.py.
	xdef	_ti92plus
	xdef	_nostub
	xdef	_main
_ti92plus:
_nostub:
_main:
	movem.l	d3/a2,-(a7)
	lea	table(pc),a2
	moveq	#7,d3
next:	move.l	(a2)+,a0		; the frame's address, relocated
	lea	$4c00,a1
	move.w	#3840/4-1,d0
copy:	move.l	(a0)+,(a1)+
	dbf	d0,copy
	move.w	#20000,d0
wait:	dbf	d0,wait
	dbf	d3,next
	movem.l	(a7)+,d3/a2
	rts
	even
table:
"""


def write(name, code, label, pictures):
    lines = [code.rstrip("\n")]
    lines += ["\tdc.l\t%s%d" % (label, i) for i in range(len(pictures))]
    for i, data in enumerate(pictures):
        lines += ["\teven", "%s%d:" % (label, i)]
        lines += list(dc_lines(data))
    lines.append("\tend")
    with open(os.path.join(OUT, name), "w") as out:
        out.write("\n".join(lines) + "\n")


write("tiles.asm", TILES_CODE, "tile", [tile(n) for n in range(32)])
write("frames.asm", FRAMES_CODE, "frame", [frame(n) for n in range(8)])

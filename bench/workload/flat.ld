/* The flat image: loaded at address 0 of plain memory, vectors at 0,
 * results and data from 0x400, the frame at 0x4C00, code from 0x10000,
 * the stack below 0x40000. */
OUTPUT_FORMAT("elf32-m68k")
ENTRY(_start)

SECTIONS {
  .vectors 0 : { KEEP(*(.vectors)) }
  .data 0x400 : { KEEP(*(.results)) *(.data .data.*) . = ALIGN(4); }
  .bss (NOLOAD) : { __bss_start = .; *(.bss .bss.* COMMON) . = ALIGN(4); __bss_end = .; }
  ASSERT(__bss_end <= 0x4C00, "the workload's data reach into the frame")
  .text 0x10000 : { *(.text .text.*) *(.rodata .rodata.*) }
  /DISCARD/ : { *(.comment) *(.note*) *(.eh_frame*) }
}

__data_start = ADDR(.data);
__data_end = ADDR(.data) + SIZEOF(.data);
__data_load = LOADADDR(.data);
__stack = 0x40000;

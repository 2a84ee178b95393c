/* The calculator image: code in flash from 0x400000, the vector table after
 * the 0xCC 0xCC 0xCC 0xCC marker at image offset 0x12000, the initialised
 * data stored after it and copied to RAM at 0x400 by the start-up code, the
 * frame at the LCD's start-up address 0x4C00, the stack at the top of RAM. */
OUTPUT_FORMAT("elf32-m68k")
ENTRY(_start)

SECTIONS {
  .text 0x400000 : { *(.text .text.*) *(.rodata .rodata.*) }
  ASSERT(. <= 0x412000, "the workload's code reaches the vector table")
  .vectors 0x412000 : { LONG(0xCCCCCCCC) KEEP(*(.vectors)) }
  .data 0x400 : AT(ADDR(.vectors) + SIZEOF(.vectors)) { KEEP(*(.results)) *(.data .data.*) . = ALIGN(4); }
  .bss (NOLOAD) : { __bss_start = .; *(.bss .bss.* COMMON) . = ALIGN(4); __bss_end = .; }
  ASSERT(__bss_end <= 0x4C00, "the workload's data reach into the frame")
  /DISCARD/ : { *(.comment) *(.note*) *(.eh_frame*) }
}

__data_start = ADDR(.data);
__data_end = ADDR(.data) + SIZEOF(.data);
__data_load = LOADADDR(.data);
__stack = 0x40000;
ASSERT(LOADADDR(.data) == 0x400000 + 0x12104, "WORKLOAD_ROM_RESULTS_OFFSET in kernels.h must follow the layout")

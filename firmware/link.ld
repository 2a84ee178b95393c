/* Layout of the demo ROM in the TI-92 Plus address space.
 *
 * Flash is seen at 0x400000; the image file starts there. The code comes
 * first, then the initial values of the RAM data; the vector table sits
 * behind its 0xCCCCCCCC marker at image offset 0x12000, where the machine
 * looks for it. RAM holds the copied vectors (0x000-0x0FF), the data, the
 * LCD frame and, at the top, the stack.
 */
OUTPUT_FORMAT("elf32-m68k")
OUTPUT_ARCH(m68k)
ENTRY(_start)

MEMORY
{
  FLASH   (rx)  : ORIGIN = 0x400000, LENGTH = 0x12000
  VECTORS (r)   : ORIGIN = 0x412000, LENGTH = 0x104
  RAM     (rwx) : ORIGIN = 0x000400, LENGTH = 0x3FC00
}

__stack_top = 0x40000;
__stack_size = 0x2000;

SECTIONS
{
  .text : {
    KEEP(*(.text.boot))
    *(.text .text.*)
    . = ALIGN(4);
  } > FLASH

  .rodata : {
    *(.rodata .rodata.*)
    . = ALIGN(4);
  } > FLASH

  /* The flash routines and the initialised data: stored in flash, copied to
   * RAM by the start-up code. The two sections follow each other in both. */
  .ramtext : {
    __data_start = .;
    *(.ramtext)
    . = ALIGN(4);
  } > RAM AT > FLASH
  __data_load = LOADADDR(.ramtext);

  .data : {
    *(.data .data.*)
    . = ALIGN(4);
    __data_end = .;
  } > RAM AT > FLASH
  __rom_code_end = LOADADDR(.data) + SIZEOF(.data);

  .vectors : {
    KEEP(*(.vectors))
  } > VECTORS
  __image_end = .;

  .bss (NOLOAD) : {
    __bss_start = .;
    *(.bss .bss.*)
    *(COMMON)
    . = ALIGN(4);
    __bss_end = .;
  } > RAM

  ASSERT(__bss_end <= __stack_top - __stack_size, "RAM data runs into the stack")
  ASSERT(LOADADDR(.data) == __data_load + SIZEOF(.ramtext), "the RAM copy must be one block")

  /DISCARD/ : {
    *(.comment) *(.note*) *(.eh_frame*) *(.gnu.attributes)
  }
}

// Small helpers the ROM would otherwise take from a C library.
#pragma once

#include <stddef.h>
#include <stdint.h>

// GCC may call these for struct copies and initialisers, so they keep their
// standard names.
void* memset(void* dest, int value, size_t count);
void* memcpy(void* dest, const void* src, size_t count);

int StrLen(const char* text);
// Copies at most capacity - 1 characters and terminates; returns the length.
int StrCopy(char* dest, const char* src, int capacity);
// Appends src to the text in dest (capacity counts the terminator).
void StrAppend(char* dest, const char* src, int capacity);

// Decimal text of a signed value; buf holds at least 12 characters.
char* FormatInt(char* buf, int32_t value);
// "0x" and digits hex digits, upper case; buf holds digits + 3 characters.
char* FormatHex(char* buf, uint32_t value, int digits);
// Decimal with leading zeros to the given width.
char* FormatPadded(char* buf, uint32_t value, int width);

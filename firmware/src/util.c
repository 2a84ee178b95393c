#include "util.h"

void* memset(void* dest, int value, size_t count) {
  uint8_t* p = dest;
  const uint8_t byte = (uint8_t)value;
  if ((uintptr_t)p & 1 && count) {
    *p++ = byte;
    --count;
  }
  // Long stores for the bulk: the address is even now.
  uint32_t fill = byte * 0x01010101u;
  uint32_t* q = (uint32_t*)p;
  for (; count >= 16; count -= 16) {
    *q++ = fill;
    *q++ = fill;
    *q++ = fill;
    *q++ = fill;
  }
  p = (uint8_t*)q;
  while (count--) *p++ = byte;
  return dest;
}

void* memcpy(void* dest, const void* src, size_t count) {
  uint8_t* d = dest;
  const uint8_t* s = src;
  while (count--) *d++ = *s++;
  return dest;
}

int StrLen(const char* text) {
  int n = 0;
  while (text[n]) ++n;
  return n;
}

int StrCopy(char* dest, const char* src, int capacity) {
  int n = 0;
  while (n < capacity - 1 && src[n]) {
    dest[n] = src[n];
    ++n;
  }
  dest[n] = 0;
  return n;
}

void StrAppend(char* dest, const char* src, int capacity) {
  const int used = StrLen(dest);
  StrCopy(dest + used, src, capacity - used);
}

char* FormatPadded(char* buf, uint32_t value, int width) {
  char digits[11];
  int n = 0;
  do {
    digits[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value);
  while (n < width) digits[n++] = '0';
  for (int i = 0; i < n; ++i) buf[i] = digits[n - 1 - i];
  buf[n] = 0;
  return buf;
}

char* FormatInt(char* buf, int32_t value) {
  if (value < 0) {
    buf[0] = '-';
    FormatPadded(buf + 1, 0u - (uint32_t)value, 1);
  } else {
    FormatPadded(buf, (uint32_t)value, 1);
  }
  return buf;
}

char* FormatHex(char* buf, uint32_t value, int digits) {
  buf[0] = '0';
  buf[1] = 'x';
  for (int i = 0; i < digits; ++i) {
    buf[2 + i] = "0123456789ABCDEF"[(value >> (4 * (digits - 1 - i))) & 0xF];
  }
  buf[2 + digits] = 0;
  return buf;
}

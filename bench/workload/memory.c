/* The two library routines the compiler may call on its own, for block
 * copies and clears. */
#include <stddef.h>

void* memcpy(void* to, const void* from, size_t n);
void* memset(void* to, int value, size_t n);

void* memcpy(void* to, const void* from, size_t n) {
  unsigned char* t = to;
  const unsigned char* f = from;
  while (n--) *t++ = *f++;
  return to;
}

void* memset(void* to, int value, size_t n) {
  unsigned char* t = to;
  while (n--) *t++ = (unsigned char)value;
  return to;
}

/* The workload's kernels. Each one returns a value folded into the checksum
 * and checks its own work (a sorted list is in order and keeps its sum, a
 * formatted number parses back, a quotient times the divisor plus the
 * remainder gives the dividend, decimal and binary arithmetic agree, ...). */
#include "kernels.h"

enum Kernel {
  kKernelChecksums = 1,
  kKernelSorting = 2,
  kKernelText = 3,
  kKernelArithmetic = 4,
  kKernelDrawing = 5,
  kKernelDecimal = 6,
  kKernelInterpreter = 7,
};

typedef struct {
  uint32_t state;
  uint16_t failed; /* the first kernel whose check failed, or 0 */
} Context;

static void Check(Context* c, int ok, uint16_t kernel) {
  if (!ok && c->failed == 0) c->failed = kernel;
}

/* A linear congruential generator: every draw is a 32-bit multiply, which
 * the plain 68000 leaves to a helper routine. */
static uint32_t Next(Context* c) {
  c->state = c->state * 1664525u + 1013904223u;
  return c->state >> 8;
}

static uint32_t Mix(uint32_t acc, uint32_t value) {
  acc ^= value;
  acc = (acc << 7) | (acc >> 25);
  return acc + 0x6D2B79F5u;
}

/* ---- Checksums ------------------------------------------------------- */

#define BLOCK_BYTES 384

static uint16_t Crc16(const uint8_t* p, uint16_t n) {
  uint16_t crc = 0xFFFF;
  while (n--) {
    crc ^= (uint16_t)(*p++ << 8);
    for (uint8_t bit = 0; bit < 8; bit++) {
      crc = (crc & 0x8000) ? (uint16_t)((crc << 1) ^ 0x1021) : (uint16_t)(crc << 1);
    }
  }
  return crc;
}

/* Adler-32, reducing every 16 bytes as careful small-machine code does. */
static uint32_t Adler32(const uint8_t* p, uint16_t n) {
  uint32_t a = 1, b = 0;
  while (n) {
    uint16_t run = n < 16 ? n : 16;
    n -= run;
    while (run--) {
      a += *p++;
      b += a;
    }
    a %= 65521u;
    b %= 65521u;
  }
  return b << 16 | a;
}

/* The calculator's variable checksum: a 16-bit sum of big-endian words. */
static uint16_t WordSum(const uint8_t* p, uint16_t n) {
  uint16_t sum = 0;
  for (uint16_t i = 0; i + 1 < n; i += 2) sum = (uint16_t)(sum + (p[i] << 8 | p[i + 1]));
  return sum;
}

static uint32_t RunChecksums(Context* c) {
  static uint8_t block[BLOCK_BYTES];
  for (uint16_t i = 0; i < BLOCK_BYTES; i++) block[i] = (uint8_t)Next(c);
  const uint16_t crc = Crc16(block, BLOCK_BYTES);
  const uint32_t adler = Adler32(block, BLOCK_BYTES);
  const uint16_t sum = WordSum(block, BLOCK_BYTES);

  /* A CRC over a block followed by its own CRC leaves zero behind. */
  block[BLOCK_BYTES - 2] = (uint8_t)(crc >> 8);
  block[BLOCK_BYTES - 1] = (uint8_t)crc;
  const uint16_t crcOfPrefix = Crc16(block, BLOCK_BYTES - 2);
  block[BLOCK_BYTES - 2] = (uint8_t)(crcOfPrefix >> 8);
  block[BLOCK_BYTES - 1] = (uint8_t)crcOfPrefix;
  Check(c, Crc16(block, BLOCK_BYTES) == 0, kKernelChecksums);

  return Mix(Mix(crc, adler), sum);
}

/* ---- Sorting --------------------------------------------------------- */

#define SHELL_COUNT 160
#define QUICK_COUNT 96

static void ShellSort(int16_t* v, uint16_t n) {
  static const uint16_t gaps[] = {57, 23, 10, 4, 1};
  for (uint16_t g = 0; g < sizeof gaps / sizeof gaps[0]; g++) {
    const uint16_t gap = gaps[g];
    for (uint16_t i = gap; i < n; i++) {
      const int16_t item = v[i];
      uint16_t j = i;
      while (j >= gap && v[j - gap] > item) {
        v[j] = v[j - gap];
        j -= gap;
      }
      v[j] = item;
    }
  }
}

/* Recursive quicksort on the middle element; recurses into the smaller side. */
static void QuickSort(int32_t* v, int16_t low, int16_t high) {
  while (low < high) {
    const int32_t pivot = v[(low + high) >> 1];
    int16_t i = low, j = high;
    while (i <= j) {
      while (v[i] < pivot) i++;
      while (v[j] > pivot) j--;
      if (i <= j) {
        const int32_t t = v[i];
        v[i] = v[j];
        v[j] = t;
        i++;
        j--;
      }
    }
    if (j - low < high - i) {
      QuickSort(v, low, j);
      low = i;
    } else {
      QuickSort(v, i, high);
      high = j;
    }
  }
}

static uint32_t RunSorting(Context* c) {
  static int16_t words[SHELL_COUNT];
  static int32_t longs[QUICK_COUNT];
  uint32_t sumBefore = 0, sumAfter = 0;
  for (uint16_t i = 0; i < SHELL_COUNT; i++) {
    words[i] = (int16_t)(uint16_t)Next(c);
    sumBefore += (uint16_t)words[i];
  }
  for (uint16_t i = 0; i < QUICK_COUNT; i++) {
    longs[i] = (int32_t)(Next(c) << 8);
    sumBefore += (uint32_t)longs[i];
  }
  ShellSort(words, SHELL_COUNT);
  QuickSort(longs, 0, QUICK_COUNT - 1);

  int ordered = 1;
  uint32_t acc = 0;
  for (uint16_t i = 0; i < SHELL_COUNT; i++) {
    if (i > 0 && words[i - 1] > words[i]) ordered = 0;
    sumAfter += (uint16_t)words[i];
    acc = Mix(acc, (uint16_t)words[i]);
  }
  for (uint16_t i = 0; i < QUICK_COUNT; i++) {
    if (i > 0 && longs[i - 1] > longs[i]) ordered = 0;
    sumAfter += (uint32_t)longs[i];
    acc = Mix(acc, (uint32_t)longs[i]);
  }
  Check(c, ordered && sumBefore == sumAfter, kKernelSorting);
  return acc;
}

/* ---- Text and number formatting -------------------------------------- */

static uint16_t StrLen(const char* s) {
  uint16_t n = 0;
  while (s[n]) n++;
  return n;
}

static int16_t StrCmp(const char* a, const char* b) {
  while (*a && *a == *b) {
    a++;
    b++;
  }
  return (int16_t)((uint8_t)*a - (uint8_t)*b);
}

static char* StrCopy(char* to, const char* from) {
  while ((*to = *from++) != 0) to++;
  return to; /* at the terminator, ready to append */
}

static void Reverse(char* s, uint16_t n) {
  for (uint16_t i = 0, j = n; i + 1 < j; i++, j--) {
    const char t = s[i];
    s[i] = s[j - 1];
    s[j - 1] = t;
  }
}

static uint16_t FormatUnsigned(uint32_t v, char* out) {
  uint16_t n = 0;
  do {
    out[n++] = (char)('0' + v % 10u);
    v /= 10u;
  } while (v);
  out[n] = 0;
  Reverse(out, n);
  return n;
}

static uint16_t FormatSigned(int32_t v, char* out) {
  if (v < 0) {
    out[0] = '-';
    return (uint16_t)(1 + FormatUnsigned(0u - (uint32_t)v, out + 1));
  }
  return FormatUnsigned((uint32_t)v, out);
}

static uint16_t FormatHex(uint32_t v, uint16_t digits, char* out) {
  static const char hex[] = "0123456789ABCDEF";
  for (uint16_t i = 0; i < digits; i++) out[i] = hex[(v >> (4 * (digits - 1 - i))) & 15];
  out[digits] = 0;
  return digits;
}

/* Hundredths as a fixed-point number: -1234 gives "-12.34". */
static uint16_t FormatFixed(int32_t hundredths, char* out) {
  uint32_t magnitude = hundredths < 0 ? 0u - (uint32_t)hundredths : (uint32_t)hundredths;
  uint16_t n = 0;
  if (hundredths < 0) out[n++] = '-';
  n += FormatUnsigned(magnitude / 100u, out + n);
  const uint32_t fraction = magnitude % 100u;
  out[n++] = '.';
  out[n++] = (char)('0' + fraction / 10u);
  out[n++] = (char)('0' + fraction % 10u);
  out[n] = 0;
  return n;
}

/* Parses an optional minus and decimal digits; *end is left after them. */
static int32_t ParseSigned(const char* s, const char** end) {
  int negative = 0;
  uint32_t v = 0;
  if (*s == '-') {
    negative = 1;
    s++;
  }
  while (*s >= '0' && *s <= '9') v = v * 10u + (uint32_t)(*s++ - '0');
  *end = s;
  return (int32_t)(negative ? 0u - v : v);
}

static uint32_t ParseHex(const char* s) {
  uint32_t v = 0;
  for (;; s++) {
    if (*s >= '0' && *s <= '9') {
      v = v << 4 | (uint32_t)(*s - '0');
    } else if (*s >= 'A' && *s <= 'F') {
      v = v << 4 | (uint32_t)(*s - 'A' + 10);
    } else {
      return v;
    }
  }
}

static uint32_t HashText(uint32_t acc, const char* s) {
  while (*s) acc = Mix(acc, (uint8_t)*s++);
  return acc;
}

static uint32_t RunText(Context* c) {
  static const char* const words[] = {"sin", "cos", "tan", "solve", "factor", "expand", "zeros", "limit",
                                      "graph", "table", "matrix", "list", "define", "prgm", "ans", "entry"};
  static char line[160];
  char number[16];
  const char* end;
  uint32_t acc = 0;
  int ok = 1;

  for (uint16_t round = 0; round < 12; round++) {
    const int32_t value = (int32_t)(Next(c) << 8) >> 4; /* signed, up to 28 bits */
    const uint32_t rawLow = Next(c);
    const uint32_t raw = rawLow ^ (Next(c) << 16);

    FormatSigned(value, number);
    ok &= ParseSigned(number, &end) == value && *end == 0;
    acc = HashText(acc, number);

    FormatHex(raw, 8, number);
    ok &= ParseHex(number) == raw;
    acc = HashText(acc, number);

    FormatFixed(value % 100000, number);
    acc = HashText(acc, number);
  }

  /* A command line built from words, then taken apart again. */
  char* at = line;
  for (uint16_t i = 0; i < 10; i++) {
    const char* word = words[Next(c) & 15];
    at = StrCopy(at, word);
    *at++ = '(';
    at += FormatUnsigned(Next(c) & 0x3FF, at);
    *at++ = ')';
    *at++ = ' ';
    *at = 0;
  }
  const uint16_t length = StrLen(line);
  ok &= length == (uint16_t)(at - line);

  /* Upper-case it, count the words that sort before "m", reverse it twice. */
  uint16_t early = 0;
  const char* word = line;
  for (char* p = line; *p; p++) {
    if (*p == ' ') {
      *p = 0;
      if (StrCmp(word, "m") < 0) early++;
      *p = ' ';
      word = p + 1;
    }
  }
  for (char* p = line; *p; p++) {
    if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 'a' + 'A');
  }
  acc = HashText(acc, line);
  Reverse(line, length);
  acc = HashText(acc, line);
  Reverse(line, length);
  ok &= line[0] >= 'A' && line[0] <= 'Z';

  Check(c, ok, kKernelText);
  return Mix(acc, early);
}

/* ---- Multiply and divide --------------------------------------------- */

static uint32_t Gcd(uint32_t a, uint32_t b) {
  while (b) {
    const uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

static uint32_t PowMod(uint32_t base, uint32_t exponent, uint16_t modulus) {
  uint32_t result = 1;
  base %= modulus;
  while (exponent) {
    if (exponent & 1) result = result * base % modulus;
    base = base * base % modulus;
    exponent >>= 1;
  }
  return result;
}

/* The square root digit by digit: shifts and subtractions only. */
static uint32_t SqrtBits(uint32_t v) {
  uint32_t root = 0, bit = 1u << 30;
  while (bit > v) bit >>= 2;
  while (bit) {
    if (v >= root + bit) {
      v -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return root;
}

/* The same by Newton's method, dividing (v below 2^30). */
static uint32_t SqrtNewton(uint32_t v) {
  if (v < 2) return v;
  uint32_t x = v, y = (v + 1) >> 1;
  while (y < x) {
    x = y;
    y = (x + v / x) >> 1;
  }
  return x;
}

#define SIEVE_LIMIT 1200

static uint32_t RunArithmetic(Context* c) {
  static uint8_t composite[SIEVE_LIMIT];
  uint32_t acc = 0;
  int ok = 1;

  for (uint16_t i = 0; i < 16; i++) {
    const uint32_t bits = Next(c) << 8;
    const int32_t n = (int32_t)bits >> (Next(c) & 7);
    int32_t d = (int32_t)(Next(c) % 2001u) - 1000;
    if (d == 0) d = 7;
    const int32_t q = n / d;
    const int32_t r = n % d;
    const uint32_t absR = r < 0 ? 0u - (uint32_t)r : (uint32_t)r;
    const uint32_t absD = d < 0 ? 0u - (uint32_t)d : (uint32_t)d;
    ok &= (uint32_t)q * (uint32_t)d + (uint32_t)r == (uint32_t)n;
    ok &= absR < absD && (r == 0 || (r < 0) == (n < 0));
    acc = Mix(acc, (uint32_t)q ^ (uint32_t)r);

    const uint32_t a = Next(c) | 1, b = Next(c) >> 4;
    const uint32_t g = Gcd(a, b);
    ok &= g != 0 && a % g == 0 && b % g == 0 && Gcd(a / g, b / g) == 1;
    acc = Mix(acc, g);

    const uint16_t modulus = (uint16_t)(Next(c) | 3);
    const uint32_t base = Next(c), exponent = Next(c);
    const uint32_t p = PowMod(base, exponent, modulus);
    ok &= p < modulus;
    acc = Mix(acc, p);

    const uint32_t v = Next(c) << 6;
    const uint32_t root = SqrtBits(v);
    ok &= root == SqrtNewton(v) && root * root <= v && (root + 1) * (root + 1) > v;
    acc = Mix(acc, root);
  }

  /* The primes below SIEVE_LIMIT, checked against trial division. */
  for (uint16_t i = 0; i < SIEVE_LIMIT; i++) composite[i] = i < 2;
  for (uint16_t i = 2; i * i < SIEVE_LIMIT; i++) {
    if (composite[i]) continue;
    for (uint16_t j = (uint16_t)(i * i); j < SIEVE_LIMIT; j += i) composite[j] = 1;
  }
  uint16_t primes = 0;
  for (uint16_t i = 0; i < SIEVE_LIMIT; i++) primes += !composite[i];
  for (uint16_t k = 0; k < 4; k++) {
    const uint16_t candidate = (uint16_t)(Next(c) % SIEVE_LIMIT);
    int prime = candidate >= 2;
    for (uint16_t f = 2; prime && f * f <= candidate; f++) prime = candidate % f != 0;
    ok &= prime == !composite[candidate];
  }
  acc = Mix(acc, primes);

  Check(c, ok, kKernelArithmetic);
  return acc;
}

/* ---- Drawing --------------------------------------------------------- */

enum { kSet, kClear, kInvert };

static void ClearFrame(uint8_t* frame) {
  for (uint16_t i = 0; i < WORKLOAD_FRAME_BYTES; i++) frame[i] = 0;
}

static void Plot(uint8_t* frame, int16_t x, int16_t y, uint8_t mode) {
  if (x < 0 || x >= WORKLOAD_FRAME_WIDTH || y < 0 || y >= WORKLOAD_FRAME_HEIGHT) return;
  uint8_t* byte = frame + y * WORKLOAD_FRAME_STRIDE + (x >> 3);
  const uint8_t mask = (uint8_t)(0x80 >> (x & 7));
  if (mode == kSet) {
    *byte |= mask;
  } else if (mode == kClear) {
    *byte &= (uint8_t)~mask;
  } else {
    *byte ^= mask;
  }
}

static int16_t Abs16(int16_t v) { return v < 0 ? (int16_t)-v : v; }

static void Line(uint8_t* frame, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint8_t mode) {
  const int16_t dx = Abs16((int16_t)(x1 - x0)), dy = (int16_t)-Abs16((int16_t)(y1 - y0));
  const int16_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int16_t error = (int16_t)(dx + dy);
  for (;;) {
    Plot(frame, x0, y0, mode);
    if (x0 == x1 && y0 == y1) return;
    const int16_t twice = (int16_t)(2 * error);
    if (twice >= dy) {
      error = (int16_t)(error + dy);
      x0 = (int16_t)(x0 + sx);
    }
    if (twice <= dx) {
      error = (int16_t)(error + dx);
      y0 = (int16_t)(y0 + sy);
    }
  }
}

/* A filled rectangle, a byte at a time with masks at both edges. */
static void FillRect(uint8_t* frame, uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
  const uint16_t right = (uint16_t)(x + w - 1);
  const uint16_t firstByte = x >> 3, lastByte = right >> 3;
  const uint8_t firstMask = (uint8_t)(0xFF >> (x & 7));
  const uint8_t lastMask = (uint8_t)(0xFF << (7 - (right & 7)));
  for (uint16_t row = y; row < y + h; row++) {
    uint8_t* line = frame + row * WORKLOAD_FRAME_STRIDE;
    if (firstByte == lastByte) {
      line[firstByte] |= firstMask & lastMask;
      continue;
    }
    line[firstByte] |= firstMask;
    for (uint16_t b = (uint16_t)(firstByte + 1); b < lastByte; b++) line[b] = 0xFF;
    line[lastByte] |= lastMask;
  }
}

static void Circle(uint8_t* frame, int16_t cx, int16_t cy, int16_t radius) {
  int16_t x = radius, y = 0, error = (int16_t)(1 - radius);
  while (x >= y) {
    Plot(frame, (int16_t)(cx + x), (int16_t)(cy + y), kInvert);
    Plot(frame, (int16_t)(cx - x), (int16_t)(cy + y), kInvert);
    Plot(frame, (int16_t)(cx + x), (int16_t)(cy - y), kInvert);
    Plot(frame, (int16_t)(cx - x), (int16_t)(cy - y), kInvert);
    Plot(frame, (int16_t)(cx + y), (int16_t)(cy + x), kInvert);
    Plot(frame, (int16_t)(cx - y), (int16_t)(cy + x), kInvert);
    Plot(frame, (int16_t)(cx + y), (int16_t)(cy - x), kInvert);
    Plot(frame, (int16_t)(cx - y), (int16_t)(cy - x), kInvert);
    y++;
    if (error < 0) {
      error = (int16_t)(error + 2 * y + 1);
    } else {
      x--;
      error = (int16_t)(error + 2 * (y - x) + 1);
    }
  }
}

/* 5 x 7 glyphs, one byte per row (bits 4-0, leftmost high): 0-9, '-', '.', 'E'. */
static const uint8_t kGlyphs[13][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},
};

static void DrawText(uint8_t* frame, int16_t x, int16_t y, const char* s) {
  for (; *s; s++, x = (int16_t)(x + 6)) {
    const uint8_t glyph = *s == '-' ? 10 : *s == '.' ? 11 : *s == 'E' ? 12 : (uint8_t)(*s - '0');
    if (glyph > 12) continue;
    for (int16_t row = 0; row < 7; row++) {
      const uint8_t bits = kGlyphs[glyph][row];
      for (int16_t col = 0; col < 5; col++) {
        if (bits & (0x10 >> col)) Plot(frame, (int16_t)(x + col), (int16_t)(y + row), kSet);
      }
    }
  }
}

/* A quarter sine wave, 0..64 in steps of a 256th of a turn, scaled to 127. */
static const uint8_t kQuarterSine[65] = {
    0,   3,   6,   9,   12,  16,  19,  22,  25,  28,  31,  34,  37,  40,  43,  46,  49,
    51,  54,  57,  60,  63,  65,  68,  71,  73,  76,  78,  81,  83,  85,  88,  90,  92,
    94,  96,  98,  100, 102, 104, 106, 107, 109, 111, 112, 113, 115, 116, 117, 118, 120,
    121, 122, 122, 123, 124, 125, 125, 126, 126, 126, 127, 127, 127, 127};

static int16_t Sine(uint16_t angle) {
  angle &= 255;
  if (angle < 64) return kQuarterSine[angle];
  if (angle < 128) return kQuarterSine[128 - angle];
  if (angle < 192) return (int16_t)-kQuarterSine[angle - 128];
  return (int16_t)-kQuarterSine[256 - angle];
}

static uint16_t CountSetBits(const uint8_t* frame) {
  uint16_t count = 0;
  for (uint16_t i = 0; i < WORKLOAD_FRAME_BYTES; i++) {
    for (uint8_t v = frame[i]; v; v &= (uint8_t)(v - 1)) count++;
  }
  return count;
}

static uint32_t RunDrawing(Context* c, uint8_t* frame) {
  int ok = 1;
  ClearFrame(frame);
  const uint16_t w = (uint16_t)(8 + (Next(c) % 120)), h = (uint16_t)(4 + (Next(c) % 60));
  const uint16_t x = (uint16_t)(Next(c) % (WORKLOAD_FRAME_WIDTH - w)), y = (uint16_t)(Next(c) % (WORKLOAD_FRAME_HEIGHT - h));
  FillRect(frame, x, y, w, h);
  ok &= CountSetBits(frame) == w * h;
  ClearFrame(frame);

  /* A graph screen: axes, a frame, a function plotted as joined segments. */
  Line(frame, 0, 64, 239, 64, kSet);
  Line(frame, 120, 0, 120, 127, kSet);
  Line(frame, 0, 0, 239, 0, kSet);
  Line(frame, 239, 0, 239, 127, kSet);
  Line(frame, 239, 127, 0, 127, kSet);
  Line(frame, 0, 127, 0, 0, kSet);
  const uint16_t phase = (uint16_t)Next(c);
  int16_t lastY = 0;
  for (int16_t px = 0; px < WORKLOAD_FRAME_WIDTH; px = (int16_t)(px + 2)) {
    const int16_t py = (int16_t)(64 - Sine((uint16_t)(phase + px * 2)) / 3 - Sine((uint16_t)(px * 5)) / 8);
    if (px > 0) Line(frame, (int16_t)(px - 2), lastY, px, py, kSet);
    lastY = py;
  }
  for (uint16_t i = 0; i < 3; i++) {
    const int16_t cx = (int16_t)(Next(c) % WORKLOAD_FRAME_WIDTH), cy = (int16_t)(Next(c) % WORKLOAD_FRAME_HEIGHT),
                  radius = (int16_t)(5 + Next(c) % 30);
    Circle(frame, cx, cy, radius);
  }
  char text[16];
  FormatFixed((int32_t)(Next(c) % 200000u) - 100000, text);
  DrawText(frame, 4, 4, text);
  FormatHex(phase, 4, text);
  DrawText(frame, 4, 116, text);
  for (uint16_t i = 0; i < 4; i++) {
    FillRect(frame, (uint16_t)(160 + i * 18), (uint16_t)(100 - i * 10), 12, (uint16_t)(8 + i * 10));
  }

  uint32_t acc = 0;
  for (uint16_t i = 0; i < WORKLOAD_FRAME_BYTES; i += 2) acc = (acc << 1 | acc >> 31) + (uint32_t)(frame[i] << 8 | frame[i + 1]);
  Check(c, ok, kKernelDrawing);
  return Mix(acc, CountSetBits(frame));
}

/* ---- Decimal (packed BCD) arithmetic ---------------------------------- */

#define BCD_BYTES 8 /* 16 digits, most significant byte first */

#ifdef __mc68000__
/* ABCD or SBCD down the BCD_BYTES bytes from the least significant end,
 * with X clear at the start and the decimal carry or borrow passed along in it. */
#define BCD_CHAIN(instruction, to, from)                          \
  do {                                                            \
    uint8_t* t = (to) + BCD_BYTES;                                \
    const uint8_t* f = (from) + BCD_BYTES;                        \
    uint16_t count = BCD_BYTES - 1;                               \
    __asm__ volatile("  move.w #0,%%ccr\n"                        \
                     "1: " instruction " -(%1),-(%0)\n"           \
                     "  dbra %2,1b\n"                             \
                     : "+a"(t), "+a"(f), "+d"(count)              \
                     :                                            \
                     : "cc", "memory");                           \
  } while (0)
#endif

/* to += from, as ABCD does it. */
static void BcdAdd(uint8_t* to, const uint8_t* from) {
#ifdef __mc68000__
  BCD_CHAIN("abcd", to, from);
#else
  unsigned carry = 0;
  for (int i = BCD_BYTES - 1; i >= 0; i--) {
    unsigned low = (to[i] & 15u) + (from[i] & 15u) + carry;
    unsigned high = (to[i] >> 4) + (from[i] >> 4);
    if (low > 9) {
      low -= 10;
      high++;
    }
    carry = high > 9;
    if (carry) high -= 10;
    to[i] = (uint8_t)(high << 4 | low);
  }
#endif
}

/* to -= from, as SBCD does it. */
static void BcdSubtract(uint8_t* to, const uint8_t* from) {
#ifdef __mc68000__
  BCD_CHAIN("sbcd", to, from);
#else
  unsigned borrow = 0;
  for (int i = BCD_BYTES - 1; i >= 0; i--) {
    int low = (int)(to[i] & 15u) - (int)(from[i] & 15u) - (int)borrow;
    int high = (int)(to[i] >> 4) - (int)(from[i] >> 4);
    if (low < 0) {
      low += 10;
      high--;
    }
    borrow = high < 0;
    if (borrow) high += 10;
    to[i] = (uint8_t)(high << 4 | low);
  }
#endif
}

static void ToBcd(uint32_t v, uint8_t* out) {
  for (int16_t i = BCD_BYTES - 1; i >= 0; i--) {
    const uint32_t low = v % 10u;
    v /= 10u;
    const uint32_t high = v % 10u;
    v /= 10u;
    out[i] = (uint8_t)(high << 4 | low);
  }
}

static int BcdEqual(const uint8_t* a, const uint8_t* b) {
  for (uint16_t i = 0; i < BCD_BYTES; i++) {
    if (a[i] != b[i]) return 0;
  }
  return 1;
}

static uint32_t HashBcd(uint32_t acc, const uint8_t* v) {
  for (uint16_t i = 0; i < BCD_BYTES; i += 2) acc = Mix(acc, (uint32_t)(v[i] << 8 | v[i + 1]));
  return acc;
}

static uint32_t RunDecimal(Context* c) {
  uint8_t previous[BCD_BYTES], current[BCD_BYTES], next[BCD_BYTES], expected[BCD_BYTES];
  uint32_t acc = 0;
  int ok = 1;

  /* Fibonacci numbers in decimal, checked against binary while it fits. */
  ToBcd(0, previous);
  ToBcd(1, current);
  uint32_t binaryPrevious = 0, binaryCurrent = 1;
  for (uint16_t n = 2; n <= 70; n++) {
    for (uint16_t i = 0; i < BCD_BYTES; i++) next[i] = current[i];
    BcdAdd(next, previous);
    if (n <= 47) {
      const uint32_t binaryNext = binaryCurrent + binaryPrevious;
      binaryPrevious = binaryCurrent;
      binaryCurrent = binaryNext;
      ToBcd(binaryNext, expected);
      ok &= BcdEqual(next, expected);
    }
    for (uint16_t i = 0; i < BCD_BYTES; i++) {
      previous[i] = current[i];
      current[i] = next[i];
    }
  }
  acc = HashBcd(acc, current);

  /* Random sums and differences undo each other. */
  for (uint16_t k = 0; k < 12; k++) {
    const uint32_t a = Next(c), b = Next(c);
    ToBcd(a, current);
    ToBcd(b, next);
    BcdAdd(current, next);
    ToBcd(a + b, expected); /* both below 2^24: the sum fits */
    ok &= BcdEqual(current, expected);
    BcdSubtract(current, next);
    ToBcd(a, expected);
    ok &= BcdEqual(current, expected);
    BcdSubtract(next, current); /* b - a, borrowing through to the top when negative */
    acc = HashBcd(acc, next);
  }
  Check(c, ok, kKernelDecimal);
  return acc;
}

/* ---- An expression evaluator and a token interpreter ------------------ */

typedef struct {
  const char* at;
  int ok;
} Parser;

static int32_t ParseSum(Parser* p);

static int32_t ParseFactor(Parser* p) {
  if (*p->at == '(') {
    p->at++;
    const int32_t v = ParseSum(p);
    if (*p->at == ')') {
      p->at++;
    } else {
      p->ok = 0;
    }
    return v;
  }
  if (*p->at == '-') {
    p->at++;
    return (int32_t)(0u - (uint32_t)ParseFactor(p));
  }
  const char* start = p->at;
  const int32_t v = ParseSigned(p->at, &p->at);
  if (p->at == start) p->ok = 0;
  return v;
}

static int32_t ParseProduct(Parser* p) {
  int32_t v = ParseFactor(p);
  for (;;) {
    const char op = *p->at;
    if (op != '*' && op != '/' && op != '%') return v;
    p->at++;
    const int32_t rhs = ParseFactor(p);
    if (op == '*') {
      v = (int32_t)((uint32_t)v * (uint32_t)rhs);
    } else if (rhs == 0 || (v == INT32_MIN && rhs == -1)) {
      p->ok = 0;
    } else if (op == '/') {
      v /= rhs;
    } else {
      v %= rhs;
    }
  }
}

static int32_t ParseSum(Parser* p) {
  int32_t v = ParseProduct(p);
  for (;;) {
    const char op = *p->at;
    if (op != '+' && op != '-') return v;
    p->at++;
    const uint32_t rhs = (uint32_t)ParseProduct(p);
    v = (int32_t)(op == '+' ? (uint32_t)v + rhs : (uint32_t)v - rhs);
  }
}

/* Tokens of a small stack machine, as a calculator's program interpreter
 * dispatches them. */
enum Token {
  kPush,   /* next byte, sign-extended */
  kLoad,   /* variable n */
  kStore,  /* variable n */
  kAdd,
  kSub,
  kMul,
  kDivMod, /* a b -> a/b a%b */
  kDup,
  kSwap,
  kJumpIfNonZero, /* pops; relative jump by next byte */
  kCall,          /* absolute token offset */
  kReturn,
  kHalt,
};

static int32_t Interpret(const int8_t* code, int32_t* vars) {
  int32_t stack[16];
  uint16_t returns[8];
  uint16_t sp = 0, rp = 0, pc = 0;
  for (;;) {
    const int8_t token = code[pc++];
    switch (token) {
      case kPush:
        stack[sp++] = code[pc++];
        break;
      case kLoad:
        stack[sp++] = vars[code[pc++]];
        break;
      case kStore:
        vars[code[pc++]] = stack[--sp];
        break;
      case kAdd:
        sp--;
        stack[sp - 1] = (int32_t)((uint32_t)stack[sp - 1] + (uint32_t)stack[sp]);
        break;
      case kSub:
        sp--;
        stack[sp - 1] = (int32_t)((uint32_t)stack[sp - 1] - (uint32_t)stack[sp]);
        break;
      case kMul:
        sp--;
        stack[sp - 1] = (int32_t)((uint32_t)stack[sp - 1] * (uint32_t)stack[sp]);
        break;
      case kDivMod: {
        const int32_t a = stack[sp - 2], b = stack[sp - 1];
        stack[sp - 2] = b ? a / b : 0;
        stack[sp - 1] = b ? a % b : a;
        break;
      }
      case kDup:
        stack[sp] = stack[sp - 1];
        sp++;
        break;
      case kSwap: {
        const int32_t t = stack[sp - 1];
        stack[sp - 1] = stack[sp - 2];
        stack[sp - 2] = t;
        break;
      }
      case kJumpIfNonZero: {
        const int8_t offset = code[pc++];
        if (stack[--sp]) pc = (uint16_t)(pc + offset);
        break;
      }
      case kCall:
        returns[rp++] = (uint16_t)(pc + 1);
        pc = (uint16_t)code[pc];
        break;
      case kReturn:
        pc = returns[--rp];
        break;
      default:
        return sp ? stack[sp - 1] : 0;
    }
  }
}

/* fib(n) the slow way: a tree of calls. */
static uint16_t Fib(uint16_t n) { return n < 2 ? n : (uint16_t)(Fib((uint16_t)(n - 1)) + Fib((uint16_t)(n - 2))); }

static uint32_t RunInterpreter(Context* c) {
  static const char* const shapes[] = {"(A+B)*C-D", "A*(B-C)/D+A%D", "-(A-B*C)+(D/A)", "((A+B)+(C+D))*(A-D)%B"};
  /* The sum of the digit sums of 0..v0-1, with a subroutine for the digit sum. */
  static const int8_t program[] = {
      kPush, 0, kStore, 1,                           /* 0: total = 0 */
      kLoad, 0, kPush, 1, kSub, kDup,                /* 4: v0 - 1, twice */
      kStore, 0, kCall, 26, kLoad, 1,                /* 10: v0 -= 1; digitsum(v0) + total */
      kAdd, kStore, 1, kLoad, 0,                     /* 16: into total; v0 */
      kJumpIfNonZero, -19, kLoad, 1, kHalt,          /* 21: loop while v0 != 0, answer total */
      kPush, 0, kStore, 2,                           /* 26: digitsum(v): s = 0 */
      kPush, 10, kDivMod, kLoad, 2, kAdd, kStore, 2, /* 30: s += v % 10, v /= 10 */
      kDup, kJumpIfNonZero, -11,                     /* 38: while v != 0 */
      kLoad, 2, kAdd, kReturn,                       /* 41: leave s (v is 0) */
  };
  char text[96];
  int32_t vars[4];
  uint32_t acc = 0;
  int ok = 1;

  for (uint16_t k = 0; k < 6; k++) {
    int32_t operand[4];
    for (uint16_t i = 0; i < 4; i++) {
      operand[i] = (int32_t)(Next(c) % 2000u) + 1;
    }
    const char* shape = shapes[k & 3];
    char* at = text;
    for (const char* s = shape; *s; s++) {
      if (*s >= 'A' && *s <= 'D') {
        at += FormatSigned(operand[*s - 'A'], at);
      } else {
        *at++ = *s;
      }
    }
    *at = 0;
    Parser p = {text, 1};
    const int32_t value = ParseSum(&p);
    ok &= p.ok && *p.at == 0;
    const uint32_t a = (uint32_t)operand[0], b = (uint32_t)operand[1], cc = (uint32_t)operand[2],
                   d = (uint32_t)operand[3];
    uint32_t expected = 0;
    switch (k & 3) {
      case 0:
        expected = (a + b) * cc - d;
        break;
      case 1:
        expected = (uint32_t)((int32_t)(a * (b - cc)) / (int32_t)d) + a % d;
        break;
      case 2:
        expected = (0u - (a - b * cc)) + d / a;
        break;
      default:
        expected = (uint32_t)((int32_t)(((a + b) + (cc + d)) * (a - d)) % (int32_t)b);
        break;
    }
    ok &= (uint32_t)value == expected;
    acc = Mix(acc, (uint32_t)value);
  }

  vars[0] = (int32_t)(150 + Next(c) % 100u);
  const int32_t limit = vars[0];
  const int32_t total = Interpret(program, vars);
  int32_t direct = 0;
  for (int32_t v = 0; v < limit; v++) {
    for (int32_t w = v; w; w /= 10) direct += w % 10;
  }
  ok &= total == direct && vars[1] == direct;
  acc = Mix(acc, (uint32_t)total);

  const uint16_t f = Fib((uint16_t)(12 + (Next(c) & 3)));
  acc = Mix(acc, f);
  Check(c, ok, kKernelInterpreter);
  return acc;
}

uint32_t RunWorkload(uint32_t passes, uint8_t* frame, uint16_t* status) {
  Context c = {0x1234567u, 0};
  uint32_t checksum = 0;
  for (uint32_t pass = 0; pass < passes; pass++) {
    c.state ^= pass;
    checksum = Mix(checksum, RunChecksums(&c));
    checksum = Mix(checksum, RunSorting(&c));
    checksum = Mix(checksum, RunText(&c));
    checksum = Mix(checksum, RunArithmetic(&c));
    checksum = Mix(checksum, RunDrawing(&c, frame));
    checksum = Mix(checksum, RunDecimal(&c));
    checksum = Mix(checksum, RunInterpreter(&c));
  }
  *status = c.failed ? (uint16_t)(WORKLOAD_STATUS_FAILED + c.failed) : (uint16_t)WORKLOAD_STATUS_OK;
  return checksum;
}

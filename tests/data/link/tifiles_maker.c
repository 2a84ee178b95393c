/* Writes the test files that libtifiles makes: variables of several types,
 * a group holding them and ld-tigcc's programs, and flash files (tinyos as a
 * .9xu, a made-up application as a .9xk). Run by make.sh in this folder:
 *   tifiles_maker DIR
 * reads lcdfill.9xz, pxdata.9xy and tinyos-9x.tib from DIR and writes the
 * rest there. Built against Debian's libtifiles-dev (GPL); used only to make
 * test data. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tifiles.h>

static const char* dir;

static char* path(const char* name) {
  static char buffer[4096];
  snprintf(buffer, sizeof buffer, "%s/%s", dir, name);
  return buffer;
}

static void check(int error, const char* what) {
  if (error) {
    fprintf(stderr, "tifiles_maker: %s failed (libtifiles error %d)\n", what, error);
    exit(1);
  }
}

/* A variable whose data are the size word and then `body`. */
static VarEntry* variable(const char* folder, const char* name, uint8_t type, uint8_t attr, const uint8_t* body,
                          unsigned length) {
  VarEntry* ve = tifiles_ve_create();
  strcpy(ve->folder, folder);
  strcpy(ve->name, name);
  ve->type = type;
  ve->attr = attr;
  ve->size = length + 2;
  ve->data = tifiles_ve_alloc_data(ve->size);
  ve->data[0] = (uint8_t)(length >> 8);
  ve->data[1] = (uint8_t)length;
  memcpy(ve->data + 2, body, length);
  return ve;
}

static void write_file(const char* name, const char* comment, VarEntry** entries, unsigned count) {
  FileContent* content = tifiles_content_create_regular(CALC_TI92P);
  /* The comment field is written whole: no leftovers after the text. */
  memset(content->comment, 0, sizeof content->comment);
  strcpy(content->comment, comment);
  for (unsigned i = 0; i < count; ++i) tifiles_content_add_entry(content, tifiles_ve_dup(entries[i]));
  check(tifiles_file_write_regular(path(name), content, NULL), name);
  tifiles_content_delete_regular(content);
}

static VarEntry* read_single(const char* name, const char* folder) {
  FileContent* content = tifiles_content_create_regular(CALC_TI92P);
  check(tifiles_file_read_regular(path(name), content), name);
  VarEntry* ve = tifiles_ve_dup(content->entries[0]);
  strcpy(ve->folder, folder);
  tifiles_content_delete_regular(content);
  return ve;
}

static void write_flash(const char* name, const char* title, uint8_t type, const uint8_t* data, unsigned length) {
  FlashContent* content = tifiles_content_create_flash(CALC_TI92P);
  strcpy(content->name, title);
  content->device_type = 0x88;
  content->data_type = type;
  content->revision_major = 1;
  content->revision_minor = 0;
  content->revision_day = 0x10;
  content->revision_month = 0x12;
  content->revision_year = 0x2026;
  content->data_length = length;
  content->data_part = malloc(length);
  memcpy(content->data_part, data, length);
  check(tifiles_file_write_flash(path(name), content), name);
  tifiles_content_delete_flash(content);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: tifiles_maker DIR\n");
    return 2;
  }
  dir = argv[1];
  tifiles_library_init();

  /* A string: 0, the text, 0, STR_TAG. */
  static const uint8_t text[] = "\0Hello from Pellux\0\x2D";
  /* An expression: the integer 42 (value, length, POSINT_TAG). */
  static const uint8_t answer[] = {0x2A, 0x01, 0x1F};
  /* The list {2,3,5,7,11}: END_TAG, the elements from last to first, LIST_TAG. */
  static const uint8_t primes[] = {0xE5, 0x0B, 0x01, 0x1F, 0x07, 0x01, 0x1F, 0x05, 0x01, 0x1F,
                                   0x03, 0x01, 0x1F, 0x02, 0x01, 0x1F, 0xD9};
  /* A text: the cursor's place, lines each led by a space, 0, TEXT_TAG. */
  static const uint8_t note[] = "\0\x01 Made by libtifiles\r for Pellux's tests\0\xE0";

  VarEntry* hello = variable("main", "hello", 0x0C, ATTRB_NONE, text, sizeof text - 1);
  VarEntry* number = variable("main", "answer", 0x00, ATTRB_NONE, answer, sizeof answer);
  VarEntry* list = variable("demo", "primes", 0x04, ATTRB_NONE, primes, sizeof primes);
  VarEntry* readme = variable("demo", "readme", 0x0B, ATTRB_LOCKED, note, sizeof note - 1);

  write_file("hello.9xs", "A string made by libtifiles", &hello, 1);
  write_file("answer.9xe", "An expression made by libtifiles", &number, 1);
  write_file("primes.9xl", "A list made by libtifiles", &list, 1);
  write_file("readme.9xt", "A locked text made by libtifiles", &readme, 1);

  VarEntry* group[] = {hello, read_single("lcdfill.9xz", "main"), number, list,
                       readme, read_single("pxdata.9xy", "demo")};
  write_file("mixed.9xg", "A group made by libtifiles", group, sizeof group / sizeof group[0]);

  FILE* tib = fopen(path("tinyos-9x.tib"), "rb");
  if (!tib) {
    perror("tinyos-9x.tib");
    return 1;
  }
  static uint8_t os[65536];
  const size_t os_length = fread(os, 1, sizeof os, tib);
  fclose(tib);
  write_flash("tinyos.9xu", "tinyos", 0x23, os, (unsigned)os_length);

  /* Not a runnable application: its header field (81 0F and the length of
   * the rest, which libtifiles looks for), then bytes to carry. */
  uint8_t app[300];
  for (unsigned i = 0; i < sizeof app; ++i) app[i] = (uint8_t)(i * 7 + 3);
  app[0] = 0x81;
  app[1] = 0x0F;
  app[2] = app[3] = app[4] = 0;
  app[5] = sizeof app - 6;
  write_flash("sample.9xk", "sample", 0x24, app, sizeof app);

  tifiles_library_exit();
  return 0;
}

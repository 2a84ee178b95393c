#include "keyboard.h"

#include "hw.h"
#include "system.h"

volatile uint8_t gKeysDown[10];
static volatile uint8_t anyDown;  // some byte of gKeysDown is not 0

enum { kQueueSize = 32 };
static volatile uint16_t queue[kQueueSize];
static volatile uint8_t queueHead, queueTail;  // read at head, write at tail

static void Queue(uint16_t event) {
  const uint8_t next = (uint8_t)((queueTail + 1) % kQueueSize);
  if (next == queueHead) return;  // full: the event is dropped
  queue[queueTail] = event;
  queueTail = next;
}

// Rows 0-7 are selected by a 0 bit in port 0x19, rows 8 and 9 by bits 0 and
// 1 of port 0x18; one word write sets both ports.
static void SelectRow(int row) {
  uint16_t select = 0x03FF;
  select &= (uint16_t)~(row < 8 ? 1u << row : 0x100u << (row - 8));
  *(volatile uint16_t*)(0x600000 + kPortKeyRowsHigh) = select;
}

void KeyboardScan(void) {
  uint8_t shifted = 0, any = 0;
  for (int row = 0; row < 10; ++row) {
    SelectRow(row);
    const uint8_t down = (uint8_t)~PORT(kPortKeyColumns);
    const uint8_t changed = down ^ gKeysDown[row];
    if (row == 0) shifted = down & (1u << kKeyShift);  // row 0 is read first
    for (int col = 0; changed >> col; ++col) {
      if (!(changed & (1u << col))) continue;
      const uint16_t code = (uint16_t)(row * 8 + col);
      if (down & (1u << col)) {
        Queue(code | (shifted ? kKeyShifted : 0));
      } else {
        Queue(code | kKeyReleased);
      }
    }
    gKeysDown[row] = down;
    any |= down;
  }
  anyDown = any;
  *(volatile uint16_t*)(0x600000 + kPortKeyRowsHigh) = 0x03FF;  // no row selected
}

int KeyboardAnyDown(void) { return anyDown; }

int KeyboardHasEvent(void) { return queueHead != queueTail; }

int KeyboardNextEvent(void) {
  IrqDisable();
  int event = -1;
  if (queueHead != queueTail) {
    event = queue[queueHead];
    queueHead = (uint8_t)((queueHead + 1) % kQueueSize);
  }
  IrqEnable();
  return event;
}

void OnKeyboard(void) {
  ++gIrqCount[2];
  KeyboardScan();
}

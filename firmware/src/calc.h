// A small integer calculator: the entry line is an expression with + - * /,
// parentheses and unary minus, evaluated on ENTER in 32-bit signed integers.
#pragma once

#include <stdint.h>

enum { kEntryCapacity = 26, kHistoryLines = 4 };

// Even-sized and word-aligned: GCC copies structs a word or long at a time.
struct HistoryLine {
  char expression[kEntryCapacity];
  char result[24];  // the value, or an error message
} __attribute__((aligned(2)));

struct Calculator {
  char entry[kEntryCapacity];
  int32_t answer;   // the last value computed
  int hasAnswer;    // an operator typed first continues from the answer
  int lines;        // history lines in use, newest last
  struct HistoryLine history[kHistoryLines];
};

extern struct Calculator gCalc;

// The character a key stands for in the calculator ('0'-'9', operators,
// '(' ')', '\n' for ENTER, '\b' for backspace, 'C' for clear), or 0.
char CalcKeyChar(int event);
// What CalcInput changed: nothing, the entry line, or the history too.
enum CalcChange { kCalcUnchanged, kCalcEntryChanged, kCalcAllChanged };
enum CalcChange CalcInput(char c);

// Evaluates an expression. Returns 0 and the value, or an error message.
const char* CalcEvaluate(const char* expression, int32_t* value);

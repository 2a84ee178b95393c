#include "calc.h"

#include "keyboard.h"
#include "util.h"

struct Calculator gCalc;

char CalcKeyChar(int event) {
  const int code = event & kKeyCodeMask;
  const int shifted = (event & kKeyShifted) != 0;
  switch (code) {
    case 13: return '1';
    case 14: return '2';
    case 15: return '3';
    case 21: return '4';
    case 22: return '5';
    case 23: return '6';
    case 29: return '7';
    case 30: return shifted ? '*' : '8';  // SHIFT 8 types '*' on a PC
    case 31: return shifted ? '(' : '9';
    case 77: return shifted ? ')' : '0';
    case 0: return shifted ? '+' : '\n';  // '=': SHIFT '=' is '+'
    case 68: return '+';
    case 72: case 79: return '-';
    case 63: case 17: return '*';  // '*' or X
    case 40: case 56: return '/';
    case 37: return '(';
    case 38: return ')';
    case 73: return '\n';  // ENTER
    case 64: return '\b';  // BKSP
    case 70: case 61: return 'C';  // ESC, DEL
    default: return 0;
  }
}

static void AddHistory(const char* expression, const char* result) {
  if (gCalc.lines == kHistoryLines) {
    for (int i = 1; i < kHistoryLines; ++i) gCalc.history[i - 1] = gCalc.history[i];
    --gCalc.lines;
  }
  struct HistoryLine* line = &gCalc.history[gCalc.lines++];
  StrCopy(line->expression, expression, kEntryCapacity);
  StrCopy(line->result, result, sizeof line->result);
}

static int IsOperator(char c) { return c == '+' || c == '-' || c == '*' || c == '/'; }

enum CalcChange CalcInput(char c) {
  char* entry = gCalc.entry;
  const int length = StrLen(entry);
  if (c == 'C') {
    entry[0] = 0;
    if (length > 0) return kCalcEntryChanged;
    gCalc.lines = 0;  // a second clear empties the history
    return kCalcAllChanged;
  }
  if (c == '\b') {
    if (length == 0) return kCalcUnchanged;
    entry[length - 1] = 0;
    return kCalcEntryChanged;
  }
  if (c == '\n') {
    if (length == 0) return kCalcUnchanged;
    int32_t value;
    const char* error = CalcEvaluate(entry, &value);
    char text[24];
    if (error) {
      StrCopy(text, error, sizeof text);
    } else {
      FormatInt(text, value);
      gCalc.answer = value;
      gCalc.hasAnswer = 1;
    }
    AddHistory(entry, text);
    entry[0] = 0;
    return kCalcAllChanged;
  }
  // An operator on an empty line continues from the last answer.
  if (length == 0 && IsOperator(c) && c != '-' && gCalc.hasAnswer) {
    FormatInt(entry, gCalc.answer);
  }
  const int used = StrLen(entry);
  if (used >= kEntryCapacity - 1) return kCalcUnchanged;
  entry[used] = c;
  entry[used + 1] = 0;
  return kCalcEntryChanged;
}

// Recursive descent over the expression, in 32-bit signed arithmetic with
// every overflow reported.
struct Parser {
  const char* p;
  const char* error;
};

static const char kSyntax[] = "Syntax error";
static const char kOverflow[] = "Overflow";
static const char kDivideByZero[] = "Division by zero";

static int32_t Expression(struct Parser* parser);

static int32_t Fail(struct Parser* parser, const char* error) {
  if (!parser->error) parser->error = error;
  return 0;
}

static int32_t Factor(struct Parser* parser) {
  const char c = *parser->p;
  if (c == '-') {
    ++parser->p;
    const int32_t value = Factor(parser);
    if (value == INT32_MIN) return Fail(parser, kOverflow);
    return -value;
  }
  if (c == '(') {
    ++parser->p;
    const int32_t value = Expression(parser);
    if (*parser->p != ')') return Fail(parser, kSyntax);
    ++parser->p;
    return value;
  }
  if (c < '0' || c > '9') return Fail(parser, kSyntax);
  int32_t value = 0;
  while (*parser->p >= '0' && *parser->p <= '9') {
    const int digit = *parser->p++ - '0';
    if (value > (INT32_MAX - digit) / 10) return Fail(parser, kOverflow);
    value = value * 10 + digit;
  }
  return value;
}

static int32_t Multiply(struct Parser* parser, int32_t a, int32_t b) {
  const int32_t product = (int32_t)((uint32_t)a * (uint32_t)b);
  if (a != 0 && (product / a != b || (a == -1 && b == INT32_MIN))) return Fail(parser, kOverflow);
  return product;
}

static int32_t Term(struct Parser* parser) {
  int32_t value = Factor(parser);
  while (!parser->error && (*parser->p == '*' || *parser->p == '/')) {
    const char op = *parser->p++;
    const int32_t rhs = Factor(parser);
    if (parser->error) break;
    if (op == '*') {
      value = Multiply(parser, value, rhs);
    } else if (rhs == 0) {
      return Fail(parser, kDivideByZero);
    } else if (value == INT32_MIN && rhs == -1) {
      return Fail(parser, kOverflow);
    } else {
      value /= rhs;
    }
  }
  return value;
}

static int32_t Expression(struct Parser* parser) {
  int32_t value = Term(parser);
  while (!parser->error && (*parser->p == '+' || *parser->p == '-')) {
    const char op = *parser->p++;
    const int32_t rhs = Term(parser);
    if (parser->error) break;
    const int32_t result =
        (int32_t)(op == '+' ? (uint32_t)value + (uint32_t)rhs : (uint32_t)value - (uint32_t)rhs);
    // Overflow: the operands (rhs negated for '-') share a sign the result lacks.
    const int32_t b = op == '+' ? rhs : ~rhs;
    if (((value ^ result) & (b ^ result)) < 0) return Fail(parser, kOverflow);
    value = result;
  }
  return value;
}

const char* CalcEvaluate(const char* expression, int32_t* value) {
  struct Parser parser = {expression, 0};
  *value = Expression(&parser);
  if (!parser.error && *parser.p) parser.error = kSyntax;
  return parser.error;
}

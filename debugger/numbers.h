// Numbers written as text: one parser of unsigned digits, and the two hex
// forms built on it (gdb's bare digits, and an address a person types).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/result.h"

namespace pellux {

enum class NumberError { NotANumber, TooLarge };

// The number, or which way the text failed to be one (the caller words the
// message: it knows what the number was for).
using ParsedNumber = Result<std::uint64_t, KindedError<NumberError>>;

// Digits in the base (10 or 16; hex in either case) and nothing else: no
// sign, no prefix, no blanks. Leading zeros are digits like any other. A
// value above `largest` is TooLarge, but a text with a non-digit anywhere is
// NotANumber however many digits come before it.
ParsedNumber ParseUnsigned(std::string_view digits, unsigned base, std::uint64_t largest = UINT64_MAX);

// 1 to 8 hex digits, the whole text: how gdb's packets and the listing's
// operands write numbers. Nothing otherwise.
std::optional<std::uint32_t> ParseHex(std::string_view digits);

// A hex number as a person types it: ParseHex's digits, with blanks (spaces,
// tabs) around them and an optional "0x", "0X" or "$" before them.
std::optional<std::uint32_t> ParseTypedHex(std::string_view text);

}  // namespace pellux

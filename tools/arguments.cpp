#include "tools/arguments.h"

#include <algorithm>

namespace pellux {

namespace {

const OptionSpec* FindOption(std::span<const OptionSpec> options, std::string_view name) {
  const auto found =
      std::find_if(options.begin(), options.end(), [&](const OptionSpec& o) { return o.name == name; });
  return found == options.end() ? nullptr : &*found;
}

// The length of the well-formed UTF-8 character at the start of text that is
// not a control character (U+0080 to U+009F), or 0.
std::size_t PrintableUtf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    if (lead == 0xC2) low = 0xA0;  // U+0080 to U+009F are controls
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong below
    if (lead == 0xED) high = 0x9F;  // surrogates above
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

SplitArguments SplitCommandLine(std::span<const std::string_view> args, std::span<const OptionSpec> options) {
  std::vector<Argument> items;
  auto fail = [&](std::string message) { return SplitError{std::move(message), std::move(items)}; };
  bool operandsOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
      items.push_back({{}, std::string(arg)});
      continue;
    }
    if (arg == "--") {
      operandsOnly = true;
      continue;
    }
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
    const std::string_view name = arg.substr(0, equals);
    const OptionSpec* known = FindOption(options, name);
    if (!known) return fail("unknown option " + Quoted(name));
    if (!known->takesValue) {
      if (equals != std::string_view::npos)
        return fail("option '" + std::string(known->name) + "' takes no value");
      items.push_back({known->name, {}});
      continue;
    }
    std::string value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    }
    if (value.empty() && !known->emptyValueIsCallers)
      return fail("option '" + std::string(known->name) + "' needs a value");
    items.push_back({known->name, std::move(value)});
  }
  return items;
}

SplitArguments SplitCommandLine(std::span<const std::string> args, std::span<const OptionSpec> options) {
  const std::vector<std::string_view> views(args.begin(), args.end());
  return SplitCommandLine(std::span<const std::string_view>(views), options);
}

std::string Quoted(std::string_view text, std::size_t limit) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string quoted = "'";
  std::size_t shown = 0;
  std::size_t at = 0;
  while (at < text.size() && shown < limit) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '\'' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
      ++at;
    } else if (c >= 0x20 && c < 0x7F) {
      quoted += static_cast<char>(c);
      ++at;
    } else if (const std::size_t length = PrintableUtf8Length(text.substr(at))) {
      quoted.append(text.substr(at, length));
      at += length;
    } else {
      quoted += "\\x";
      quoted += kHex[c >> 4];
      quoted += kHex[c & 15];
      ++at;
    }
    ++shown;
  }
  quoted += '\'';
  if (at < text.size()) quoted += "... (" + std::to_string(text.size()) + " bytes)";
  return quoted;
}

}  // namespace pellux

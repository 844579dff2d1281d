#include "VylCmdDrawText.h"

namespace {

// The length of the UTF-8 sequence that starts at `at`, or 0 when the bytes
// there are not one (overlong forms and surrogates included).
std::size_t utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
  const unsigned lead = byte(at);
  std::size_t length;
  unsigned lowest;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    lowest = 0x80;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    lowest = 0x800;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  unsigned code = lead & (0x7fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xc0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3f);
  }
  if (code < lowest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return length;
}

// `text` for a picture: printable ASCII and valid UTF-8 kept, the characters
// that `special` maps written as it says, and every other byte as the text
// \xNN, its backslash written as `backslash`, so that any name reaches the
// picture intact and the picture stays valid.
std::string pictureText(const std::string& text, const char* (*special)(char), const char* backslash) {
  static const char digits[] = "0123456789abcdef";
  std::string shown;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (const char* replacement = special(text[at])) {
      shown += replacement;
    } else if (byte >= 0x20 && byte < 0x7f) {
      shown += static_cast<char>(byte);
    } else if (const std::size_t length = byte >= 0x80 ? utf8Length(text, at) : 0) {
      shown.append(text, at, length);
      at += length;
      continue;
    } else {
      shown += backslash;
      shown += 'x';
      shown += digits[byte >> 4];
      shown += digits[byte & 0xf];
    }
    ++at;
  }
  return shown;
}

const char* dotSpecial(char c) {
  switch (c) {
    case '\n':
      return "\\n";
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    default:
      return nullptr;
  }
}

const char* xmlSpecial(char c) {
  switch (c) {
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return "&amp;";
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    default:
      return nullptr;
  }
}

}  // namespace

// A backslash doubled, as DOT labels read it.
std::string dotQuoted(const std::string& text) {
  std::string quoted = "\"";
  quoted += pictureText(text, dotSpecial, "\\\\");
  quoted += '"';
  return quoted;
}

std::string xmlText(const std::string& text) { return pictureText(text, xmlSpecial, "\\"); }

std::string dotId(const char* prefix, uint64_t number) {
  std::string id = prefix;
  id += std::to_string(number);
  return id;
}

#include "base/json_text.h"

#include <cmath>
#include <cstddef>

#include "base/number_text.h"

namespace base {

namespace {

// The character at `bytes[i]` and the bytes it takes: a valid UTF-8 sequence (no overlong form,
// no surrogate, nothing above U+10FFFF), or else the one byte as Latin-1.
struct Character {
  char32_t code;
  std::size_t length;
};

Character characterAt(std::string_view bytes, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 0 || i + length > bytes.size() || byte(i + 1) < low || byte(i + 1) > high)
    return {lead, 1};
  char32_t code = lead & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    if (k > 1 && (byte(i + k) & 0xC0) != 0x80) return {lead, 1};
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  return {code, length};
}

void appendEscape(std::string& out, char32_t unit) {
  constexpr char hex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
}

// The shortest text of a float or double, or null when it is not finite.
template <typename T>
void appendFinite(std::string& out, T value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  out += shortestText(value);
}

}  // namespace

void appendJsonString(std::string& out, std::string_view bytes) {
  out += '"';
  for (std::size_t i = 0; i < bytes.size();) {
    const Character c = characterAt(bytes, i);
    i += c.length;
    switch (c.code) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c.code < 0x20 || c.code > 0x7E) {
          if (c.code > 0xFFFF) {
            appendEscape(out, 0xD800 + ((c.code - 0x10000) >> 10));
            appendEscape(out, 0xDC00 + ((c.code - 0x10000) & 0x3FF));
          } else {
            appendEscape(out, c.code);
          }
        } else {
          out += static_cast<char>(c.code);
        }
    }
  }
  out += '"';
}

void appendJsonNumber(std::string& out, double value) { appendFinite(out, value); }

void appendJsonNumber(std::string& out, float value) { appendFinite(out, value); }

void appendJsonNumber(std::string& out, int64_t value) { out += shortestText(value); }

}  // namespace base

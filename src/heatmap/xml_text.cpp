#include "heatmap/xml_text.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace heatmap {

namespace {

constexpr char32_t replacement = 0xFFFD;
constexpr char32_t ellipsis = 0x2026;

// The length of the valid UTF-8 sequence at the start of `bytes` and its character, or 0 when
// the first byte does not start one (overlong forms and surrogates are not valid).
std::size_t utf8Sequence(std::string_view bytes, char32_t& character) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (byte(i) & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  character = value;
  return length;
}

// XML 1.0 allows tab, line feed and carriage return among the controls; U+0080 to U+009F are
// allowed but mean nothing on screen, and U+FFFE/U+FFFF are not characters.
bool allowedInXml(char32_t c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  if (c >= 0x7F && c <= 0x9F) return false;
  return c != 0xFFFE && c != 0xFFFF;
}

void appendCharacter(std::string& out, char32_t c) {
  switch (c) {
    case '&':
      out += "&amp;";
      return;
    case '<':
      out += "&lt;";
      return;
    case '>':
      out += "&gt;";
      return;
    case '"':
      out += "&quot;";
      return;
    case '\'':
      out += "&apos;";
      return;
    default:
      break;
  }
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  std::array<char, 8> digits{};
  const auto end =
      std::to_chars(digits.data(), digits.data() + digits.size(), static_cast<uint32_t>(c), 16).ptr;
  out += "&#x";
  out.append(digits.data(), end);
  out += ';';
}

}  // namespace

XmlTextLength appendXmlText(std::string& out, std::string_view bytes, std::size_t maxCharacters) {
  std::size_t written = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (written == maxCharacters) {
      appendCharacter(out, ellipsis);
      return {written + 1, true};
    }
    char32_t c = 0;
    const std::size_t length = utf8Sequence(bytes.substr(i), c);
    if (length == 0) {
      c = static_cast<unsigned char>(bytes[i]);  // not UTF-8: the byte is a Latin-1 character
      i += 1;
    } else {
      i += length;
    }
    appendCharacter(out, allowedInXml(c) ? c : replacement);
    ++written;
  }
  return {written, false};
}

}  // namespace heatmap

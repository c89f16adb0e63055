#include "report/page_settings.h"

#include <charconv>
#include <cstdint>

namespace report {

namespace {

// Appends code point `c` in UTF-8.
void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
}

// Reads the four hex digits at `at`; false when they are not there.
bool hex4(std::string_view text, std::size_t at, uint32_t& value) {
  if (at + 4 > text.size()) return false;
  const char* first = text.data() + at;
  return std::from_chars(first, first + 4, value, 16).ptr == first + 4;
}

// Reads the string whose opening quote is at `at` into `out`; returns the index after its
// closing quote, or npos for a string that does not end.
std::size_t readString(std::string_view text, std::size_t at, std::string& out) {
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') return i + 1;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= text.size()) break;
    const char e = text[i];
    uint32_t code = 0;
    if (e == 'u' && hex4(text, i + 1, code)) {
      i += 4;
      uint32_t low = 0;
      // A pair of surrogates is one character beyond U+FFFF.
      if (code >= 0xd800 && code < 0xdc00 && text.substr(i + 1, 2) == "\\u" &&
          hex4(text, i + 3, low) && low >= 0xdc00 && low < 0xe000) {
        code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
        i += 6;
      } else if (code >= 0xd800 && code < 0xe000) {
        code = 0xfffd;
      }
      appendUtf8(out, code);
      continue;
    }
    const std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
    const auto which = from.find(e);
    out += which == std::string_view::npos ? e : to[which];
  }
  return std::string_view::npos;
}

// The index after the value that starts at `at` (outside strings, brackets balanced).
std::size_t valueEnd(std::string_view text, std::size_t at) {
  int depth = 0;
  for (std::size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      std::string ignored;
      i = readString(text, i, ignored);
      if (i == std::string_view::npos) return i;
      --i;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth == 0) return i;
      --depth;
    } else if (c == ',' && depth == 0) {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> settingsMembers(std::string_view object) {
  std::vector<std::pair<std::string, std::string>> members;
  if (object.size() < 2 || object.front() != '{') return members;
  std::size_t at = 1;
  while (at < object.size() && object[at] == '"') {
    std::string name, value;
    at = readString(object, at, name);
    if (at >= object.size() || object[at] != ':') break;
    const std::size_t end = valueEnd(object, at + 1);
    if (end == std::string_view::npos) break;
    const std::string_view text = object.substr(at + 1, end - at - 1);
    if (!text.empty() && text.front() == '"')
      readString(text, 0, value);
    else
      value = std::string(text);
    members.emplace_back(std::move(name), std::move(value));
    at = end + (object[end] == ',' ? 1 : 0);
  }
  return members;
}

}  // namespace report

#pragma once

#include <array>
#include <charconv>
#include <string>
#include <string_view>

// Small helpers that write the heatmap's SVG text: numbers through to_chars, so the global
// locale has no say in the picture, and one element's attributes as a chain of calls.
namespace svgtext {

inline constexpr std::string_view crlf = "\r\n";

// Appends `value` in decimal digits.
inline void appendInt(std::string& out, long long value) {
  std::array<char, 24> digits{};
  out.append(digits.data(), std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr);
}

// Appends to the string it was made with: raw text, or ' name="value"' attributes. Holds a
// reference to that string, which must outlive it.
class Line {
 public:
  explicit Line(std::string& out) : out_(out) {}
  Line& raw(std::string_view text) {
    out_ += text;
    return *this;
  }
  Line& num(std::string_view name, long long value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    appendInt(out_, value);
    out_ += '"';
    return *this;
  }
  Line& str(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += value;
    out_ += '"';
    return *this;
  }

 private:
  std::string& out_;
};

}  // namespace svgtext

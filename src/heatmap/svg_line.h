#pragma once

#include <array>
#include <charconv>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace heatmap {

// The one way the heatmap and the design picture write their SVG text: numbers through
// to_chars, so the global locale has no say in the picture, and each line of markup as a chain
// of calls that end() closes with the pictures' CRLF line end.
namespace svgtext {

// Appends to the string it was made with: raw text, numbers, ' name="value"' attributes and,
// through end(), the line end. Also builds the text of an attribute (path data, a label) in a
// string of its own, left without a line end. Holds a reference to that string, which must
// outlive it.
class Line {
 public:
  explicit Line(std::string& out) : out_(out) {}
  // Appends `text` as it is: markup, or text already escaped for XML.
  Line& raw(std::string_view text) {
    out_ += text;
    return *this;
  }
  // Appends one character as it is.
  Line& raw(char c) {
    out_ += c;
    return *this;
  }
  // Appends `value` in decimal digits.
  Line& num(long long value) {
    std::array<char, 24> digits{};
    out_.append(digits.data(),
                std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr);
    return *this;
  }
  // Appends ' name="value"' with `value` in decimal digits.
  Line& num(std::string_view name, long long value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    num(value);
    out_ += '"';
    return *this;
  }
  // Appends ' name="value"' with `value` as it is.
  Line& str(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += value;
    out_ += '"';
    return *this;
  }
  // Appends the x, y, width and height attributes of a rectangle.
  Line& box(long long x, long long y, long long width, long long height) {
    return num("x", x).num("y", y).num("width", width).num("height", height);
  }
  // Appends the x and y attributes of a text turned a quarter to the left about its anchor.
  Line& rotated(long long x, long long y) {
    return num("x", x)
        .num("y", y)
        .raw(" transform=\"rotate(-90 ")
        .num(x)
        .raw(' ')
        .num(y)
        .raw(")\"");
  }
  // Appends what `append(out, args...)` appends: a value in a format of its own, such as a
  // colour or a correlation.
  template <typename Append, typename... Args>
  Line& put(Append&& append, Args&&... args) {
    std::forward<Append>(append)(out_, std::forward<Args>(args)...);
    return *this;
  }
  // Ends the line: the only place the pictures' line end is written.
  void end() { out_ += "\r\n"; }

 private:
  std::string& out_;
};

// Appends each of `lines` as a line of its own.
inline void appendLines(std::string& out, std::initializer_list<std::string_view> lines) {
  for (const std::string_view line : lines) Line(out).raw(line).end();
}

// Appends a group: the opening tag `open` on a line of its own, the `bodies` (whole lines, each
// already ended) and the closing tag.
template <typename... Bodies>
void appendGroup(std::string& out, std::string_view open, const Bodies&... bodies) {
  Line(out).raw(open).end();
  ((out += bodies), ...);
  Line(out).raw("</g>").end();
}

// Appends a text element at (x, y) holding `content` (markup, already escaped); `attributes`,
// such as ' class="sub"', stand before its position.
inline void appendText(std::string& out, long long x, long long y, std::string_view content,
                       std::string_view attributes = {}) {
  Line(out)
      .raw("<text")
      .raw(attributes)
      .num("x", x)
      .num("y", y)
      .raw('>')
      .raw(content)
      .raw("</text>")
      .end();
}

// Appends the same, turned a quarter to the left about (x, y).
inline void appendRotatedText(std::string& out, long long x, long long y, std::string_view content,
                              std::string_view attributes = {}) {
  Line(out).raw("<text").raw(attributes).rotated(x, y).raw('>').raw(content).raw("</text>").end();
}

}  // namespace svgtext

}  // namespace heatmap

// jsonObjectText: a recursive descent over the grammar that copies each token as it is read, so
// that nothing is parsed into values and no number changes its text.

#include "contract/json_object.h"

namespace contract {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

void appendEscape(std::string& out, char32_t unit) {
  constexpr char hex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
}

class ObjectReader {
 public:
  explicit ObjectReader(std::string_view in) : in_(in) {}

  JsonObjectText read() {
    skipBlanks();
    if (peek() != '{') {
      fail("a JSON object must begin here with '{'");
    } else if (object(1)) {
      skipBlanks();
      if (at_ < in_.size()) fail("more text after the object");
    }
    if (!problem_.empty()) return {"", problem_};
    return {std::move(out_), ""};
  }

 private:
  char peek() const { return at_ < in_.size() ? in_[at_] : '\0'; }
  bool atEnd() const { return at_ >= in_.size(); }

  bool fail(const std::string& what) {
    if (problem_.empty()) problem_ = "byte " + std::to_string(at_ + 1) + ": " + what;
    return false;
  }

  void skipBlanks() {
    while (!atEnd() && isBlank(in_[at_])) ++at_;
  }

  // Copies `c` when it is next; else fails saying it is missing.
  bool expect(char c) {
    skipBlanks();
    if (peek() != c) return fail(std::string("a '") + c + "' is missing");
    out_ += c;
    ++at_;
    return true;
  }

  bool value(std::size_t depth) {
    skipBlanks();
    switch (peek()) {
      case '{':
        return object(depth + 1);
      case '[':
        return array(depth + 1);
      case '"':
        return string();
      case 't':
        return literal("true");
      case 'f':
        return literal("false");
      case 'n':
        return literal("null");
      default:
        return number();
    }
  }

  bool object(std::size_t depth) {
    if (depth > maxJsonDepth) return fail("nested deeper than " + std::to_string(maxJsonDepth));
    out_ += '{';
    ++at_;
    skipBlanks();
    if (peek() == '}') return expect('}');
    for (;;) {
      skipBlanks();
      if (peek() != '"') return fail("a member's name (a string) is missing");
      if (!string() || !expect(':') || !value(depth)) return false;
      skipBlanks();
      if (peek() != ',') return expect('}');
      expect(',');
    }
  }

  bool array(std::size_t depth) {
    if (depth > maxJsonDepth) return fail("nested deeper than " + std::to_string(maxJsonDepth));
    out_ += '[';
    ++at_;
    skipBlanks();
    if (peek() == ']') return expect(']');
    for (;;) {
      if (!value(depth)) return false;
      skipBlanks();
      if (peek() != ',') return expect(']');
      expect(',');
    }
  }

  bool literal(std::string_view word) {
    if (in_.substr(at_, word.size()) != word) return fail("not a JSON value");
    out_ += word;
    at_ += word.size();
    return true;
  }

  // Copies the digits that come next; false when there is none.
  bool digits() {
    const std::size_t first = at_;
    while (isDigit(peek())) out_ += in_[at_++];
    return at_ > first;
  }

  bool number() {
    if (peek() == '-') out_ += in_[at_++];
    if (peek() == '0') {
      out_ += in_[at_++];
    } else if (!digits()) {
      return fail("not a JSON value");
    }
    if (peek() == '.') {
      out_ += in_[at_++];
      if (!digits()) return fail("a digit is missing after the point");
    }
    if (peek() == 'e' || peek() == 'E') {
      out_ += in_[at_++];
      if (peek() == '+' || peek() == '-') out_ += in_[at_++];
      if (!digits()) return fail("a digit is missing in the exponent");
    }
    return true;
  }

  bool string() {
    out_ += in_[at_++];
    for (;;) {
      if (atEnd()) return fail("the string does not end");
      const auto byte = static_cast<unsigned char>(in_[at_]);
      if (byte == '"') {
        out_ += in_[at_++];
        return true;
      }
      if (byte < 0x20) return fail("a control character inside a string");
      if (byte == '\\') {
        if (!escape()) return false;
      } else if (byte < 0x80) {
        out_ += in_[at_++];
      } else if (!character()) {
        return fail("not UTF-8");
      }
    }
  }

  bool escape() {
    const char kind = at_ + 1 < in_.size() ? in_[at_ + 1] : '\0';
    std::size_t length = 2;
    if (kind == 'u') {
      length = 6;
      for (std::size_t k = 2; k < length; ++k)
        if (at_ + k >= in_.size() || !isHexDigit(in_[at_ + k])) return fail("a bad \\u escape");
    } else if (std::string_view("\"\\/bfnrt").find(kind) == std::string_view::npos) {
      return fail("a bad escape");
    }
    out_ += in_.substr(at_, length);
    at_ += length;
    return true;
  }

  // A character of two to four bytes (no overlong form, no surrogate, nothing above U+10FFFF),
  // written as one escape or a surrogate pair.
  bool character() {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(in_[at_ + k]); };
    const unsigned char lead = byte(0);
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
    if (length == 0 || at_ + length > in_.size() || byte(1) < low || byte(1) > high) return false;
    char32_t code = lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
      if ((byte(k) & 0xC0) != 0x80) return false;
      code = (code << 6) | (byte(k) & 0x3F);
    }
    if (code >= 0x10000) {
      appendEscape(out_, 0xD800 + ((code - 0x10000) >> 10));
      appendEscape(out_, 0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      appendEscape(out_, code);
    }
    at_ += length;
    return true;
  }

  std::string_view in_;
  std::size_t at_ = 0;
  std::string out_;
  std::string problem_;
};

}  // namespace

JsonObjectText jsonObjectText(std::string_view json) { return ObjectReader(json).read(); }

}  // namespace contract

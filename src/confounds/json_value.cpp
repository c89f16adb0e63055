#include "confounds/json_value.h"

#include <charconv>
#include <system_error>
#include <utility>

namespace confounds {

namespace {

constexpr int maxDepth = 32;

// Appends the UTF-8 bytes of `code`.
void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A strict reader of RFC 8259 text; every method returns false at the first thing it cannot read.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  bool document(JsonValue& value) {
    if (!read(value, 0)) return false;
    skipBlanks();
    return at_ == text_.size();
  }

 private:
  void skipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  bool take(char c) {
    skipBlanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  bool read(JsonValue& value, int depth) {
    skipBlanks();
    if (at_ >= text_.size() || depth > maxDepth) return false;
    const char c = text_[at_];
    if (c == '{') return object(value, depth);
    if (c == '[') return array(value, depth);
    if (c == '"') {
      value.kind = JsonValue::Kind::string;
      return string(value.text);
    }
    if (word("true") || word("false")) {
      value.kind = JsonValue::Kind::boolean;
      value.boolean = c == 't';
      return true;
    }
    if (word("null")) return true;
    value.kind = JsonValue::Kind::number;
    const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + text_.size(),
                                              value.number, std::chars_format::general);
    if (error != std::errc()) return false;
    at_ = static_cast<std::size_t>(end - text_.data());
    return true;
  }

  bool object(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::object;
    ++at_;
    if (take('}')) return true;
    do {
      std::string key;
      JsonValue member;
      skipBlanks();
      if (!string(key) || !take(':') || !read(member, depth + 1)) return false;
      value.keys.push_back(std::move(key));
      value.values.push_back(std::move(member));
    } while (take(','));
    return take('}');
  }

  bool array(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::array;
    ++at_;
    if (take(']')) return true;
    do {
      value.items.emplace_back();
      if (!read(value.items.back(), depth + 1)) return false;
    } while (take(','));
    return take(']');
  }

  // Four hexadecimal digits.
  bool hex(char32_t& code) {
    if (at_ + 4 > text_.size()) return false;
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(text_.data() + at_, text_.data() + at_ + 4, value, 16);
    if (error != std::errc() || end != text_.data() + at_ + 4) return false;
    at_ += 4;
    code = value;
    return true;
  }

  bool escape(std::string& out) {
    const char c = text_[at_++];
    constexpr std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
    if (const auto k = from.find(c); k != std::string_view::npos) {
      out += to[k];
      return true;
    }
    char32_t code = 0;
    if (c != 'u' || !hex(code)) return false;
    if (code >= 0xD800 && code < 0xDC00) {
      char32_t low = 0;
      if (!word("\\u") || !hex(low) || low < 0xDC00 || low >= 0xE000) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    } else if (code >= 0xDC00 && code < 0xE000) {
      return false;
    }
    appendUtf8(out, code);
    return true;
  }

  bool string(std::string& out) {
    if (at_ >= text_.size() || text_[at_] != '"') return false;
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
      } else if (at_ >= text_.size() || !escape(out)) {
        return false;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

bool readJson(std::string_view text, JsonValue& root) { return JsonReader(text).document(root); }

}  // namespace confounds

#include "confounds/tsv_sidecar.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>
#include <vector>

#include "base/json_text.h"
#include "base/output_file.h"
#include "contract/report_files.h"
#include "sdm/io_error.h"
#include "sdm/sdm_input.h"

namespace confounds {

namespace {

// Sidecars are small: a file beyond this is no sidecar of ours.
constexpr std::size_t maxSidecarBytes = std::size_t{64} << 20;
constexpr int maxDepth = 32;

// A JSON value, as far as a sidecar needs one.
struct JsonValue {
  enum class Kind { null, boolean, number, string, array, object } kind = Kind::null;
  bool boolean = false;
  double number = 0.0;
  std::string text;
  std::vector<JsonValue> items;
  // An object's members, as two parallel lists: a vector of pairs holding this very type is
  // not complete where it is declared.
  std::vector<std::string> keys;
  std::vector<JsonValue> values;

  const JsonValue* member(std::string_view name) const {
    for (std::size_t m = 0; m < keys.size(); ++m)
      if (keys[m] == name) return &values[m];
    return nullptr;
  }
};

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

// The whole file at `path`, or none when it cannot be opened or exceeds maxSidecarBytes.
std::optional<std::string> fileText(const std::string& path) {
  try {
    sdm::SdmInput in(path);
    std::string text;
    for (int c = in.peek(); c >= 0; c = in.peek()) {
      if (text.size() >= maxSidecarBytes) return std::nullopt;
      text.push_back(static_cast<char>(c));
      in.advance();
    }
    return text;
  } catch (const sdm::IOError&) {
    return std::nullopt;
  }
}

bool isInteger(const JsonValue* value, double low, double high) {
  return value && value->kind == JsonValue::Kind::number && value->number >= low &&
         value->number <= high &&
         value->number == static_cast<double>(static_cast<int64_t>(value->number));
}

bool generatedByBrindle(const JsonValue& root) {
  const JsonValue* by = root.member("GeneratedBy");
  if (!by || by->kind != JsonValue::Kind::array) return false;
  for (const JsonValue& item : by->items) {
    const JsonValue* name = item.member("Name");
    if (name && name->kind == JsonValue::Kind::string && name->text == "Brindle") return true;
  }
  return false;
}

// The columns' names and colours; false when an entry is not {"Name": text, "Colour": [r, g, b]}.
bool readColumns(const JsonValue& columns, Sidecar& sidecar) {
  for (const JsonValue& column : columns.items) {
    const JsonValue* name = column.member("Name");
    const JsonValue* colour = column.member("Colour");
    if (!name || name->kind != JsonValue::Kind::string || !colour ||
        colour->kind != JsonValue::Kind::array || colour->items.size() != 3)
      return false;
    int32_t rgb[3];
    for (std::size_t c = 0; c < 3; ++c) {
      if (!isInteger(&colour->items[c], INT32_MIN, INT32_MAX)) return false;
      rgb[c] = static_cast<int32_t>(colour->items[c].number);
    }
    sidecar.names.push_back(name->text);
    sidecar.colours.push_back({rgb[0], rgb[1], rgb[2]});
  }
  return true;
}

// The sidecar in `root` (an object that Brindle generated), or none when it does not describe
// `columns` columns as Brindle writes them.
std::optional<Sidecar> sidecarOf(const JsonValue& root, std::size_t columns) {
  const JsonValue* first = root.member("FirstConfoundPredictor");
  const JsonValue* constant = root.member("IncludesConstant");
  const JsonValue* list = root.member("Columns");
  if (!isInteger(first, INT32_MIN, INT32_MAX) || !constant ||
      constant->kind != JsonValue::Kind::boolean || !list || list->kind != JsonValue::Kind::array ||
      list->items.size() != columns)
    return std::nullopt;
  Sidecar sidecar;
  sidecar.firstConfoundPredictor = static_cast<int32_t>(first->number);
  sidecar.includesConstant = constant->boolean;
  if (!readColumns(*list, sidecar)) return std::nullopt;
  return sidecar;
}

void appendColumn(std::string& out, const sdm::Predictor& column) {
  out += "{\"Name\": ";
  base::appendJsonString(out, column.name);
  out += ", \"Colour\": [";
  base::appendJsonNumber(out, int64_t{column.colour.red});
  out += ", ";
  base::appendJsonNumber(out, int64_t{column.colour.green});
  out += ", ";
  base::appendJsonNumber(out, int64_t{column.colour.blue});
  out += "]}";
}

}  // namespace

std::string sidecarPath(const std::string& tablePath) {
  return contract::reportPath(tablePath, ".json");
}

std::string sidecarJson(const sdm::DesignMatrix& matrix, std::string_view version) {
  const std::size_t count = matrix.predictors.size();
  std::string out = "{\r\n  \"GeneratedBy\": [{\"Name\": \"Brindle\", \"Version\": ";
  base::appendJsonString(out, version);
  out += "}],\r\n  \"FirstConfoundPredictor\": ";
  base::appendJsonNumber(out, int64_t{matrix.firstConfoundPredictor});
  out += ",\r\n  \"IncludesConstant\": ";
  out += matrix.includesConstant ? "true" : "false";
  out += ",\r\n  \"Columns\": [";
  for (std::size_t p = 0; p < count; ++p) {
    out += p == 0 ? "\r\n    " : ",\r\n    ";
    appendColumn(out, matrix.predictors[p]);
  }
  out += count == 0 ? "]\r\n}\r\n" : "\r\n  ]\r\n}\r\n";
  return out;
}

void saveSidecar(const sdm::DesignMatrix& matrix, const std::string& path,
                 std::string_view version) {
  const std::string text = sidecarJson(matrix, version);
  base::OutputFile file(path);
  file.write(text);
  file.commit();
}

std::optional<Sidecar> readSidecar(const std::string& path, std::size_t columns,
                                   std::optional<base::Notice>& warning) {
  warning.reset();
  const std::optional<std::string> text = fileText(path);
  if (!text) return std::nullopt;
  // Another program's JSON beside a table (fMRIPrep describes its columns in one) is none of
  // ours and is passed over in silence.
  JsonValue root;
  if (!JsonReader(*text).document(root) || root.kind != JsonValue::Kind::object ||
      !generatedByBrindle(root))
    return std::nullopt;
  std::optional<Sidecar> sidecar = sidecarOf(root, columns);
  if (!sidecar) {
    warning = base::Notice{
        base::NoticeKind::warning, path,
        "not a sidecar of this table's " + std::to_string(columns) + " columns, ignored"};
  }
  return sidecar;
}

sdm::DesignMatrix designFromSidecar(sdm::DesignMatrix table, const Sidecar& sidecar) {
  for (std::size_t p = 0; p < table.predictors.size() && p < sidecar.names.size(); ++p) {
    table.predictors[p].name = sidecar.names[p];
    table.predictors[p].colour = sidecar.colours[p];
  }
  table.firstConfoundPredictor = sidecar.firstConfoundPredictor;
  table.includesConstant = sidecar.includesConstant;
  sdm::setKindsByPosition(table);
  return table;
}

}  // namespace confounds

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// JSON text read into values, as far as the JSON files beside a table need it: the sidecar
// Brindle writes (confounds/tsv_sidecar.h) and whatever else may stand at its path.
namespace confounds {

// A JSON value; numbers as doubles, strings as UTF-8 bytes.
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

  // The value of the first member named `name`, or null; the value lives as long as this one.
  const JsonValue* member(std::string_view name) const {
    for (std::size_t m = 0; m < keys.size(); ++m)
      if (keys[m] == name) return &values[m];
    return nullptr;
  }
};

// Reads `text`, strict RFC 8259 with at most 32 levels of nesting, into `root`. False, with
// `root` holding what was read up to there, at the first thing it cannot read.
bool readJson(std::string_view text, JsonValue& root);

}  // namespace confounds

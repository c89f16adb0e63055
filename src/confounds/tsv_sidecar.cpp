#include "confounds/tsv_sidecar.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>
#include <vector>

#include "base/json_text.h"
#include "base/output_file.h"
#include "confounds/json_value.h"
#include "contract/report_files.h"
#include "contract/summary_fields.h"
#include "sdm/io_error.h"
#include "sdm/sdm_input.h"

namespace confounds {

namespace {

// Sidecars are small: a file beyond this is no sidecar of ours.
constexpr std::size_t maxSidecarBytes = std::size_t{64} << 20;

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

std::string sidecarRefusal(const std::string& path) {
  const std::optional<std::string> text = fileText(path);
  if (!text) return {};
  JsonValue root;
  if (readJson(*text, root) && root.kind == JsonValue::Kind::object) {
    if (generatedByBrindle(root)) return {};
    const JsonValue* version = root.member(contract::summary::version);
    const JsonValue* file = root.member(contract::summary::file);
    if (version && version->kind == JsonValue::Kind::number && file &&
        file->kind == JsonValue::Kind::string)
      return "it is the summary of " + file->text;
  }
  return "it is not a sidecar Brindle wrote";
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
  if (!readJson(*text, root) || root.kind != JsonValue::Kind::object || !generatedByBrindle(root))
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

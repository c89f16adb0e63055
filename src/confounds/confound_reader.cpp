// readConfoundFile: one pass over the lines of a confound file, each line split into fields
// and every field converted on the spot, so that no more than one line of text is held.

#include "confounds/confound_reader.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/number_text.h"
#include "base/paths.h"
#include "confounds/confound_matrix.h"
#include "confounds/letter_case.h"
#include "sdm/io_error.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_input.h"
#include "sdm/sdm_limits.h"

namespace confounds {

namespace {

constexpr std::string_view notAvailableText = "n/a";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t listedDataPoints = 5;
constexpr std::size_t motionColumns = 6;
const std::vector<std::string> fslMotionNames = {"rot_x",   "rot_y",   "rot_z",
                                                 "trans_x", "trans_y", "trans_z"};
const std::vector<std::string> spmMotionNames = {"trans_x", "trans_y", "trans_z",
                                                 "rot_x",   "rot_y",   "rot_z"};
// AFNI's motion labels and the names the motion presets know them by, in the order AFNI writes
// its six motion columns (roll pitch yaw in degrees, dS dL dP in mm).
constexpr std::pair<std::string_view, std::string_view> afniMotionNames[] = {
    {"roll", "rot_z"}, {"pitch", "rot_x"}, {"yaw", "rot_y"},
    {"dS", "trans_z"}, {"dL", "trans_x"},  {"dP", "trans_y"}};

// Doubles from half a float unit beyond the largest float on round to infinity (the tie goes to
// the even neighbour, 2^128).
constexpr double floatRoundingLimit = 0x1.ffffffp127;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A field without the blanks and the one pair of double quotes around it.
std::string_view fieldText(std::string_view field) {
  field = trimBlanks(field);
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
    field = trimBlanks(field.substr(1, field.size() - 2));
  }
  return field;
}

enum class Cell { number, notAvailable, unreadable };

// Reads one field. Only a whole field that is a finite number counts: "12abc", "nan" and
// "1e39" (infinite as a float) are unreadable; "+1" is read. The classic notation whatever
// the global locale says, and the double is rounded to float as the SDM reader rounds.
Cell readCell(std::string_view field, float& value) {
  const std::string_view text = fieldText(field);
  if (text == notAvailableText) return Cell::notAvailable;
  const std::optional<double> number = base::wholeNumber<double>(base::withoutPlusSign(text));
  if (!number || !(std::fabs(*number) < floatRoundingLimit)) return Cell::unreadable;
  value = static_cast<float>(*number);
  return Cell::number;
}

std::string columnName(std::size_t index) { return "Column " + std::to_string(index + 1); }

std::string columnCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " column" : " columns");
}

sdm::IOError tooManyColumns(const std::string& path, int64_t line) {
  return sdm::IOError("Too many columns in " + path + " (line " + std::to_string(line) + ")");
}

// Lines of the file, numbered from 1, without their line ends and without a byte order mark.
class LineSource {
 public:
  explicit LineSource(sdm::SdmInput& in) : in_(in) {}

  bool next(std::string& line, std::size_t bound) {
    if (!in_.readLine(line, bound)) return false;
    if (++number_ == 1 && line.starts_with(byteOrderMark)) line.erase(0, byteOrderMark.size());
    return true;
  }
  int64_t number() const { return number_; }

 private:
  sdm::SdmInput& in_;
  int64_t number_ = 0;
};

// Where the field from `start` ends: the next `delimiter`, except inside a field that begins
// (after blanks) with a double quote, which runs to its closing quote ("" inside it stands for
// one quote), as RFC 4180 has it. An unclosed quote runs to the end of the line.
std::size_t fieldEnd(std::string_view line, char delimiter, std::size_t start) {
  std::size_t p = start;
  while (p < line.size() && isBlank(line[p]) && line[p] != delimiter) ++p;
  if (p < line.size() && line[p] == '"') {
    for (++p; p < line.size(); ++p) {
      if (line[p] != '"') continue;
      if (p + 1 < line.size() && line[p + 1] == '"') {
        ++p;  // a doubled quote
        continue;
      }
      break;  // the closing quote
    }
    if (p >= line.size()) return std::string_view::npos;
  }
  return line.find(delimiter, p);
}

// Splits `line` at every `delimiter` outside quotes into `fields` (views into `line`).
void splitDelimited(std::string_view line, char delimiter, std::vector<std::string_view>& fields,
                    const std::string& path, int64_t lineNumber) {
  fields.clear();
  for (std::size_t start = 0;;) {
    if (fields.size() == static_cast<std::size_t>(maxConfoundColumns))
      throw tooManyColumns(path, lineNumber);
    const std::size_t end = fieldEnd(line, delimiter, start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return;
    start = end + 1;
  }
}

// Splits the part of `line` before any "#" at runs of blanks into `fields`; `comment` gets the
// text after the "#" (empty without one).
void splitBlanks(std::string_view line, std::vector<std::string_view>& fields,
                 std::string_view& comment, const std::string& path, int64_t lineNumber) {
  fields.clear();
  const std::size_t hash = line.find('#');
  comment = hash == std::string_view::npos ? std::string_view() : line.substr(hash + 1);
  const std::string_view data = line.substr(0, hash);
  std::size_t p = 0;
  for (;;) {
    while (p < data.size() && isBlank(data[p])) ++p;
    if (p == data.size()) return;
    if (fields.size() == static_cast<std::size_t>(maxConfoundColumns))
      throw tooManyColumns(path, lineNumber);
    const std::size_t start = p;
    while (p < data.size() && !isBlank(data[p])) ++p;
    fields.push_back(data.substr(start, p - start));
  }
}

// The labels of a comment `ColumnLabels = "a ; b ; c"` (the text after its "#"); false, with
// `labels` untouched, for any other comment.
bool readColumnLabels(std::string_view comment, std::vector<std::string>& labels) {
  constexpr std::string_view columnLabelsKey = "ColumnLabels";
  comment = trimBlanks(comment);
  if (!comment.starts_with(columnLabelsKey)) return false;
  comment = trimBlanks(comment.substr(columnLabelsKey.size()));
  if (!comment.starts_with('=')) return false;
  comment = trimBlanks(comment.substr(1));
  if (!comment.starts_with('"')) return false;
  comment.remove_prefix(1);
  comment = comment.substr(0, comment.find('"'));
  labels.clear();
  for (std::size_t start = 0; start <= comment.size();) {
    const std::size_t end = std::min(comment.find(';', start), comment.size());
    labels.emplace_back(trimBlanks(comment.substr(start, end - start)));
    start = end + 1;
  }
  return true;
}

// True when every field is a number or "n/a": such a first line is data, not names.
bool allNumbers(std::span<const std::string_view> fields) {
  float ignored = 0.0f;
  return std::all_of(fields.begin(), fields.end(),
                     [&](std::string_view f) { return readCell(f, ignored) != Cell::unreadable; });
}

bool noNumber(std::span<const std::string_view> fields) {
  float ignored = 0.0f;
  return std::none_of(fields.begin(), fields.end(),
                      [&](std::string_view f) { return readCell(f, ignored) != Cell::unreadable; });
}

// The text of a header field: fieldText, with each doubled quote of a quoted field made one.
std::string nameText(std::string_view field) {
  const bool quoted = trimBlanks(field).starts_with('"');
  const std::string_view text = fieldText(field);
  if (!quoted) return std::string(text);
  std::string name;
  for (std::size_t p = 0; p < text.size(); ++p) {
    name += text[p];
    if (text[p] == '"' && p + 1 < text.size() && text[p + 1] == '"') ++p;
  }
  return name;
}

// Column names from the fields of a header row; empty ones are "Column k".
std::vector<std::string> namesFrom(std::span<const std::string_view> fields) {
  std::vector<std::string> names;
  names.reserve(fields.size());
  for (std::size_t k = 0; k < fields.size(); ++k) {
    std::string text = nameText(fields[k]);
    names.push_back(text.empty() ? columnName(k) : std::move(text));
  }
  return names;
}

// `labels` fitted to `width` columns: missing or empty ones are "Column k".
std::vector<std::string> namesFromLabels(const std::vector<std::string>& labels,
                                         std::size_t width) {
  std::vector<std::string> names;
  names.reserve(width);
  for (std::size_t k = 0; k < width; ++k) {
    names.push_back(k < labels.size() && !labels[k].empty() ? labels[k] : columnName(k));
  }
  return names;
}

// The columns of the file as its rows come in, with the count of unreadable cells.
class TableBuilder {
 public:
  explicit TableBuilder(const std::string& path) : path_(path) {}

  bool started() const { return width_ > 0; }

  // The first row (names or data) has `width` fields on line `line`; every row must match it.
  void start(std::size_t width, int64_t line) {
    width_ = width;
    firstLine_ = line;
    columns_.assign(width, {});
  }

  void addRow(std::span<const std::string_view> fields, int64_t line) {
    if (fields.size() != width_) throw ragged(line, "has " + columnCount(fields.size()));
    if ((rows_ + 1) * static_cast<int64_t>(width_) > sdm::maxSdmValues) {
      throw sdm::IOError("Too many values in " + path_ + " (line " + std::to_string(line) + ")");
    }
    int64_t unreadable = 0;
    for (std::size_t p = 0; p < width_; ++p) {
      float value = 0.0f;
      const Cell cell = readCell(fields[p], value);
      if (cell != Cell::number) {
        value = 0.0f;
        // Derivatives and the like have no value at the first data point: no need to say so.
        if (cell == Cell::unreadable || rows_ > 0)
          ++unreadable;
        else
          ++cells_.firstRowMissing;
      }
      columns_[p].push_back(value);
    }
    ++rows_;
    cells_.cells += static_cast<int64_t>(width_);
    if (unreadable > 0) {
      cells_.values += unreadable;
      ++cells_.dataPoints;
      if (cells_.firstDataPoints.size() < listedDataPoints) cells_.firstDataPoints.push_back(rows_);
    }
  }

  // A blank line between rows: a row with one empty cell, which only a one-column file has.
  void addBlankRow(int64_t line) {
    if (width_ != 1) throw ragged(line, "is blank");
    const std::string_view empty;
    addRow(std::span<const std::string_view>(&empty, 1), line);
  }

  ConfoundFile finish(std::vector<std::string> names) {
    if (rows_ == 0) throw sdm::IOError("No confound data in " + path_);
    sdm::checkUsableNames(path_, names);
    std::vector<sdm::Predictor> columns(width_);
    for (std::size_t p = 0; p < width_; ++p) {
      columns[p].name = std::move(names[p]);
      columns[p].values = std::move(columns_[p]);
    }
    return {confoundMatrix(path_, std::move(columns), static_cast<int32_t>(rows_)),
            std::move(cells_)};
  }

 private:
  // `what` says what the line holds: "has 5 columns", "is blank".
  sdm::IOError ragged(int64_t line, const std::string& what) const {
    return sdm::IOError("Rows of different lengths in " + path_ + " (line " + std::to_string(line) +
                        " " + what + ", line " + std::to_string(firstLine_) + " has " +
                        columnCount(width_) + ")");
  }

  const std::string& path_;
  std::size_t width_ = 0;
  int64_t firstLine_ = 0;
  int64_t rows_ = 0;
  std::vector<std::vector<float>> columns_;
  UnreadableCells cells_;
};

ConfoundFile readDelimited(sdm::SdmInput& in, const std::string& path, char delimiter) {
  LineSource lines(in);
  TableBuilder table(path);
  std::vector<std::string> names;
  std::vector<std::string_view> fields;
  std::string line;
  std::size_t bound = maxConfoundHeaderBytes;
  // Blank lines are held back until a row follows them: at the end of the file they are dropped.
  int64_t blankLines = 0;
  int64_t firstBlankLine = 0;
  while (lines.next(line, bound)) {
    // A line of delimiters is a row of empty cells; only a line of blanks is blank.
    if (line.find(delimiter) == std::string::npos && trimBlanks(line).empty()) {
      if (table.started() && blankLines++ == 0) firstBlankLine = lines.number();
      continue;
    }
    splitDelimited(line, delimiter, fields, path, lines.number());
    if (!table.started()) {
      table.start(fields.size(), lines.number());
      bound = confoundLineBound(fields.size());
      if (!allNumbers(fields)) {
        names = namesFrom(fields);
        continue;
      }
      for (std::size_t k = 0; k < fields.size(); ++k) names.push_back(columnName(k));
    }
    for (int64_t b = 0; b < blankLines; ++b) table.addBlankRow(firstBlankLine + b);
    blankLines = 0;
    table.addRow(fields, lines.number());
  }
  return table.finish(std::move(names));
}

ConfoundFile readColumns(sdm::SdmInput& in, const std::string& path, ConfoundFormat format) {
  const std::vector<std::string>* const fixedNames =
      format == ConfoundFormat::fslMotion   ? &fslMotionNames
      : format == ConfoundFormat::spmMotion ? &spmMotionNames
                                            : nullptr;
  LineSource lines(in);
  TableBuilder table(path);
  std::vector<std::string> labels;
  bool labelled = false;
  std::vector<std::string> names;
  std::vector<std::string_view> fields;
  std::string_view comment;
  std::string line;
  std::size_t bound = maxConfoundHeaderBytes;
  while (lines.next(line, bound)) {
    splitBlanks(line, fields, comment, path, lines.number());
    if (!table.started() && !fixedNames && !comment.empty()) {
      labelled = readColumnLabels(comment, labels) || labelled;
    }
    if (fields.empty()) continue;
    if (!table.started()) {
      if (fixedNames && fields.size() != motionColumns) {
        throw sdm::IOError("Expected 6 motion columns in " + path + " (line " +
                           std::to_string(lines.number()) + " has " +
                           std::to_string(fields.size()) + ")");
      }
      table.start(fields.size(), lines.number());
      bound = confoundLineBound(fields.size());
      if (fixedNames) {
        names = *fixedNames;
      } else if (labelled) {
        names = namesFromLabels(labels, fields.size());
      } else if (noNumber(fields)) {
        names = namesFrom(fields);
        continue;
      } else {
        names = namesFromLabels({}, fields.size());
      }
    }
    table.addRow(fields, lines.number());
  }
  return table.finish(std::move(names));
}

// In an AFNI ".1D" file, the motion columns under the names the motion presets use: labelled
// ones by their labels, and six unlabelled ones ("Column 1" ... "Column 6") of a file whose name
// begins "dfile" or "motion", as AFNI names its motion files, by AFNI's order. Units stay as
// they are.
void nameAfniMotion(const std::string& path, std::vector<sdm::Predictor>& columns) {
  const std::string name = lowerCase(base::baseName(path));
  if (!name.ends_with(".1d")) return;
  const bool unlabelled = columns.size() == motionColumns && [&] {
    for (std::size_t k = 0; k < motionColumns; ++k) {
      if (columns[k].name != columnName(k)) return false;
    }
    return true;
  }();
  if (unlabelled && (name.starts_with("dfile") || name.starts_with("motion"))) {
    for (std::size_t k = 0; k < motionColumns; ++k) columns[k].name = afniMotionNames[k].second;
    return;
  }
  for (sdm::Predictor& column : columns) {
    for (const auto& [label, motion] : afniMotionNames) {
      if (column.name == label) column.name = motion;
    }
  }
}

}  // namespace

ConfoundFormat confoundFormatOf(const std::string& path) {
  const std::string name = lowerCase(base::baseName(path));
  if (name.ends_with(".tsv")) return ConfoundFormat::tsv;
  if (name.ends_with(".csv")) return ConfoundFormat::csv;
  if (name.ends_with(".par")) return ConfoundFormat::fslMotion;
  if (name.ends_with(".txt"))
    return name.starts_with("rp_") ? ConfoundFormat::spmMotion : ConfoundFormat::columns;
  if (name.ends_with(".1d")) return ConfoundFormat::columns;
  return ConfoundFormat::sdm;
}

namespace {

// True when `head` begins as an SDM file does, with one of the header's keys: an SDM saved under
// a name such as "run1.csv" or "run1.txt" stays an SDM.
bool beginsLikeSdm(std::string_view head) {
  const auto start = head.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  head.remove_prefix(start);
  for (const std::string_view key : {"FileVersion:", "NrOfPredictors:", "NrOfDataPoints:",
                                     "IncludesConstant:", "FirstConfoundPredictor:"}) {
    if (head.starts_with(key)) return true;
  }
  return false;
}

}  // namespace

ConfoundFormat formatOf(const sdm::SdmInput& in, const std::string& path) {
  const std::string_view head = in.buffered();
  if (beginsLikeSdm(head)) return ConfoundFormat::sdm;
  // A name without any extension (a pipe such as /dev/fd/63) is told by its first line.
  if (base::baseName(path).find('.') == std::string::npos) {
    const std::string_view firstLine = head.substr(0, head.find('\n'));
    if (firstLine.find('\t') != std::string_view::npos) return ConfoundFormat::tsv;
    if (firstLine.find(',') != std::string_view::npos) return ConfoundFormat::csv;
  }
  return confoundFormatOf(path);
}

bool isConfoundFile(const std::string& path) {
  if (confoundFormatOf(path) == ConfoundFormat::sdm) return false;
  try {
    const sdm::SdmInput in(path);
    return formatOf(in, path) != ConfoundFormat::sdm;
  } catch (const sdm::IOError&) {
    return true;  // its reader reports why it cannot be read
  }
}

ConfoundFile readConfoundFile(sdm::SdmInput& in, const std::string& path, ConfoundFormat format) {
  switch (format) {
    case ConfoundFormat::tsv:
      return readDelimited(in, path, '\t');
    case ConfoundFormat::csv:
      return readDelimited(in, path, ',');
    case ConfoundFormat::fslMotion:
      return readColumns(in, path, ConfoundFormat::fslMotion);
    case ConfoundFormat::spmMotion:
      return readColumns(in, path, ConfoundFormat::spmMotion);
    case ConfoundFormat::sdm:
    case ConfoundFormat::columns:
      break;
  }
  ConfoundFile file = readColumns(in, path, ConfoundFormat::columns);
  nameAfniMotion(path, file.matrix.predictors);
  return file;
}

ConfoundFile readConfoundFile(const std::string& path) {
  sdm::SdmInput in(path);
  return readConfoundFile(in, path, confoundFormatOf(path));
}

}  // namespace confounds

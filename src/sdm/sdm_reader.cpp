// loadSdm: reads an SDM file in one pass over a fixed-size buffer. The layout and
// the reader's tolerances are described for people in docs/sdm-format.md.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/parallel.h"
#include "sdm/data_line.h"
#include "sdm/design_matrix.h"
#include "sdm/io_error.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_input.h"
#include "sdm/sdm_limits.h"
#include "sdm/sdm_repairs.h"
#include "sdm/value_text.h"

namespace sdm {

namespace {

// No key is longer than this; a longer token is skipped without being held.
constexpr std::size_t longestKey = firstConfoundPredictorKey.size();

IOError invalidHeader(const std::string& path) { return IOError("Invalid SDM header in " + path); }

// The values of a header as read, and how it was laid out.
struct Header {
  SdmLayout layout;
  int32_t predictors = 0;
  int32_t dataPoints = 0;
  bool includesConstant = false;
  int32_t firstConfound = 0;
};

// Reads the value of the key `token` into `value` and its layout into `key`. The width counts
// the key with its colon and every space or tab right after it; the value itself may stand
// further on, even on a later line. A value that cannot be read leaves a header that can never
// end properly.
template <typename T>
void readEntry(SdmInput& in, const std::string& token, SdmKeyLayout& key, T& value,
               const std::string& path) {
  key.width = static_cast<int32_t>(token.size());
  for (int c = in.peek(); c == ' ' || c == '\t'; c = in.peek()) {
    in.advance();
    if (key.width < maxSdmHeaderWidth) ++key.width;
  }
  int32_t number = 0;
  if (in.readInteger(number) == SdmInput::Extract::failed) throw invalidHeader(path);
  if constexpr (std::is_same_v<T, bool>) {
    // A boolean is extracted as a number that must be 0 or 1.
    if (number != 0 && number != 1) throw invalidHeader(path);
    value = number == 1;
  } else {
    value = number;
  }
  key.present = true;
}

// The header is a sequence of white-space-separated tokens that ends with the value of
// "FirstConfoundPredictor:"; any token that is not a key is skipped.
Header readHeader(SdmInput& in, const std::string& path) {
  // A header that runs on for gigabytes would otherwise be scanned to its end.
  in.limit(maxSdmHeaderBytes, "Invalid SDM header in " + path);
  Header header;
  SdmLayout& layout = header.layout;
  std::string token;
  token.reserve(longestKey);
  while (token != firstConfoundPredictorKey) {
    if (!in.readToken(token, longestKey)) throw invalidHeader(path);
    if (token == fileVersionKey) {
      readEntry(in, token, layout.fileVersion, layout.version, path);
    } else if (token == nrOfPredictorsKey) {
      readEntry(in, token, layout.nrOfPredictors, header.predictors, path);
    } else if (token == nrOfDataPointsKey) {
      readEntry(in, token, layout.nrOfDataPoints, header.dataPoints, path);
    } else if (token == includesConstantKey) {
      readEntry(in, token, layout.includesConstant, header.includesConstant, path);
    } else if (token == firstConfoundPredictorKey) {
      readEntry(in, token, layout.firstConfoundPredictor, header.firstConfound, path);
    }
  }
  return header;
}

// Both counts are needed to size the matrix; they are checked before anything is allocated
// so that a corrupt file cannot make the reader exhaust memory.
void checkCounts(const Header& header, const std::string& path) {
  if (!header.layout.nrOfPredictors.present || !header.layout.nrOfDataPoints.present)
    throw invalidHeader(path);
  const int64_t predictors = header.predictors;
  const int64_t dataPoints = header.dataPoints;
  if (predictors < 0 || dataPoints < 0 || predictors > maxSdmPredictors ||
      dataPoints > maxSdmValues || predictors * dataPoints > maxSdmValues) {
    throw invalidHeader(path);
  }
}

// Colours are integers in any spacing. One red component is always read ahead; at the names
// line that read-ahead fails on the opening quote having skipped only white space, which
// leaves the input at the start of the names. Components that were not read stay 0. Without a
// matrix the colours are only passed over.
void readColours(SdmInput& in, DesignMatrix* matrix, std::size_t count) {
  using Extract = SdmInput::Extract;
  int32_t pendingRed = 0;
  Extract status = in.readInteger(pendingRed);
  for (std::size_t p = 0; status == Extract::ok && p < count; ++p) {
    int32_t green = 0;
    int32_t blue = 0;
    const Extract greenStatus = in.readInteger(green);
    const Extract blueStatus = greenStatus == Extract::ok ? in.readInteger(blue) : Extract::failed;
    if (matrix) {
      PredictorColour& colour = matrix->predictors[p].colour;
      colour.red = pendingRed;
      if (greenStatus != Extract::failed) colour.green = green;
      if (blueStatus != Extract::failed) colour.blue = blue;
    }
    if (blueStatus != Extract::ok) break;
    status = in.readInteger(pendingRed);
  }
}

// The names line is the rest of the current line, or the next line when that holds no
// quote. Names are the texts between successive pairs of quotes; missing ones are "NoName".
// Returns how many names the line held (at most `count`); without a matrix they are only
// counted.
std::size_t readNames(SdmInput& in, DesignMatrix* matrix, std::size_t count) {
  const std::size_t bound = sdmNamesLineBound(static_cast<int64_t>(count));
  std::string line;
  in.readLine(line, bound);
  if (line.find('"') == std::string::npos) in.readLine(line, bound);
  std::size_t taken = 0;
  std::size_t open = line.find('"');
  while (open != std::string::npos && taken < count) {
    const std::size_t close = line.find('"', open + 1);
    if (close == std::string::npos) break;
    if (matrix) matrix->predictors[taken].name.assign(line, open + 1, close - open - 1);
    ++taken;
    open = line.find('"', close + 1);
  }
  if (matrix) {
    for (std::size_t p = taken; p < count; ++p) matrix->predictors[p].name = "NoName";
  }
  return taken;
}

// Data lines are read ahead into a batch of about this many bytes of text, whose lines are then
// converted on all threads while the next batch is read; the reading itself goes on one thread,
// in order. Two batches are held at a time.
constexpr std::size_t batchBytes = std::size_t{1} << 20;

// Matrices whose text is smaller than this (at about 8 bytes a value) are read on one thread.
constexpr std::size_t parallelBytes = std::size_t{256} << 10;

// Data lines read ahead: back to back in `text`, line i ending at ends[i], the first line that of
// data point `first` (0-based); their values once converted in `rows`.
struct LineBatch {
  std::string text;
  std::vector<std::size_t> ends;
  std::size_t first = 0;
  std::vector<float> rows;  // the converted lines, row after row, before they go into columns

  std::string_view line(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(text).substr(begin, ends[i] - begin);
  }
};

// What one part of a batch found: the unreadable lines and the values that are infinite or not
// a number, how many of each and the data points of the first five (1-based).
struct PartRepairs {
  std::size_t unreadable = 0;
  std::vector<std::size_t> firstUnreadable;
  std::size_t nonFinite = 0;
  std::size_t nonFinitePoints = 0;
  std::vector<std::size_t> firstNonFinite;
};

// The field of a message: without the blanks around it, its control bytes shown as "?", cut
// after 40 bytes with "...".
std::string shownField(std::string_view field) {
  constexpr std::size_t shownBytes = 40;
  const std::size_t begin = std::min(field.find_first_not_of(" \t\r\n\v\f"), field.size());
  field.remove_prefix(begin);
  field = field.substr(0, field.find_last_not_of(" \t\r\n\v\f") + 1);
  std::string shown(field.substr(0, shownBytes));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return field.size() > shownBytes ? shown + "..." : shown;
}

// "Not a number in run1.sdm, data line 3: 'x.5'" for the field the conversion refused.
IOError refusedField(const ValueTextError& error, const std::string& path, std::size_t line) {
  const char* what = error.kind() == ValueTextError::Kind::notANumber ? "Not a number in "
                                                                      : "Number out of range in ";
  return IOError(what + path + ", data line " + std::to_string(line) + ": '" +
                 shownField(error.field()) + "'");
}

// Converts lines from ... to - 1 of `batch` into its rows, one line after the other; a line that
// is not taken leaves 0.0 in every predictor and is counted in `repairs`, and so are the values
// that are infinite or not a number. A field that is no number throws refusedField's IOError.
void convertLines(LineBatch& batch, std::size_t from, std::size_t to, std::size_t count,
                  const std::string& path, PartRepairs& repairs) {
  std::vector<std::size_t> points;
  points.reserve(count);
  for (std::size_t i = from; i < to; ++i) {
    const std::span<float> row(batch.rows.data() + i * count, count);
    const std::size_t t = batch.first + i;
    bool taken = false;
    try {
      taken = readDataLine(batch.line(i), row, points);
    } catch (const ValueTextError& error) {
      throw refusedField(error, path, t + 1);
    }
    if (!taken) {
      if (repairs.firstUnreadable.size() < 5) repairs.firstUnreadable.push_back(t + 1);
      ++repairs.unreadable;
      std::fill(row.begin(), row.end(), 0.0f);
      continue;
    }
    // Branch-free, so that the common line of finite values costs a few vector compares.
    std::size_t nonFinite = 0;
    for (const float value : row)
      nonFinite += !(std::fabs(value) <= std::numeric_limits<float>::max()) ? 1u : 0u;
    if (nonFinite == 0) continue;
    if (repairs.firstNonFinite.size() < 5) repairs.firstNonFinite.push_back(t + 1);
    repairs.nonFinite += nonFinite;
    ++repairs.nonFinitePoints;
  }
}

// Moves the batch's converted rows into the matrix's columns, blocks of sixteen predictors as
// parts of the team's work: each part writes columns of its own, which no other part shares.
void storeBatch(const LineBatch& batch, DesignMatrix& matrix, base::WorkerTeam& team) {
  constexpr std::size_t block = 16;
  const std::size_t count = matrix.predictors.size(), lines = batch.ends.size();
  if (lines == 0 || count == 0) return;  // no rows to move (and none held)
  team.forEach((count + block - 1) / block, [&](std::size_t part) {
    const std::size_t p0 = part * block, p1 = std::min(count, p0 + block);
    // Column by column: the block's rows of the batch stay in the first-level cache meanwhile.
    for (std::size_t p = p0; p < p1; ++p) {
      float* column = matrix.predictors[p].values.data() + batch.first;
      const float* value = batch.rows.data() + p;
      for (std::size_t l = 0; l < lines; ++l) column[l] = value[l * count];
    }
  });
}

// Reads the data lines in order, a batch at a time: each call of read() fills `batch` with the
// lines of data points t ... until it holds about batchBytes or the data points run out, and
// sets repairs.missingFrom and `ended` at the end of the file. An exception from reading is
// returned, not thrown: the lines read before it are converted first, as one pass in order would.
struct BatchReader {
  SdmInput& in;
  const std::string& path;
  std::size_t dataPoints;
  std::size_t bound;
  SdmRepairs& repairs;
  std::size_t t = 0;
  bool ended = false;

  bool more() const { return !ended && t < dataPoints; }

  std::exception_ptr read(LineBatch& batch) {
    batch.text.clear();
    try {
      // Room for the batch and one line beyond it, so that the text never grows by doubling.
      batch.text.reserve(batchBytes + bound + 1);
    } catch (...) {
      return std::current_exception();
    }
    batch.ends.clear();
    batch.first = t;
    try {
      while (t < dataPoints && batch.text.size() < batchBytes) {
        if (!in.appendLine(batch.text, bound)) {
          repairs.missingFrom = t + 1;  // the rest stays 0.0
          ended = true;
          break;
        }
        batch.ends.push_back(batch.text.size());
        ++t;
      }
    } catch (...) {
      return std::current_exception();
    }
    return nullptr;
  }
};

// Converts the batch's lines, split at line ends into parts of about equal bytes, on the team;
// the first part of the team's work reads the next batch meanwhile (when `next` is given, into
// it, its exception into `nextFailure`). The values then go into the matrix's columns (when there
// is a matrix), and the parts' unreadable lines and non-finite values into `repairs` part after
// part, so that the counts and the first five are those of one pass in order. When lines cannot
// be converted (a field that is no number), the first such line's exception is thrown.
void convertBatch(LineBatch& batch, DesignMatrix* matrix, std::size_t count, base::WorkerTeam& team,
                  BatchReader& reader, LineBatch* next, std::exception_ptr& nextFailure) {
  const std::size_t lines = batch.ends.size();
  const std::size_t parts = std::min(lines, team.size() == 1 ? 1 : 8 * team.size());
  std::vector<std::size_t> bounds(parts + 1, lines);
  bounds[0] = 0;
  for (std::size_t q = 1; q < parts; ++q) {
    const std::size_t bytes = base::partBegin(batch.text.size(), parts, q);
    bounds[q] = static_cast<std::size_t>(
        std::upper_bound(batch.ends.begin(), batch.ends.end(), bytes) - batch.ends.begin());
  }
  std::vector<PartRepairs> found(parts);
  batch.rows.resize(lines * count);
  team.forEach(parts + 1, [&](std::size_t q) {
    if (q == 0) {
      if (next) nextFailure = reader.read(*next);
    } else {
      convertLines(batch, bounds[q - 1], bounds[q], count, reader.path, found[q - 1]);
    }
  });
  if (matrix) storeBatch(batch, *matrix, team);
  const auto addFirst = [](std::vector<std::size_t>& to, const std::vector<std::size_t>& from) {
    for (const std::size_t point : from) {
      if (to.size() < 5) to.push_back(point);
    }
  };
  for (const PartRepairs& part : found) {
    reader.repairs.unreadable += part.unreadable;
    addFirst(reader.repairs.firstUnreadable, part.firstUnreadable);
    reader.repairs.nonFinite += part.nonFinite;
    reader.repairs.nonFinitePoints += part.nonFinitePoints;
    addFirst(reader.repairs.firstNonFinite, part.firstNonFinite);
  }
}

// One line per data point; a line that is not taken, or a missing one, leaves 0.0 in every
// predictor and is counted in `repairs`. An empty line uses up its data point like any other.
// Without a matrix the lines are read and counted only.
void readData(SdmInput& in, const std::string& path, DesignMatrix* matrix, std::size_t count,
              std::size_t dataPoints, SdmRepairs& repairs) {
  base::WorkerTeam team(base::threadsFor(count * dataPoints, parallelBytes / 8));
  if (matrix) {
    // Zeros, each predictor's values made by a part of the team's work: the memory of a large
    // matrix is taken and first written on every core at once.
    const std::size_t parts = std::min(count, 4 * team.size());
    team.forEach(parts, [&](std::size_t q) {
      for (std::size_t p = base::partBegin(count, parts, q);
           p < base::partBegin(count, parts, q + 1); ++p)
        matrix->predictors[p].values.assign(dataPoints, 0.0f);
    });
  }
  BatchReader reader{in, path, dataPoints, sdmDataLineBound(static_cast<int64_t>(count)), repairs};
  LineBatch current, next;
  std::exception_ptr failure = reader.read(current);
  for (;;) {
    const bool more = !failure && reader.more();
    std::exception_ptr nextFailure;
    convertBatch(current, matrix, count, team, reader, more ? &next : nullptr, nextFailure);
    if (failure) std::rethrow_exception(failure);
    if (!more) return;
    std::swap(current, next);
    failure = nextFailure;
  }
}

// True when fewer bytes are left than half of the data points need as taken lines: each holds
// at least one byte a value (its point, or a word of its own) and all but the last a line feed.
// Such a file is damaged whatever those bytes are, so nothing the size of the matrix is made.
bool tooShortForHalfTheData(const SdmInput& in, std::size_t count, std::size_t dataPoints) {
  const std::optional<std::uintmax_t> remaining = in.remainingBytes();
  if (!remaining || dataPoints == 0) return false;
  const std::uintmax_t needed = dataPoints - dataPoints / 2;  // taken lines that pass
  return *remaining < needed * (count + 1) - 1;
}

std::string number(std::size_t value) { return std::to_string(value); }

// Refuses a file with more than half of its data points missing or unreadable, and, when
// `strict`, one with any repair.
void checkDamaged(const SdmRepairs& repairs, std::size_t dataPoints, const std::string& path,
                  bool strict) {
  const std::size_t damaged = repairs.missing() + repairs.unreadable;
  if (damaged > dataPoints - damaged) {
    throw IOError("Damaged SDM file: " + path + " (" + number(damaged) + " of " +
                  number(dataPoints) + " data points missing or unreadable)");
  }
  if (strict && repairs.any())
    throw IOError("Damaged SDM file: " + path + " (" + repairTexts(repairs).front() + ")");
}

// A file without predictors holds, after its header line, a blank line, an empty colours line, an
// empty names line and one empty line per data point, as the writer writes it: the data points
// whose lines are not there are counted missing, as in any other file.
void countLinesWithoutPredictors(SdmInput& in, std::size_t dataPoints, SdmRepairs& repairs) {
  constexpr std::size_t linesBeforeData = 3;
  const std::size_t bound = sdmDataLineBound(0);
  std::string line;
  in.unlimit();              // the header's bound ends with the header
  in.readLine(line, bound);  // the rest of the header's last line
  std::size_t lines = 0;
  while (lines < dataPoints + linesBeforeData && in.readLine(line, bound)) ++lines;
  const std::size_t present = lines > linesBeforeData ? lines - linesBeforeData : 0;
  if (present < dataPoints) repairs.missingFrom = present + 1;
}

LoadedSdm read(SdmInput& in, const std::string& path, bool checkDamage, bool strict, bool measure);

// Reads the file at `path` as below, opening it.
LoadedSdm read(const std::string& path, bool checkDamage, bool strict, bool measure) {
  SdmInput in(path);
  return read(in, path, checkDamage, strict, measure);
}

// Reads the file from `in`; `checkDamage` refuses a file with more than half of its data points
// missing or unreadable, and `strict` one with any repair. `measure` lets the file's size decide
// that a file is too short before the matrix is made.
LoadedSdm read(SdmInput& in, const std::string& path, bool checkDamage, bool strict, bool measure) {
  LoadedSdm loaded;
  DesignMatrix& matrix = loaded.matrix;
  SdmRepairs& repairs = loaded.repairs;
  matrix.fileName = path;
  const Header header = readHeader(in, path);
  checkCounts(header, path);
  matrix.nrOfDataPoints = header.dataPoints;
  matrix.includesConstant = header.includesConstant;
  matrix.firstConfoundPredictor = header.firstConfound;
  matrix.layout = std::make_shared<const SdmLayout>(header.layout);
  const auto count = static_cast<std::size_t>(header.predictors);
  const auto dataPoints = static_cast<std::size_t>(header.dataPoints);
  repairs.predictors = count;
  repairs.dataPoints = dataPoints;
  // Without predictors nothing after the header belongs to the matrix; only its lines count.
  if (count == 0) {
    if (!checkDamage) return loaded;
    countLinesWithoutPredictors(in, dataPoints, repairs);
    checkDamaged(repairs, dataPoints, path, strict);
    return loaded;
  }

  const bool countOnly = checkDamage && measure && tooShortForHalfTheData(in, count, dataPoints);
  DesignMatrix* target = countOnly ? nullptr : &matrix;
  // The predictors are made here, not before: a file too short for them makes none.
  if (target) matrix.predictors.resize(count);
  in.limit(sdmColoursBound(header.predictors), "Invalid SDM colours in " + path);
  readColours(in, target, count);
  in.unlimit();  // the names and data lines have bounds of their own
  repairs.namesMissing = count - readNames(in, target, count);
  readData(in, path, target, count, dataPoints, repairs);

  if (countOnly) {
    checkDamaged(repairs, dataPoints, path, false);
    // Only a file that grew after it was measured gets here: read it again, keeping everything.
    return read(path, checkDamage, strict, false);
  }
  setKindsByPosition(matrix);
  if (checkDamage) checkDamaged(repairs, dataPoints, path, strict);
  return loaded;
}

}  // namespace

DesignMatrix loadSdm(const std::string& path) { return read(path, false, false, false).matrix; }

LoadedSdm loadSdm(const std::string& path, bool strict) { return read(path, true, strict, true); }

LoadedSdm loadSdm(SdmInput& in, const std::string& path, bool strict) {
  return read(in, path, true, strict, true);
}

}  // namespace sdm

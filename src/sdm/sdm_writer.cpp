// saveSdm: writes the SDM layout that the reader reads back, with CRLF line ends on
// every platform. The header is built in one string, the data lines in place in a buffer, and
// both are handed to the output file in large chunks; numbers are formatted without any locale.

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "base/output_file.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_limits.h"
#include "sdm/value_text.h"

namespace sdm {

namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::size_t chunkSize = 1 << 20;

// Appends `value` in decimal digits.
void appendInteger(std::string& out, int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// Key and colon padded with spaces to the key's width. A width that leaves no blank (the value
// stood on the line after its key) gets one space, so that the key is still read as a key.
void appendEntry(std::string& out, std::string_view key, const SdmKeyLayout& layout, int64_t value,
                 int lineEnds) {
  if (!layout.present) return;
  out += key;
  const auto width = static_cast<std::size_t>(layout.width > 0 ? layout.width : 0);
  out.append(width > key.size() ? width - key.size() : 1, ' ');
  appendInteger(out, value);
  for (int i = 0; i < lineEnds; ++i) out += lineEnd;
}

// The writer loops to the header's number of data points; a predictor with fewer values (an
// invariant broken by hand) would make it read outside them, so it is refused before anything
// is created.
void checkShape(const DesignMatrix& matrix, std::size_t dataPoints, const std::string& path) {
  for (const Predictor& predictor : matrix.predictors) {
    if (predictor.values.size() < dataPoints)
      throw std::logic_error("Design matrix does not match its header: " + path);
  }
}

// Writes the header, the colours line and the names line, handing the text to `file` whenever
// a chunk is full.
void writeHeader(base::OutputFile& file, const DesignMatrix& matrix) {
  const std::span<const Predictor> predictors = matrix.predictors;
  const SdmLayout& layout = layoutOf(matrix);
  std::string out;
  out.reserve(chunkSize + 64 * predictors.size() + 4096);
  const auto flushIfFull = [&] {
    if (out.size() >= chunkSize) {
      file.write(out);
      out.clear();
    }
  };

  appendEntry(out, fileVersionKey, layout.fileVersion, layout.version, 2);
  appendEntry(out, nrOfPredictorsKey, layout.nrOfPredictors,
              static_cast<int64_t>(predictors.size()), 1);
  appendEntry(out, nrOfDataPointsKey, layout.nrOfDataPoints, matrix.nrOfDataPoints, 1);
  appendEntry(out, includesConstantKey, layout.includesConstant, matrix.includesConstant ? 1 : 0,
              1);
  appendEntry(out, firstConfoundPredictorKey, layout.firstConfoundPredictor,
              matrix.firstConfoundPredictor, 2);

  for (std::size_t p = 0; p < predictors.size(); ++p) {
    const PredictorColour& colour = predictors[p].colour;
    if (p > 0) out += "   ";
    appendInteger(out, colour.red);
    out += ' ';
    appendInteger(out, colour.green);
    out += ' ';
    appendInteger(out, colour.blue);
    flushIfFull();
  }
  out += lineEnd;

  for (std::size_t p = 0; p < predictors.size(); ++p) {
    if (p > 0) out += ' ';
    out += '"';
    out += predictors[p].name;
    out += '"';
    flushIfFull();
  }
  out += lineEnd;

  file.write(out);
}

// The bytes the longest value with `decimals` decimals takes on a data line, with the blanks
// before it.
constexpr std::size_t valueRoom(int decimals) { return 3 + base::fixedTextRoom(decimals); }

// The data lines are laid out in place in a buffer of their own, one pass over each line; the
// buffer goes to the file whenever fewer bytes than the longest value needs are left. Each
// predictor is written with its own decimals (savedDecimals).
class DataLineBuffer {
 public:
  DataLineBuffer(base::OutputFile& file, std::vector<int> decimals)
      : file_(file), decimals_(std::move(decimals)) {
    const int most = decimals_.empty() ? 6 : *std::max_element(decimals_.begin(), decimals_.end());
    room_ = valueRoom(std::max(most, 6));
    buffer_.resize(chunkSize + room_ + lineEnd.size());
    w_ = buffer_.data();
  }

  // Lays out the data line of the `count` values at `row`.
  void putLine(const float* row, std::size_t count) {
    char* const start = buffer_.data();
    char* const end = start + chunkSize + room_;
    char* w = w_;
    for (std::size_t p = 0; p < count; ++p) {
      if (static_cast<std::size_t>(end - w) < room_) w = flush(w);
      const float value = row[p];
      // A non-negative value gets one blank more than a negative one, so that the columns
      // line up; a NaN compares false and gets none.
      *w++ = ' ';
      if (p > 0) *w++ = ' ';
      *w = ' ';  // the sign's blank, without a branch: signs in data go either way
      w += value >= 0.0f ? 1 : 0;
      const int decimals = decimals_[p];
      w = decimals == 6 ? putSixDecimals(w, value)
                        : base::putFixed(w, static_cast<double>(value), decimals);
    }
    std::memcpy(w, lineEnd.data(), lineEnd.size());  // the buffer keeps room for it
    w += lineEnd.size();
    if (w >= start + chunkSize) w = flush(w);
    w_ = w;
  }

  // Hands what is laid out to the file.
  void finish() { w_ = flush(w_); }

 private:
  // Writes the buffer up to `w` and returns its start, where the next bytes go.
  char* flush(char* w) {
    file_.write(std::string_view(buffer_.data(), static_cast<std::size_t>(w - buffer_.data())));
    return buffer_.data();
  }

  base::OutputFile& file_;
  std::vector<int> decimals_;
  std::size_t room_ = 0;
  std::vector<char> buffer_;
  char* w_ = nullptr;
};

// Writes the data lines. The values are kept by predictor and written by data point: a tile of
// data points is first gathered into rows, a cache line of each predictor at a time (sixteen
// rows; fewer when the tile would pass 1 MiB, so that it stays a small part of the matrix), and
// the lines are then laid out from contiguous rows.
void writeDataLines(base::OutputFile& file, std::span<const Predictor> predictors,
                    std::size_t dataPoints) {
  const std::size_t count = predictors.size();
  std::vector<int> decimals(count);
  for (std::size_t p = 0; p < count; ++p)
    decimals[p] = savedDecimals(std::span(predictors[p].values).first(dataPoints));
  DataLineBuffer lines(file, std::move(decimals));
  const std::size_t tileRows =
      std::clamp<std::size_t>((std::size_t{1} << 18) / (count > 0 ? count : 1), 1, 16);
  std::vector<float> tile(count * std::min(tileRows, dataPoints));
  for (std::size_t first = 0; first < dataPoints; first += tileRows) {
    const std::size_t rows = std::min(tileRows, dataPoints - first);
    for (std::size_t p = 0; p < count; ++p) {
      const float* column = predictors[p].values.data() + first;
      for (std::size_t r = 0; r < rows; ++r) tile[r * count + p] = column[r];
    }
    for (std::size_t r = 0; r < rows; ++r) lines.putLine(tile.data() + r * count, count);
  }
  lines.finish();
}

}  // namespace

int savedDecimals(std::span<const float> values) {
  const auto largest = static_cast<double>(largestFiniteMagnitude(values));
  if (!(largest > 0.0) || largest >= 0.01) return 6;
  // The exponent as "%e" writes it: after rounding to seven significant digits, so that
  // 0.0099999998 counts as 1.000000e-02 (six decimals, like every value from 0.01 on).
  char text[32];
  const auto end =
      std::to_chars(text, text + sizeof text, largest, std::chars_format::scientific, 6).ptr;
  const char* exponent = std::find(text, end, 'e') + 1;
  int e = 0;
  std::from_chars(exponent + (*exponent == '+' ? 1 : 0), end, e);
  return 4 - e;
}

void checkSdmLimits(const DesignMatrix& matrix, const std::string& path) {
  const auto count = static_cast<int64_t>(matrix.predictors.size());
  const int64_t dataPoints = matrix.nrOfDataPoints;
  std::string reason;
  if (count > maxSdmPredictors) {
    reason = std::to_string(count) + " predictors, more than an SDM file may hold (" +
             std::to_string(maxSdmPredictors) + ")";
  } else if (dataPoints > maxSdmValues || count * dataPoints > maxSdmValues) {
    reason = std::to_string(count) + " x " + std::to_string(dataPoints) +
             " values, more than an SDM file may hold (" + std::to_string(maxSdmValues) + ")";
  } else if (count > 0) {
    // The names line as written below: every name in quotes, one blank between them.
    std::size_t length = static_cast<std::size_t>(count) * 3 - 1;
    for (const Predictor& predictor : matrix.predictors) length += predictor.name.size();
    const std::size_t bound = sdmNamesLineBound(count);
    if (length > bound) {
      reason = "a names line of " + std::to_string(length) +
               " bytes, longer than an SDM file may hold (" + std::to_string(bound) + ")";
    }
  }
  if (!reason.empty()) throw std::runtime_error("Cannot save " + path + ": " + reason);
}

void saveSdm(DesignMatrix& matrix, const std::string& path) {
  matrix.fileName = path;
  const int32_t declared = matrix.nrOfDataPoints;
  const auto dataPoints = static_cast<std::size_t>(declared > 0 ? declared : 0);
  checkShape(matrix, dataPoints, path);
  checkSdmLimits(matrix, path);

  base::OutputFile file(path);
  writeHeader(file, matrix);
  writeDataLines(file, matrix.predictors, dataPoints);
  file.commit();
}

}  // namespace sdm

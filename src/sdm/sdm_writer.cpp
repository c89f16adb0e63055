// DesignMatrix::save: writes the SDM layout that the reader reads back, with CRLF line ends on
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
#include <type_traits>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "base/output_file.h"
#include "sdm/design_matrix.h"
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

// Key and colon padded with spaces to `width`. A width that leaves no blank (the value stood
// on the line after its key) gets one space, so that the key is still read as a key.
template <typename T>
void appendEntry(std::string& out, const HeaderEntry<T>& entry, int lineEnds) {
  if (!entry.present) return;
  const std::size_t start = out.size();
  out += entry.key;
  out += ':';
  const std::size_t written = out.size() - start;
  const auto width = static_cast<std::size_t>(entry.width > 0 ? entry.width : 0);
  out.append(width > written ? width - written : 1, ' ');
  if constexpr (std::is_same_v<T, bool>) {
    out += entry.value ? '1' : '0';
  } else {
    appendInteger(out, entry.value);
  }
  for (int i = 0; i < lineEnds; ++i) out += lineEnd;
}

// The writer loops to the header's counts; a matrix whose arrays are shorter (an invariant
// broken by hand) would make it read outside them, so it is refused before anything is created.
void checkShape(const DesignMatrix& matrix, std::size_t count, std::size_t dataPoints,
                const std::string& path) {
  bool fits = matrix.red.size() >= count && matrix.green.size() >= count &&
              matrix.blue.size() >= count && matrix.names.size() >= count &&
              matrix.values.size() >= count;
  for (std::size_t p = 0; fits && p < count; ++p) fits = matrix.values[p].size() >= dataPoints;
  if (!fits) throw std::logic_error("Design matrix does not match its header: " + path);
}

// Writes the header, the colours line and the names line, handing the text to `file` whenever
// a chunk is full.
void writeHeader(base::OutputFile& file, const DesignMatrix& matrix, std::size_t count) {
  std::string out;
  out.reserve(chunkSize + 64 * count + 4096);
  const auto flushIfFull = [&] {
    if (out.size() >= chunkSize) {
      file.write(out);
      out.clear();
    }
  };

  appendEntry(out, matrix.fileVersion, 2);
  appendEntry(out, matrix.nrOfPredictors, 1);
  appendEntry(out, matrix.nrOfDataPoints, 1);
  appendEntry(out, matrix.includesConstant, 1);
  appendEntry(out, matrix.firstConfoundPredictor, 2);

  for (std::size_t p = 0; p < count; ++p) {
    if (p > 0) out += "   ";
    appendInteger(out, matrix.red[p]);
    out += ' ';
    appendInteger(out, matrix.green[p]);
    out += ' ';
    appendInteger(out, matrix.blue[p]);
    flushIfFull();
  }
  out += lineEnd;

  for (std::size_t p = 0; p < count; ++p) {
    if (p > 0) out += ' ';
    out += '"';
    out += matrix.names[p];
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
void writeDataLines(base::OutputFile& file, const std::vector<std::vector<float>>& values,
                    std::size_t count, std::size_t dataPoints) {
  std::vector<int> decimals(count);
  for (std::size_t p = 0; p < count; ++p)
    decimals[p] = savedDecimals(std::span(values[p]).first(dataPoints));
  DataLineBuffer lines(file, std::move(decimals));
  const std::size_t tileRows =
      std::clamp<std::size_t>((std::size_t{1} << 18) / (count > 0 ? count : 1), 1, 16);
  std::vector<float> tile(count * std::min(tileRows, dataPoints));
  for (std::size_t first = 0; first < dataPoints; first += tileRows) {
    const std::size_t rows = std::min(tileRows, dataPoints - first);
    for (std::size_t p = 0; p < count; ++p) {
      const float* column = values[p].data() + first;
      for (std::size_t r = 0; r < rows; ++r) tile[r * count + p] = column[r];
    }
    for (std::size_t r = 0; r < rows; ++r) lines.putLine(tile.data() + r * count, count);
  }
  lines.finish();
}

}  // namespace

void checkSdmLimits(const DesignMatrix& matrix, const std::string& path) {
  const int64_t count = matrix.nrOfPredictors.value;
  const int64_t dataPoints = matrix.nrOfDataPoints.value;
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
    for (std::size_t p = 0; p < static_cast<std::size_t>(count) && p < matrix.names.size(); ++p)
      length += matrix.names[p].size();
    const std::size_t bound = sdmNamesLineBound(count);
    if (length > bound) {
      reason = "a names line of " + std::to_string(length) +
               " bytes, longer than an SDM file may hold (" + std::to_string(bound) + ")";
    }
  }
  if (!reason.empty()) throw std::runtime_error("Cannot save " + path + ": " + reason);
}

void DesignMatrix::save(const std::string& path) {
  fileName = path;
  const auto count = static_cast<std::size_t>(nrOfPredictors.value > 0 ? nrOfPredictors.value : 0);
  const auto dataPoints =
      static_cast<std::size_t>(nrOfDataPoints.value > 0 ? nrOfDataPoints.value : 0);
  checkShape(*this, count, dataPoints, path);
  checkSdmLimits(*this, path);

  base::OutputFile file(path);
  writeHeader(file, *this, count);
  writeDataLines(file, values, count, dataPoints);
  file.commit();
}

}  // namespace sdm

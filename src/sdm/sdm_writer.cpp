// DesignMatrix::save: writes the SDM layout that the reader reads back, with CRLF line ends on
// every platform. Lines are built in one string and handed to the output file in large
// chunks; numbers are formatted without any locale.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "sdm/design_matrix.h"
#include "sdm/number_text.h"
#include "sdm/output_file.h"
#include "sdm/sdm_limits.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kChunkSize = 1 << 20;

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
  for (int i = 0; i < lineEnds; ++i) out += kLineEnd;
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

}  // namespace

void checkSdmLimits(const DesignMatrix& matrix, const std::string& path) {
  const int64_t count = matrix.nrOfPredictors.value;
  const int64_t dataPoints = matrix.nrOfDataPoints.value;
  std::string reason;
  if (count > kMaxSdmPredictors) {
    reason = std::to_string(count) + " predictors, more than an SDM file may hold (" +
             std::to_string(kMaxSdmPredictors) + ")";
  } else if (dataPoints > kMaxSdmValues || count * dataPoints > kMaxSdmValues) {
    reason = std::to_string(count) + " x " + std::to_string(dataPoints) +
             " values, more than an SDM file may hold (" + std::to_string(kMaxSdmValues) + ")";
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

  OutputFile file(path);
  std::string out;
  out.reserve(kChunkSize + 64 * count + 4096);
  auto flushIfFull = [&] {
    if (out.size() >= kChunkSize) {
      file.write(out);
      out.clear();
    }
  };

  appendEntry(out, fileVersion, 2);
  appendEntry(out, nrOfPredictors, 1);
  appendEntry(out, nrOfDataPoints, 1);
  appendEntry(out, includesConstant, 1);
  appendEntry(out, firstConfoundPredictor, 2);

  for (std::size_t p = 0; p < count; ++p) {
    if (p > 0) out += "   ";
    appendInteger(out, red[p]);
    out += ' ';
    appendInteger(out, green[p]);
    out += ' ';
    appendInteger(out, blue[p]);
    flushIfFull();
  }
  out += kLineEnd;

  for (std::size_t p = 0; p < count; ++p) {
    if (p > 0) out += ' ';
    out += '"';
    out += names[p];
    out += '"';
    flushIfFull();
  }
  out += kLineEnd;

  for (std::size_t t = 0; t < dataPoints; ++t) {
    for (std::size_t p = 0; p < count; ++p) {
      const float value = values[p][t];
      // A non-negative value gets one blank more than a negative one, so that the columns
      // line up; a NaN compares false and gets none.
      out.append(p == 0 ? 1 : 2, ' ');
      if (value >= 0.0f) out += ' ';
      appendFixed(out, static_cast<double>(value), 6);
    }
    out += kLineEnd;
    flushIfFull();
  }
  file.write(out);
  file.commit();
}

// DesignMatrix::load: reads an SDM file in one pass over a fixed-size buffer. The layout and
// the reader's tolerances are described for people in docs/sdm-format.md.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "sdm/data_line.h"
#include "sdm/design_matrix.h"
#include "sdm/io_error.h"
#include "sdm/sdm_input.h"
#include "sdm/sdm_limits.h"

namespace {

constexpr std::string_view kFileVersion = "FileVersion:";
constexpr std::string_view kNrOfPredictors = "NrOfPredictors:";
constexpr std::string_view kNrOfDataPoints = "NrOfDataPoints:";
constexpr std::string_view kIncludesConstant = "IncludesConstant:";
constexpr std::string_view kFirstConfoundPredictor = "FirstConfoundPredictor:";
// No key is longer than this; a longer token is skipped without being held.
constexpr std::size_t kLongestKey = kFirstConfoundPredictor.size();

IOError invalidHeader(const std::string& path) { return IOError("Invalid SDM header in " + path); }

// Reads the value of the key `token` into `entry`. `width` counts the key with its colon and
// every space or tab right after it; the value itself may stand further on, even on a later
// line. A value that cannot be read leaves a header that can never end properly.
template <typename T>
void readEntry(SdmInput& in, const std::string& token, HeaderEntry<T>& entry,
               const std::string& path) {
  entry.key.assign(token, 0, token.size() - 1);
  entry.width = static_cast<int32_t>(token.size());
  for (int c = in.peek(); c == ' ' || c == '\t'; c = in.peek()) {
    in.advance();
    if (entry.width < kMaxSdmHeaderWidth) ++entry.width;
  }
  int32_t value = 0;
  if (in.readInteger(value) == SdmInput::Extract::failed) throw invalidHeader(path);
  if constexpr (std::is_same_v<T, bool>) {
    // A boolean is extracted as a number that must be 0 or 1.
    if (value != 0 && value != 1) throw invalidHeader(path);
    entry.value = value == 1;
  } else {
    entry.value = value;
  }
  entry.present = true;
}

// The header is a sequence of white-space-separated tokens that ends with the value of
// "FirstConfoundPredictor:"; any token that is not a key is skipped.
void readHeader(SdmInput& in, DesignMatrix& matrix, const std::string& path) {
  // A header that runs on for gigabytes would otherwise be scanned to its end.
  in.limit(kMaxSdmHeaderBytes, "Invalid SDM header in " + path);
  std::string token;
  token.reserve(kLongestKey);
  while (token != kFirstConfoundPredictor) {
    if (!in.readToken(token, kLongestKey)) throw invalidHeader(path);
    if (token == kFileVersion) {
      readEntry(in, token, matrix.fileVersion, path);
    } else if (token == kNrOfPredictors) {
      readEntry(in, token, matrix.nrOfPredictors, path);
    } else if (token == kNrOfDataPoints) {
      readEntry(in, token, matrix.nrOfDataPoints, path);
    } else if (token == kIncludesConstant) {
      readEntry(in, token, matrix.includesConstant, path);
    } else if (token == kFirstConfoundPredictor) {
      readEntry(in, token, matrix.firstConfoundPredictor, path);
    }
  }
}

// Both counts are needed to size the matrix; they are checked before anything is allocated
// so that a corrupt file cannot make the reader exhaust memory.
void checkCounts(const DesignMatrix& matrix, const std::string& path) {
  if (!matrix.nrOfPredictors.present || !matrix.nrOfDataPoints.present) throw invalidHeader(path);
  const int64_t predictors = matrix.nrOfPredictors.value;
  const int64_t dataPoints = matrix.nrOfDataPoints.value;
  if (predictors < 0 || dataPoints < 0 || predictors > kMaxSdmPredictors ||
      dataPoints > kMaxSdmValues || predictors * dataPoints > kMaxSdmValues) {
    throw invalidHeader(path);
  }
}

// Colours are integers in any spacing. One red component is always read ahead; at the names
// line that read-ahead fails on the opening quote having skipped only white space, which
// leaves the input at the start of the names. Components that were not read stay 0.
void readColours(SdmInput& in, DesignMatrix& matrix, std::size_t count) {
  matrix.red.assign(count, 0);
  matrix.green.assign(count, 0);
  matrix.blue.assign(count, 0);
  using Extract = SdmInput::Extract;
  int32_t pendingRed = 0;
  Extract status = in.readInteger(pendingRed);
  for (std::size_t p = 0; status == Extract::ok && p < count; ++p) {
    int32_t green = 0;
    int32_t blue = 0;
    const Extract greenStatus = in.readInteger(green);
    const Extract blueStatus = greenStatus == Extract::ok ? in.readInteger(blue) : Extract::failed;
    matrix.red[p] = pendingRed;
    if (greenStatus != Extract::failed) matrix.green[p] = green;
    if (blueStatus != Extract::failed) matrix.blue[p] = blue;
    if (blueStatus != Extract::ok) break;
    status = in.readInteger(pendingRed);
  }
}

// The names line is the rest of the current line, or the next line when that holds no
// quote. Names are the texts between successive pairs of quotes; missing ones are "NoName".
void readNames(SdmInput& in, DesignMatrix& matrix, std::size_t count) {
  const std::size_t bound = sdmNamesLineBound(static_cast<int64_t>(count));
  std::string line;
  in.readLine(line, bound);
  if (line.find('"') == std::string::npos) in.readLine(line, bound);
  matrix.names.assign(count, "NoName");
  std::size_t taken = 0;
  std::size_t open = line.find('"');
  while (open != std::string::npos && taken < count) {
    const std::size_t close = line.find('"', open + 1);
    if (close == std::string::npos) break;
    matrix.names[taken++].assign(line, open + 1, close - open - 1);
    open = line.find('"', close + 1);
  }
}

// One line per data point; a line that is not taken, or a missing one, leaves 0.0 in every
// predictor. An empty line uses up its data point like any other.
void readData(SdmInput& in, DesignMatrix& matrix, std::size_t count, std::size_t dataPoints) {
  if (count == 0) return;  // no column to fill, whatever M says
  matrix.values.assign(count, std::vector<float>(dataPoints, 0.0f));
  const std::size_t bound = sdmDataLineBound(static_cast<int64_t>(count));
  std::string line;
  std::vector<std::size_t> points;
  points.reserve(count);
  std::vector<float> row(count);
  for (std::size_t t = 0; t < dataPoints; ++t) {
    if (!in.readLine(line, bound)) break;  // the rest stays 0.0
    if (!readDataLine(line, std::span<float>(row), points)) continue;
    for (std::size_t p = 0; p < count; ++p) matrix.values[p][t] = row[p];
  }
}

}  // namespace

DesignMatrix DesignMatrix::load(const std::string& path) {
  DesignMatrix matrix;
  matrix.fileName = path;
  SdmInput in(path);
  readHeader(in, matrix, path);
  checkCounts(matrix, path);
  const auto count = static_cast<std::size_t>(matrix.nrOfPredictors.value);
  const auto dataPoints = static_cast<std::size_t>(matrix.nrOfDataPoints.value);
  in.limit(sdmColoursBound(matrix.nrOfPredictors.value), "Invalid SDM colours in " + path);
  readColours(in, matrix, count);
  in.unlimit();  // the names and data lines have bounds of their own
  readNames(in, matrix, count);
  readData(in, matrix, count, dataPoints);
  return matrix;
}

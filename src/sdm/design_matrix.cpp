#include "sdm/design_matrix.h"

#include "sdm/io_error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace sdm {

namespace {

// Inserts at `index`, or at the end when a broken invariant left `array` shorter than that:
// a matrix built by hand must not make us write outside an array.
template <typename T>
void insertAt(std::vector<T>& array, std::size_t index, T item) {
  const auto at = std::min(index, array.size());
  array.insert(array.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
}

template <typename T>
void popBack(std::vector<T>& array) {
  if (!array.empty()) array.pop_back();
}

int32_t countOf(const std::vector<std::vector<float>>& values) {
  return static_cast<int32_t>(values.size());
}

}  // namespace

float largestFiniteMagnitude(std::span<const float> values) {
  float largest = 0.0f;
  for (const float v : values) {
    if (std::isfinite(v)) largest = std::max(largest, std::fabs(v));
  }
  return largest;
}

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

bool isConstantPredictor(std::span<const float> values) {
  if (values.empty() || values[0] == 0.0f) return false;
  // A NaN compares equal to nothing, so a predictor holding one is never constant.
  const float first = values[0];
  return std::all_of(values.begin(), values.end(), [first](float v) { return v == first; });
}

bool DesignMatrix::hasConstant() const {
  return !values.empty() && isConstantPredictor(values.back());
}

void DesignMatrix::addPredictor(const std::vector<float>& predictorValues, const std::string& name,
                                int32_t redValue, int32_t greenValue, int32_t blueValue,
                                bool isConfound) {
  if (static_cast<int64_t>(predictorValues.size()) != nrOfDataPoints.value) return;
  const bool hadConstant = hasConstant();
  const bool isConstant = isConstantPredictor(predictorValues);
  if (isConstant && hadConstant) return;

  // A loaded file may name a first confound outside 1..N+1. Before the block is extended it is
  // brought into that range: 0 or less means every predictor is a confound, N+2 or more that
  // none is, as append reads the other matrix's index. Incrementing a raw 0 would instead make
  // the new predictor of interest the first confound, and a raw N+7 would leave a new confound
  // outside the block, so the z-transform would touch the wrong predictors.
  const int64_t count = static_cast<int64_t>(values.size());
  const int64_t firstConfound = std::clamp<int64_t>(firstConfoundPredictor.value, 1, count + 1);
  firstConfoundPredictor.value = static_cast<int32_t>(firstConfound);
  // k predictors stay behind the new one.
  int64_t k = 0;
  if (isConfound) {
    k = hadConstant ? 1 : 0;
  } else {
    k = count - firstConfound + 1;
  }
  k = std::clamp<int64_t>(k, 0, count);
  const auto index = static_cast<std::size_t>(count - k);

  insertAt(values, index, predictorValues);
  insertAt(names, index, name);
  insertAt(red, index, redValue);
  insertAt(green, index, greenValue);
  insertAt(blue, index, blueValue);
  nrOfPredictors.value = countOf(values);
  if (!isConfound) ++firstConfoundPredictor.value;
  if (isConstant) includesConstant.value = true;
}

void DesignMatrix::addConstant() {
  if (!hasConstant()) {
    const auto count = static_cast<std::size_t>(std::max<int32_t>(nrOfDataPoints.value, 0));
    addPredictor(std::vector<float>(count, 1.0f), "Constant", 255, 255, 255, true);
  }
  nrOfPredictors.value = countOf(values);
  includesConstant.value = true;
}

void DesignMatrix::removeConstant() {
  if (hasConstant()) {
    values.pop_back();
    popBack(names);
    popBack(red);
    popBack(green);
    popBack(blue);
  }
  nrOfPredictors.value = countOf(values);
  includesConstant.value = false;
}

void checkUsableNames(const std::string& path, std::span<const std::string> names) {
  for (const std::string& name : names) {
    if (name.find_first_of("\"\r\n") == std::string::npos) continue;
    std::string shown;
    for (const char c : name) {
      shown += c == '"' ? "\\\"" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    throw IOError("Unusable predictor name in " + path + ": " + shown);
  }
}

}  // namespace sdm

#pragma once

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"

namespace sdm_test {

// The shortest text that reads back as `value` ("0.25", "-10.5", "nan"), locale-free.
inline std::string floatText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The decimals the writer gives `column`, by the C library's own conversions: six, or 4 - e for
// a column whose largest finite magnitude lies above 0 and below 0.01, e its "%e" exponent.
inline int referenceDecimals(const std::vector<float>& column) {
  double largest = 0.0;
  for (const float v : column) {
    if (std::isfinite(v)) largest = std::fmax(largest, std::fabs(static_cast<double>(v)));
  }
  if (!(largest > 0.0) || largest >= 0.01) return 6;
  char text[32];
  std::snprintf(text, sizeof text, "%e", largest);
  return 4 - static_cast<int>(std::strtol(std::strchr(text, 'e') + 1, nullptr, 10));
}

// The text "%.*f" gives `value` with `decimals` decimals.
inline std::string printfText(float value, int decimals) {
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
  return text;
}

// A header entry: its key (without the colon), width and value, or "absent" and the value.
inline std::string entryText(std::string_view key, const sdm::SdmKeyLayout& layout,
                             long long value) {
  if (!layout.present) return "absent " + std::to_string(value);
  key.remove_suffix(1);
  return std::string(key) + " " + std::to_string(layout.width) + " " + std::to_string(value);
}

// Everything a matrix holds, one member a line, so that a test compares a whole loaded matrix
// with one expected text.
inline std::string describe(const sdm::DesignMatrix& m) {
  const sdm::SdmLayout& layout = sdm::layoutOf(m);
  std::string out;
  out += "fileVersion " + entryText(sdm::fileVersionKey, layout.fileVersion, layout.version);
  out += "\nnrOfPredictors " + entryText(sdm::nrOfPredictorsKey, layout.nrOfPredictors,
                                         static_cast<long long>(m.predictors.size()));
  out += "\nnrOfDataPoints " +
         entryText(sdm::nrOfDataPointsKey, layout.nrOfDataPoints, m.nrOfDataPoints);
  out += "\nincludesConstant " +
         entryText(sdm::includesConstantKey, layout.includesConstant, m.includesConstant);
  out += "\nfirstConfoundPredictor " + entryText(sdm::firstConfoundPredictorKey,
                                                 layout.firstConfoundPredictor,
                                                 m.firstConfoundPredictor);
  out += "\ncolours";
  for (const sdm::Predictor& p : m.predictors) {
    out += ' ';
    out += std::to_string(p.colour.red);
    out += ',';
    out += std::to_string(p.colour.green);
    out += ',';
    out += std::to_string(p.colour.blue);
  }
  out += "\nnames";
  for (const sdm::Predictor& p : m.predictors) {
    out += " [";
    out += p.name;
    out += ']';
  }
  out += "\n";
  for (const sdm::Predictor& p : m.predictors) {
    out += "values";
    for (float v : p.values) {
      out += ' ';
      out += floatText(v);
    }
    out += "\n";
  }
  return out;
}

// The layout of a file Brindle writes anew: FileVersion 1, every key present at width 24.
inline std::shared_ptr<const sdm::SdmLayout> newFileLayout() {
  return sdm::newDesignMatrix({}, 0, {}, 1).layout;
}

// Changes the layout of `m` by `edit`, leaving the layout that copies of `m` share alone.
template <typename Edit>
void editLayout(sdm::DesignMatrix& m, Edit edit) {
  sdm::SdmLayout layout = sdm::layoutOf(m);
  edit(layout);
  m.layout = std::make_shared<const sdm::SdmLayout>(layout);
}

// A float of any kind the writer meets: small, wide (up to 10^12) and tiny, negative, exact
// ties at the sixth decimal (odd multiples of 1/128), any bit pattern (NaN payloads, subnormals,
// the largest floats), and the special values.
inline float anyFloat(std::mt19937& random) {
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  const float sign = random() % 2 ? 1.0f : -1.0f;
  const float specials[] = {0.0f,
                            -0.0f,
                            std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            1e8f,
                            99999992.0f,
                            1e9f,
                            999999936.0f,
                            -0.0000004f};
  switch (random() % 6) {
    case 0:
      return 10.0f * uniform(random);
    case 1:
      return sign * std::pow(10.0f, 19.0f * uniform(random) - 7.0f);
    case 2:
      return static_cast<float>(static_cast<int>(random() % 2000001) - 1000000) / 128.0f;
    case 3:
      return std::bit_cast<float>(static_cast<uint32_t>(random()));
    case 4:
      return specials[random() % std::size(specials)];
    default:
      return 0.3f * uniform(random);
  }
}

// A matrix "made.sdm" of `names.size()` predictors laid out as Brindle writes a new file (every
// header entry present at width 24, FileVersion 1), the kinds by position as the reader gives
// them. Colours are (p, p + 1, p + 2) for predictor p.
inline sdm::DesignMatrix makeMatrix(const std::vector<std::string>& names,
                                    const std::vector<std::vector<float>>& columns,
                                    int32_t dataPoints, int32_t firstConfound) {
  std::vector<sdm::Predictor> predictors;
  for (std::size_t p = 0; p < names.size(); ++p) {
    const auto index = static_cast<int32_t>(p);
    predictors.push_back({names[p], {index, index + 1, index + 2}, {}, columns.at(p)});
  }
  sdm::DesignMatrix m =
      sdm::newDesignMatrix("made.sdm", dataPoints, std::move(predictors), firstConfound);
  sdm::setKindsByPosition(m);
  return m;
}

// The kinds of a matrix's predictors joined by single spaces: "interest confound constant".
inline std::string kindsText(const sdm::DesignMatrix& m) {
  std::string out;
  for (const sdm::Predictor& p : m.predictors) {
    if (!out.empty()) out += ' ';
    out += sdm::kindName(p.kind);
  }
  return out;
}

// The names of a matrix joined by single spaces: placement checks read like "a b c Constant".
inline std::string joinedNames(const sdm::DesignMatrix& m) {
  std::string out;
  for (const sdm::Predictor& p : m.predictors) {
    if (!out.empty()) out += ' ';
    out += p.name;
  }
  return out;
}

}  // namespace sdm_test

#pragma once

#include <charconv>
#include <string>
#include <vector>

#include "sdm/design_matrix.h"

namespace sdm_test {

// The shortest text that reads back as `value` ("0.25", "-10.5", "nan"), locale-free.
inline std::string floatText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

template <typename T>
std::string entryText(const HeaderEntry<T>& entry) {
  if (!entry.present) return "absent " + std::to_string(static_cast<long long>(entry.value));
  return entry.key + " " + std::to_string(entry.width) + " " +
         std::to_string(static_cast<long long>(entry.value));
}

// Everything a matrix holds, one member a line, so that a test compares a whole loaded matrix
// with one expected text.
inline std::string describe(const DesignMatrix& m) {
  std::string out;
  out += "fileVersion " + entryText(m.fileVersion) + "\n";
  out += "nrOfPredictors " + entryText(m.nrOfPredictors) + "\n";
  out += "nrOfDataPoints " + entryText(m.nrOfDataPoints) + "\n";
  out += "includesConstant " + entryText(m.includesConstant) + "\n";
  out += "firstConfoundPredictor " + entryText(m.firstConfoundPredictor) + "\n";
  out += "colours";
  for (std::size_t p = 0; p < m.red.size(); ++p) {
    out += ' ';
    out += std::to_string(m.red[p]);
    out += ',';
    out += std::to_string(m.green.at(p));
    out += ',';
    out += std::to_string(m.blue.at(p));
  }
  out += "\nnames";
  for (const auto& name : m.names) {
    out += " [";
    out += name;
    out += ']';
  }
  out += "\n";
  for (const auto& column : m.values) {
    out += "values";
    for (float v : column) {
      out += ' ';
      out += floatText(v);
    }
    out += "\n";
  }
  return out;
}

// A hand-built matrix of `names.size()` predictors as the reader would leave it, with every
// header entry present at width 24. Colours are (p, p + 1, p + 2) for predictor p.
inline DesignMatrix makeMatrix(const std::vector<std::string>& names,
                               const std::vector<std::vector<float>>& columns, int32_t dataPoints,
                               int32_t firstConfound) {
  DesignMatrix m;
  m.fileName = "made.sdm";
  m.fileVersion = {"FileVersion", 1, 24, true};
  m.nrOfPredictors = {"NrOfPredictors", static_cast<int32_t>(names.size()), 24, true};
  m.nrOfDataPoints = {"NrOfDataPoints", dataPoints, 24, true};
  m.includesConstant = {"IncludesConstant", false, 24, true};
  m.firstConfoundPredictor = {"FirstConfoundPredictor", firstConfound, 24, true};
  for (std::size_t p = 0; p < names.size(); ++p) {
    const auto index = static_cast<int32_t>(p);
    m.red.push_back(index);
    m.green.push_back(index + 1);
    m.blue.push_back(index + 2);
  }
  m.names = names;
  m.values = columns;
  return m;
}

// The names of a matrix joined by single spaces: placement checks read like "a b c Constant".
inline std::string joinedNames(const DesignMatrix& m) {
  std::string out;
  for (const auto& name : m.names) {
    if (!out.empty()) out += ' ';
    out += name;
  }
  return out;
}

}  // namespace sdm_test

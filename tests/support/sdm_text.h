#pragma once

#include <string>
#include <vector>

// The text of a small SDM file as Brindle writes one (header width 24, CRLF line ends), for tests
// that need a file on disk. `rows` are whole data lines without their line end, so a test can
// damage one on purpose.
struct SdmText {
  std::vector<std::string> names;
  std::vector<std::string> rows;
  int firstConfound = 1;
  bool includesConstant = false;
  int dataPoints = -1;  // the header's count; -1: rows.size()

  std::string text() const {
    auto entry = [](const std::string& key, long value) {
      std::string line = key + ":";
      line.resize(24, ' ');
      return line + std::to_string(value) + "\r\n";
    };
    std::string out = entry("FileVersion", 1) + "\r\n";
    out += entry("NrOfPredictors", static_cast<long>(names.size()));
    out += entry("NrOfDataPoints", dataPoints < 0 ? static_cast<long>(rows.size()) : dataPoints);
    out += entry("IncludesConstant", includesConstant ? 1 : 0);
    out += entry("FirstConfoundPredictor", firstConfound) + "\r\n";
    for (std::size_t p = 0; p < names.size(); ++p)
      out += (p == 0 ? "" : "   ") + std::string("255 0 0");
    out += "\r\n";
    for (std::size_t p = 0; p < names.size(); ++p) out += (p == 0 ? "\"" : " \"") + names[p] + "\"";
    out += "\r\n";
    for (const auto& row : rows) out += row + "\r\n";
    return out;
  }
};

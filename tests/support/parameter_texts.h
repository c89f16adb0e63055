#pragma once

#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "contract/parameters.h"
#include "support/process.h"

namespace testing_support {

// One row of tests/contract/parameter_texts.tsv: a text the dialog parameter takes or refuses.
struct ParameterText {
  std::string parameter;
  bool takes = false;
  std::optional<double> number;  // what the text reads as, when the table says
  std::string text;
};

// The rows of the table, which the plug-in's contract, Tormel's and brindle-bids' options and the
// dialog script all follow. Throws std::runtime_error for a row it cannot read.
inline std::vector<ParameterText> parameterTexts() {
  std::ifstream in(sourceDir() + "/tests/contract/parameter_texts.tsv", std::ios::binary);
  std::vector<ParameterText> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1),
               tab3 = line.find('\t', tab2 + 1);
    if (tab3 == std::string::npos || line.size() < tab3 + 3 || line.back() != '"')
      throw std::runtime_error("unreadable row: " + line);
    ParameterText row{line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1) == "ok", {}, {}};
    const std::string number = line.substr(tab2 + 1, tab3 - tab2 - 1);
    if (number != "-") row.number = std::stod(number);
    // The text as a JSON string: \t, \r, \n, \" and \\ are the only escapes it uses.
    for (std::size_t i = tab3 + 2; i + 1 < line.size(); ++i) {
      char c = line[i];
      if (c == '\\') {
        c = line[++i];
        c = c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
      }
      row.text += c;
    }
    rows.push_back(std::move(row));
  }
  if (rows.empty()) throw std::runtime_error("no rows in parameter_texts.tsv");
  return rows;
}

}  // namespace testing_support

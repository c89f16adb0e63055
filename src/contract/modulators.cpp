#include "contract/modulators.h"

#include "contract/terms.h"

namespace contract {

std::vector<Modulator> parseModulators(std::string_view terms) {
  std::vector<Modulator> modulators;
  for (const std::string_view term : splitTerms(terms)) {
    const std::size_t colon = term.rfind(':');
    Modulator modulator{std::string(withoutBlanks(term.substr(0, colon))), Centring::none};
    if (colon != std::string_view::npos) {
      const std::string_view how = withoutBlanks(term.substr(colon + 1));
      if (how == "demean")
        modulator.centring = Centring::demean;
      else if (how == "scale")
        modulator.centring = Centring::scale;
      else
        throw ModulatorTermError("modulator \"" + std::string(term) +
                                 "\": write COLUMN, COLUMN:demean or COLUMN:scale");
    }
    if (modulator.column.empty())
      throw ModulatorTermError("modulator \"" + std::string(term) +
                               "\" names no column; write COLUMN, COLUMN:demean or COLUMN:scale");
    for (const Modulator& earlier : modulators) {
      if (earlier.column == modulator.column)
        throw ModulatorTermError("modulator column \"" + modulator.column +
                                 "\" is named twice; name each column once");
    }
    modulators.push_back(std::move(modulator));
  }
  return modulators;
}

std::string modulatedName(std::string_view condition, std::string_view column) {
  return std::string(condition) + "_x_" + std::string(column);
}

}  // namespace contract

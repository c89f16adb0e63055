#include "diagnostics/contrast_weights.h"

#include <map>
#include <string_view>

#include "diagnostics/display_names.h"

namespace diagnostics {

using correlation::PredictorRole;
namespace {

// Where a name stands in the design: its first predictor and how many carry it.
struct NamePlace {
  std::size_t first = 0;
  std::size_t count = 0;
};

std::size_t resolved(const std::map<std::string_view, NamePlace>& places,
                     const ContrastDesign& design, const std::string& contrast,
                     const std::string& predictor) {
  const std::string subject = "contrast \"" + contrast + "\" names \"" + predictor + "\"";
  const auto place = places.find(predictor);
  if (place == places.end())
    throw ContrastResolutionError(
        subject +
        ", which is not a predictor of the design; write the names as the design has them");
  if (place->second.count > 1)
    throw ContrastResolutionError(subject + ", which " + std::to_string(place->second.count) +
                                  " predictors of the design share; a contrast can name only a "
                                  "predictor whose name occurs once");
  if (design.roles[place->second.first] == PredictorRole::constant)
    throw ContrastResolutionError(
        subject +
        ", the constant of the design; leave it out: contrasts compare the other "
        "predictors");
  return place->second.first;
}

}  // namespace

std::vector<ContrastWeights> resolveContrasts(
    std::span<const contract::ContrastDefinition> definitions, const ContrastDesign& design) {
  // One look-up table for all terms: a thousand definitions of many terms stay cheap on a design
  // of thousands of predictors.
  std::map<std::string_view, NamePlace> places;
  for (std::size_t i = 0; i < design.names.size(); ++i) {
    NamePlace& place = places[design.names[i]];
    if (place.count++ == 0) place.first = i;
  }
  std::vector<ContrastWeights> contrasts;
  contrasts.reserve(definitions.size());
  for (const contract::ContrastDefinition& definition : definitions) {
    ContrastWeights contrast{definition.name, definition.fTest, {}};
    for (const std::vector<contract::ContrastTerm>& terms : definition.rows) {
      std::vector<ContrastWeight>& row = contrast.rows.emplace_back();
      for (const contract::ContrastTerm& term : terms)
        row.push_back({resolved(places, design, definition.name, term.predictor), term.weight});
    }
    contrasts.push_back(std::move(contrast));
  }
  return contrasts;
}

std::vector<ContrastWeights> defaultContrasts(const ContrastDesign& design) {
  const std::vector<std::string> names = displayNames(design.names);
  std::vector<ContrastWeights> contrasts;
  for (std::size_t i = 0; i < design.roles.size() && i < names.size(); ++i) {
    const PredictorRole role = design.roles[i];
    if (role == PredictorRole::interest ||
        (role == PredictorRole::flat && i < design.firstConfound))
      contrasts.push_back({names[i], false, {{{i, 1.0}}}});
  }
  return contrasts;
}

}  // namespace diagnostics

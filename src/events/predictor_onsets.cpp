#include "events/predictor_onsets.h"

#include <algorithm>
#include <optional>
#include <string>

#include "contract/predictor_names.h"

namespace events {

namespace {

// The index of the condition `name` in the byte-ordered conditions of `table`.
std::optional<std::size_t> conditionNamed(const EventsTable& table, std::string_view name) {
  const auto at = std::lower_bound(table.conditions.begin(), table.conditions.end(), name,
                                   [](const std::string& a, std::string_view b) { return a < b; });
  if (at == table.conditions.end() || *at != name) return std::nullopt;
  return static_cast<std::size_t>(at - table.conditions.begin());
}

// The condition whose modulated predictor `name` is: the text before an "_x_" that leaves a
// column after it. A condition may hold "_x_" itself, so the longest one that fits wins.
std::optional<std::size_t> modulatedCondition(const EventsTable& table, std::string_view name) {
  constexpr std::string_view joint = "_x_";
  std::optional<std::size_t> found;
  for (std::size_t at = name.find(joint); at != std::string_view::npos;
       at = name.find(joint, at + 1)) {
    if (at + joint.size() >= name.size()) break;
    if (const auto condition = conditionNamed(table, name.substr(0, at))) found = condition;
  }
  return found;
}

}  // namespace

std::optional<std::size_t> conditionOfPredictor(const EventsTable& table, std::string_view name) {
  if (const auto condition = conditionNamed(table, name)) return condition;
  const std::string_view suffix = contract::derivativeSuffix;
  if (name.ends_with(suffix)) {
    if (const auto condition = conditionNamed(table, name.substr(0, name.size() - suffix.size())))
      return condition;
  }
  return modulatedCondition(table, name);
}

std::vector<std::vector<double>> predictorOnsets(const EventsTable& table,
                                                 const sdm::DesignMatrix& matrix) {
  std::vector<std::vector<double>> onsets(matrix.predictors.size());
  for (std::size_t i = 0; i < matrix.predictors.size(); ++i) {
    const sdm::Predictor& predictor = matrix.predictors[i];
    if (predictor.kind != sdm::PredictorKind::interest) continue;
    const auto condition = conditionOfPredictor(table, predictor.name);
    if (!condition) continue;
    for (const Event& event : table.events[*condition]) onsets[i].push_back(event.onset);
  }
  return onsets;
}

}  // namespace events

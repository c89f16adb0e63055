#include "events/condition_terms.h"

#include "contract/terms.h"

namespace events {

ConditionChoice chooseConditions(std::span<const std::string> conditions, std::string_view terms) {
  ConditionChoice choice;
  std::vector<bool> kept(conditions.size(), false);
  const std::vector<std::string_view> list = contract::splitTerms(terms);
  for (const std::string_view term : list) {
    bool matched = false;
    for (std::size_t c = 0; c < conditions.size(); ++c) {
      if (!contract::matchesWildcard(term, conditions[c])) continue;
      kept[c] = true;
      matched = true;
    }
    if (!matched) choice.unmatched.emplace_back(term);
  }
  for (std::size_t c = 0; c < conditions.size(); ++c)
    if (kept[c] || list.empty()) choice.kept.push_back(c);
  return choice;
}

}  // namespace events

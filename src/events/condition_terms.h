#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Choosing conditions by name. A term is a condition name in which "*" stands for any text and
// "?" for one byte; letters are compared exactly (contract/terms.h).
namespace events {

// The conditions `terms` keeps, and the terms that matched none.
struct ConditionChoice {
  std::vector<std::size_t> kept;       // indices into the conditions, ascending
  std::vector<std::string> unmatched;  // in the order given
};

// Keeps every condition that matches one of the comma-separated `terms` (blanks around a term
// and empty terms are ignored); every condition when there is no term at all.
ConditionChoice chooseConditions(std::span<const std::string> conditions, std::string_view terms);

}  // namespace events

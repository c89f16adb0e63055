#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The suggestion made for a mistyped name ("did you mean ztans?"): the known name nearest to it.
// Written once, so that Tormel, brindle-bids and the plug-in suggest alike.
namespace contract {

// How far apart `a` and `b` are: the fewest insertions, deletions, replacements of one byte and
// swaps of two neighbouring bytes that make one of the other, counted up to `cap` (any larger
// distance reads as cap + 1, so a long text costs no more than its length times cap).
std::size_t editDistance(std::string_view a, std::string_view b, std::size_t cap);

// The nearest names are at most this far from the word they stand for.
inline constexpr std::size_t maxSuggestionDistance = 2;

// The name of `known` (a range of texts) nearest to `word` by editDistance when it is at most
// maxSuggestionDistance away, the first in the range's order among those as near; none when no
// name is that near, or when `word` is itself one of them.
template <typename Names>
std::optional<std::string> nearestName(std::string_view word, const Names& known) {
  std::optional<std::string> nearest;
  std::size_t best = maxSuggestionDistance + 1;
  for (const auto& name : known) {
    const std::size_t distance = editDistance(word, name, maxSuggestionDistance);
    if (distance == 0) return std::nullopt;
    if (distance < best) {
      best = distance;
      nearest = std::string(name);
    }
  }
  return nearest;
}

// " (did you mean NAME?)" for the nearest name of `known` to `word`, or `otherwise` when none is
// near enough: the end of a message that names `word` as unknown.
template <typename Names>
std::string suggestion(std::string_view word, const Names& known, const std::string& otherwise) {
  const std::optional<std::string> nearest = nearestName(word, known);
  return nearest ? " (did you mean " + *nearest + "?)" : otherwise;
}

}  // namespace contract

#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The run's settings as the page shows them: the members of the summary's "settings".
namespace report {

// The top-level members of `object`, one JSON object on one line as contract::jsonObjectText
// gives it, in order: each name, and its value in words, a string's as text (escapes undone,
// characters beyond ASCII in UTF-8), any other value as its JSON text. Nothing for an empty text;
// a text that is no such object gives the members read before the fault, never an exception.
std::vector<std::pair<std::string, std::string>> settingsMembers(std::string_view object);

}  // namespace report

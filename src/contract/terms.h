#pragma once

#include <string_view>
#include <vector>

// Lists of terms as the dialog's text fields hold them ("motion24, cosine", "face*,house?"):
// terms separated by commas, names in which "*" stands for any text and "?" for one byte.
namespace contract {

// `text` without the blanks (space, tab, CR, LF) at either end.
std::string_view withoutBlanks(std::string_view text);

// The terms of `terms`, each without its blanks (withoutBlanks); empty terms are dropped. The
// views point into `terms`.
std::vector<std::string_view> splitTerms(std::string_view terms);

// True when `name` matches `pattern` as a whole; letters are compared exactly. Without
// backtracking: the text between two stars goes to its leftmost place, so the time is linear in
// the name for a given pattern.
bool matchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace contract

#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The contrasts a researcher means to test, as the dialog, Tormel and brindle-bids take them.
// A definition is `NAME = EXPR` or just `EXPR` (its name is then the expression as written); an
// F contrast is `NAME = [EXPR, EXPR, ...]`. EXPR is a sum of terms `[+|-] [NUMBER [*]] PREDICTOR`,
// the first sign optional, the number (weight 1 when left out) in the classic decimal notation;
// a predictor name that holds blanks, `+ - * = ,` or brackets, or that reads as a number, is
// written in double quotes (no escapes: a name cannot hold `"` or a line end; "2back" needs
// none). Blanks are free between tokens. The text never depends on the locale.

namespace contract {

// The longest definition read, in bytes, and the most definitions in one list.
inline constexpr std::size_t maxContrastDefinitionBytes = 4096;
inline constexpr std::size_t maxContrastDefinitions = 1000;

// One weighted predictor of a contrast: the name as written (quotes removed) and its weight.
struct ContrastTerm {
  std::string predictor;
  double weight = 1.0;
  bool operator==(const ContrastTerm&) const = default;
};

// A parsed definition: its name, whether it is an F contrast, and its rows (one for a t
// contrast). Each row names every predictor once, in the order of first mention; a predictor
// written twice in a row carries the sum of its weights (which may be 0). Every row has a
// weight other than 0.
struct ContrastDefinition {
  std::string name;
  bool fTest = false;
  std::vector<std::vector<ContrastTerm>> rows;
  bool operator==(const ContrastDefinition&) const = default;
};

// A definition that cannot be read. what() names the definition, says what is wrong and how to
// write it, in a sentence fit for a usage error or the dialog.
class ContrastSyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The definition in `definition` (blanks around it ignored). Throws ContrastSyntaxError for an
// empty or overlong definition, a syntax error, a weight out of range or a row with no weight.
ContrastDefinition parseContrast(std::string_view definition);

// The definitions of the dialog's "contrasts" text, one a line (LF, or CR LF), empty and blank
// lines skipped. Throws ContrastSyntaxError as parseContrast does, for more than
// maxContrastDefinitions definitions, and for a name that two definitions share.
std::vector<ContrastDefinition> parseContrastList(std::string_view lines);

// The same for definitions given one by one (one per command-line option): none may be empty.
std::vector<ContrastDefinition> parseContrasts(std::span<const std::string> definitions);

// `contrast` written back in one canonical form, `NAME = faces - 0.5 houses` or
// `NAME = [faces, houses]`, which parseContrast reads as `contrast` again (for names and
// predictors that parseContrast can give; a weight of 1 is left out, the others are written
// shortest, as std::to_chars writes them).
std::string contrastText(const ContrastDefinition& contrast);

}  // namespace contract

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A JSON object text that one program hands another to be kept as it is (brindle-bids' record of a
// run's settings, which the plug-in writes into the summary): checked against the JSON grammar
// (RFC 8259) and rewritten on one line in ASCII, so that a file holding it stays ASCII.
namespace contract {

// Objects and arrays nest at most this deep; a deeper text is refused rather than read.
inline constexpr std::size_t maxJsonDepth = 64;

// A text judged by jsonObjectText: the object on one line, or why it is none.
struct JsonObjectText {
  std::string text;     // the object without blanks between its tokens; "" when refused
  std::string problem;  // "" when it is one object; else "byte 12: a ':' is missing", say

  bool ok() const { return problem.empty(); }
};

// Reads `json`: one JSON object in UTF-8, blanks (space, tab, CR, LF) around it and between its
// tokens allowed. The result keeps every token as written (numbers, escapes, the order of members,
// repeated names) and writes each character beyond ASCII inside a string as a \uXXXX escape (a
// surrogate pair above U+FFFF). Refuses anything else: another value at the top, a grammar error,
// bytes that are not UTF-8, a control character inside a string, nesting beyond maxJsonDepth.
JsonObjectText jsonObjectText(std::string_view json);

}  // namespace contract

#pragma once

#include <string>
#include <string_view>

// The correlation threshold the user gives as text (the dialog parameter "corrwarn", Tormel's
// --warn, brindle-bids' --warn): one grammar for the three programs and the dialog script.
namespace contract {

// A threshold text read without regard to any locale. Blanks (space, tab, CR, LF) around it are
// ignored; nothing left means off; a decimal number in the classic notation (an exponent allowed,
// no sign) that is above 0 and at most 1 means on; anything else ("0,8", "abc", "-0.5", "1.5",
// "nan") is invalid, which lists no pair either.
struct CorrelationThreshold {
  enum class State { off, on, invalid };
  State state = State::off;
  float value = 0.0f;  // the threshold, rounded to float, when on
  std::string text;    // the text without the blanks around it
  bool on() const { return state == State::on; }
};

CorrelationThreshold parseCorrelationThreshold(std::string_view text);

}  // namespace contract

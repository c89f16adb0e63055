#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Something a reader or an analysis tells the user about, as a value: the plug-in decides how
// it reaches the log, and the summary file lists the warnings among them.
enum class NoticeKind {
  warning,  // a file needed repair or held unreadable values: "Warning: NAME: text"
  note,     // anything else worth telling about a file, worded whole by the layer that made it
};

struct Notice {
  NoticeKind kind = NoticeKind::warning;
  std::string file;  // the path of the file it concerns
  std::string text;  // a warning: what it says about that file; a note: the whole line
};

// Lines of a file that a reader skipped for one reason: how many, and which.
struct SkippedLines {
  std::string reason;          // "onset n/a"
  int64_t count = 0;           // 1 or more
  std::vector<int64_t> lines;  // the first of them (a reader says how many), 1-based, ascending
};

// The notice as one line of text, without any prefix of the log: for a warning "Warning: ", the
// base name of its file, ": " and its text ("Warning: run1.sdm: 3 of 3 predictor names
// missing"); for a note its text as it stands.
std::string noticeText(const Notice& notice);

// The warnings among `notices`, in order.
std::vector<Notice> warningsOf(const std::vector<Notice>& notices);

// "(data points 3, 9, ...)" for the label "data points": the numbers listed in a warning, joined
// by ", " after the label and a space, then ", ..." when `more` were found than listed.
template <typename Number>
std::string listedNumbers(std::string_view label, const std::vector<Number>& numbers, bool more) {
  std::string text = "(";
  text += label;
  text += ' ';
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(numbers[i]);
  }
  if (more) text += ", ...";
  return text + ")";
}

}  // namespace base

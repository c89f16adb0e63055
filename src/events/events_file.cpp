// readEventsFile: one pass over the lines of an events file; each row is split at its tabs and
// its cells read on the spot, so that no more than one line of text is held.

#include "events/events_file.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "base/number_text.h"
#include "contract/terms.h"
#include "sdm/io_error.h"
#include "sdm/sdm_input.h"
#include "sdm/sdm_limits.h"

namespace events {

namespace {

constexpr std::string_view notAvailable = "n/a";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t listedRows = 10;  // the lines a warning lists
constexpr std::size_t absent = std::string_view::npos;

sdm::IOError invalidLine(const std::string& path, int64_t line, const std::string& reason) {
  return sdm::IOError("Invalid events file " + path + " (line " + std::to_string(line) + ": " +
                      reason + ")");
}

bool isControl(int c) { return (c < 0x20 && c != '\t') || c == 0x7F; }

std::string byteText(int c) {
  constexpr char hex[] = "0123456789ABCDEF";
  return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
}

// Lines of the file, numbered from 1, without their line ends and without a byte order mark.
class EventLines {
 public:
  explicit EventLines(const std::string& path) : path_(path), in_(path) {}

  bool next(std::string& line) {
    line.clear();
    if (in_.peek() < 0) return false;
    ++number_;
    for (int c = in_.peek(); c >= 0; c = in_.peek()) {
      in_.advance();
      if (c == '\n') break;
      if (c == '\r' && (in_.peek() == '\n' || in_.peek() < 0)) continue;
      if (isControl(c)) throw invalid(byteText(c) + ", not tab-separated text");
      if (line.size() == maxEventsLineBytes)
        throw invalid("longer than " + std::to_string(maxEventsLineBytes) + " bytes");
      line.push_back(static_cast<char>(c));
    }
    if (number_ == 1 && line.starts_with(byteOrderMark)) line.erase(0, byteOrderMark.size());
    return true;
  }
  int64_t number() const { return number_; }
  sdm::IOError invalid(const std::string& reason) const {
    return invalidLine(path_, number_, reason);
  }

 private:
  const std::string& path_;
  sdm::SdmInput in_;
  int64_t number_ = 0;
};

bool isBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The cells of `line`, split at every tab, without the spaces around them (a line holds no CR
// or LF, a cell no tab: withoutBlanks has only spaces to take).
void splitCells(std::string_view line, std::vector<std::string_view>& cells) {
  cells.clear();
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    cells.push_back(
        contract::withoutBlanks(line.substr(start, tab == absent ? absent : tab - start)));
    if (tab == absent) return;
    start = tab + 1;
  }
}

// A whole cell that is a finite number in the classic notation ("+" allowed).
bool readNumber(std::string_view cell, double& value) {
  const std::optional<double> number = base::wholeNumber<double>(base::withoutPlusSign(cell));
  if (!number || !std::isfinite(*number)) return false;
  value = *number;
  return true;
}

// Where the columns read are, `absent` for an optional one the file lacks.
struct Layout {
  std::size_t width = 0;
  std::size_t onset = absent, duration = absent, condition = absent, modulation = absent;
  std::string conditionName;            // the name of the condition column
  std::vector<std::size_t> modulators;  // the modulator columns asked for, in order
};

std::string columnList(const std::vector<std::string_view>& names) {
  std::string list;
  for (const std::string_view name : names) list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

// Without a condition column of the default name every event is one condition, which hides the
// conditions of a file that keeps them under another name: the other columns are told.
void warnOfOtherColumns(const std::vector<std::string_view>& names, const std::string& path,
                        std::vector<base::Notice>& notices) {
  for (const std::string_view name : names) {
    if (name == "onset" || name == "duration" || name == "modulation") continue;
    notices.push_back({base::NoticeKind::warning, path,
                       "no trial_type column: every event is the condition \"" +
                           std::string(defaultCondition) + "\" (columns: " + columnList(names) +
                           ")"});
    return;
  }
}

Layout layoutOf(const std::vector<std::string_view>& names, const EventLines& lines,
                const EventsColumns& columns) {
  Layout layout;
  layout.width = names.size();
  layout.conditionName =
      columns.condition.empty() ? std::string(defaultConditionColumn) : columns.condition;
  for (std::size_t k = names.size(); k-- > 0;) {
    if (names[k] == "onset") layout.onset = k;
    if (names[k] == "duration") layout.duration = k;
    if (names[k] == layout.conditionName) layout.condition = k;
    if (names[k] == "modulation") layout.modulation = k;
  }
  const char* const noTab = names.size() == 1 ? ", the header has no tab" : "";
  if (layout.onset == absent) throw lines.invalid(std::string("no onset column") + noTab);
  if (layout.duration == absent) throw lines.invalid(std::string("no duration column") + noTab);
  if (layout.condition == absent && !columns.condition.empty())
    throw lines.invalid("no column " + columns.condition +
                        " to name the conditions (columns: " + columnList(names) + ")");
  for (const std::string& modulator : columns.modulators) {
    const auto at = std::find(names.begin(), names.end(), modulator);
    if (at == names.end()) throw lines.invalid("no " + modulator + " column");
    layout.modulators.push_back(static_cast<std::size_t>(at - names.begin()));
  }
  return layout;
}

// Why a cell of `column` is no number: "onset n/a", "onset empty", "onset not a number".
std::string unreadable(std::string_view column, std::string_view cell) {
  const char* why = cell == notAvailable ? " n/a" : cell.empty() ? " empty" : " not a number";
  return std::string(column) + why;
}

// The condition and event of one data row; else why the row is skipped: the first cell, in the
// order onset, duration, modulation, condition, that cannot be used.
std::optional<std::string> readRow(const std::vector<std::string_view>& cells, const Layout& layout,
                                   std::string_view& condition, Event& event) {
  if (!readNumber(cells[layout.onset], event.onset))
    return unreadable("onset", cells[layout.onset]);
  if (!readNumber(cells[layout.duration], event.duration))
    return unreadable("duration", cells[layout.duration]);
  if (event.duration < 0.0) return "duration negative";
  event.amplitude = 1.0;
  if (layout.modulation != absent && !readNumber(cells[layout.modulation], event.amplitude))
    return unreadable("modulation", cells[layout.modulation]);
  condition = layout.condition == absent ? defaultCondition : cells[layout.condition];
  if (condition == notAvailable) return layout.conditionName + " n/a";
  if (condition.empty()) return layout.conditionName + " empty";
  return std::nullopt;
}

// The events of the file as its rows come in, by condition, and the rows skipped.
// A condition's events, and per modulator the events it weights.
struct ConditionEvents {
  std::vector<Event> events;
  std::vector<std::vector<Event>> modulated;
};

class TableBuilder {
 public:
  explicit TableBuilder(std::size_t modulators) : modulators_(modulators) {}

  // Adds the event of a row; `cells` give its modulators' numbers by `layout`.
  void add(std::string_view condition, const Event& event, const EventLines& lines,
           const std::vector<std::string_view>& cells, const Layout& layout) {
    if (events_ == maxEvents)
      throw lines.invalid("more than " + std::to_string(maxEvents) + " events");
    auto at = conditions_.find(condition);
    if (at == conditions_.end()) {
      if (static_cast<int64_t>(conditions_.size()) == sdm::maxSdmPredictors)
        throw lines.invalid("more than " + std::to_string(sdm::maxSdmPredictors) + " conditions");
      at = conditions_.emplace(std::string(condition), emptyCondition()).first;
    }
    at->second.events.push_back(event);
    for (std::size_t m = 0; m < layout.modulators.size(); ++m) {
      Event weighted = event;
      if (readNumber(cells[layout.modulators[m]], weighted.amplitude))
        at->second.modulated[m].push_back(weighted);
    }
    ++events_;
  }

  // Counts the row at `line`, skipped for `reason`, with the others skipped for it.
  void skip(const std::string& reason, int64_t line) {
    auto at = std::find_if(skipped_.begin(), skipped_.end(),
                           [&](const base::SkippedLines& s) { return s.reason == reason; });
    if (at == skipped_.end()) at = skipped_.insert(skipped_.end(), {reason, 0, {}});
    if (at->lines.size() < listedRows) at->lines.push_back(line);
    ++at->count;
  }

  // The table; the one condition "trial" is there even without events when the file has no
  // condition column.
  EventsTable finish(const std::string& path, bool hasConditions,
                     std::vector<base::Notice> notices) {
    if (!hasConditions) conditions_.try_emplace(defaultCondition, emptyCondition());
    EventsTable table;
    table.modulated.resize(modulators_);
    for (auto& [name, condition] : conditions_) {
      table.conditions.push_back(name);
      table.events.push_back(std::move(condition.events));
      for (std::size_t m = 0; m < modulators_; ++m)
        table.modulated[m].push_back(std::move(condition.modulated[m]));
    }
    table.notices = std::move(notices);
    for (const base::SkippedLines& skipped : skipped_)
      table.notices.push_back({base::NoticeKind::warning, path, skippedText(skipped)});
    table.skipped = std::move(skipped_);
    return table;
  }

 private:
  // "2 event(s) skipped: onset n/a (lines 4, 9)".
  static std::string skippedText(const base::SkippedLines& skipped) {
    return std::to_string(skipped.count) + " event(s) skipped: " + skipped.reason + " " +
           base::listedNumbers("lines", skipped.lines,
                               skipped.count > static_cast<int64_t>(skipped.lines.size()));
  }

  ConditionEvents emptyCondition() const {
    return {{}, std::vector<std::vector<Event>>(modulators_)};
  }

  std::size_t modulators_;
  std::map<std::string, ConditionEvents, std::less<>> conditions_;  // byte order
  int64_t events_ = 0;
  std::vector<base::SkippedLines> skipped_;  // by reason, in the order each first came
};

}  // namespace

EventsTable readEventsFile(const std::string& path, const EventsColumns& columns) {
  EventLines lines(path);
  std::string line;
  std::vector<std::string_view> cells;
  std::optional<Layout> layout;
  std::vector<base::Notice> notices;
  TableBuilder table(columns.modulators.size());
  while (lines.next(line)) {
    if (isBlankLine(line)) continue;
    splitCells(line, cells);
    if (!layout) {
      layout = layoutOf(cells, lines, columns);
      if (layout->condition == absent) warnOfOtherColumns(cells, path, notices);
      continue;
    }
    if (cells.size() != layout->width) {
      throw lines.invalid(std::to_string(cells.size()) + " cell(s), the header has " +
                          std::to_string(layout->width));
    }
    std::string_view condition;
    Event event;
    if (const std::optional<std::string> why = readRow(cells, *layout, condition, event)) {
      table.skip(*why, lines.number());
    } else {
      event.line = lines.number();
      table.add(condition, event, lines, cells, *layout);
    }
  }
  if (!layout) throw invalidLine(path, lines.number() + 1, "no header row");
  return table.finish(path, layout->condition != absent, std::move(notices));
}

}  // namespace events

// readEventsFile: one pass over the lines of an events file; each row is split at its tabs and
// its four cells read on the spot, so that no more than one line of text is held.

#include "events/events_file.h"

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
constexpr std::size_t listedRows = 10;
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
  std::size_t onset = absent, duration = absent, trialType = absent, modulation = absent;
};

Layout layoutOf(const std::vector<std::string_view>& names, const EventLines& lines) {
  Layout layout;
  layout.width = names.size();
  for (std::size_t k = names.size(); k-- > 0;) {
    if (names[k] == "onset") layout.onset = k;
    if (names[k] == "duration") layout.duration = k;
    if (names[k] == "trial_type") layout.trialType = k;
    if (names[k] == "modulation") layout.modulation = k;
  }
  const char* const noTab = names.size() == 1 ? ", the header has no tab" : "";
  if (layout.onset == absent) throw lines.invalid(std::string("no onset column") + noTab);
  if (layout.duration == absent) throw lines.invalid(std::string("no duration column") + noTab);
  return layout;
}

// The condition and event of one data row; false when one of its cells is "n/a" or
// unreadable.
bool readRow(const std::vector<std::string_view>& cells, const Layout& layout,
             std::string_view& condition, Event& event) {
  if (!readNumber(cells[layout.onset], event.onset) ||
      !readNumber(cells[layout.duration], event.duration) || event.duration < 0.0)
    return false;
  event.amplitude = 1.0;
  if (layout.modulation != absent && !readNumber(cells[layout.modulation], event.amplitude))
    return false;
  condition = layout.trialType == absent ? defaultCondition : cells[layout.trialType];
  return !condition.empty() && condition != notAvailable;
}

// The events of the file as its rows come in, by condition, and the rows skipped.
class TableBuilder {
 public:
  void add(std::string_view condition, const Event& event, const EventLines& lines) {
    if (events_ == maxEvents)
      throw lines.invalid("more than " + std::to_string(maxEvents) + " events");
    auto at = conditions_.find(condition);
    if (at == conditions_.end()) {
      if (static_cast<int64_t>(conditions_.size()) == sdm::maxSdmPredictors)
        throw lines.invalid("more than " + std::to_string(sdm::maxSdmPredictors) + " conditions");
      at = conditions_.emplace(std::string(condition), std::vector<Event>()).first;
    }
    at->second.push_back(event);
    ++events_;
  }

  void skip(int64_t line) {
    if (skippedLines_.size() < listedRows) skippedLines_.push_back(line);
    ++skipped_;
  }

  // The table; the one condition "trial" is there even without events when the file has no
  // trial_type column.
  EventsTable finish(const std::string& path, bool hasTrialType) {
    if (!hasTrialType) conditions_.try_emplace(defaultCondition);
    EventsTable table;
    for (auto& [name, events] : conditions_) {
      table.conditions.push_back(name);
      table.events.push_back(std::move(events));
    }
    if (skipped_ > 0) table.notices.push_back({base::NoticeKind::warning, path, skippedText()});
    return table;
  }

 private:
  std::string skippedText() const {
    return std::to_string(skipped_) + " event(s) skipped " +
           base::listedNumbers("rows", skippedLines_,
                               skipped_ > static_cast<int64_t>(skippedLines_.size()));
  }

  std::map<std::string, std::vector<Event>, std::less<>> conditions_;  // byte order
  int64_t events_ = 0;
  int64_t skipped_ = 0;
  std::vector<int64_t> skippedLines_;  // the first listedRows of them
};

}  // namespace

EventsTable readEventsFile(const std::string& path) {
  EventLines lines(path);
  std::string line;
  std::vector<std::string_view> cells;
  std::optional<Layout> layout;
  TableBuilder table;
  while (lines.next(line)) {
    if (isBlankLine(line)) continue;
    splitCells(line, cells);
    if (!layout) {
      layout = layoutOf(cells, lines);
      continue;
    }
    if (cells.size() != layout->width) {
      throw lines.invalid(std::to_string(cells.size()) + " cell(s), the header has " +
                          std::to_string(layout->width));
    }
    std::string_view condition;
    Event event;
    if (readRow(cells, *layout, condition, event)) {
      event.line = lines.number();
      table.add(condition, event, lines);
    } else {
      table.skip(lines.number());
    }
  }
  if (!layout) throw invalidLine(path, lines.number() + 1, "no header row");
  return table.finish(path, layout->trialType != absent);
}

}  // namespace events

// The condition lists are read here, not by the plug-in: the plug-in sees one run at a time, and
// only the dataset as a whole knows which conditions a task has.

#include "task_conditions.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "regular_file.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \r") - first + 1);
}

// The cell at `index` of the tab-separated `line`, trimmed; none when the line is shorter.
std::optional<std::string_view> cellAt(std::string_view line, std::size_t index) {
  for (std::size_t k = 0; k < index; ++k) {
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    line.remove_prefix(tab + 1);
  }
  return trimmed(line.substr(0, line.find('\t')));
}

}  // namespace

std::set<std::string> conditionsIn(const fs::path& file, const std::string& column) {
  const std::string text = readRegularFile(file);
  std::string_view rest = text;
  if (rest.starts_with(byteOrderMark)) rest.remove_prefix(byteOrderMark.size());
  std::optional<std::size_t> index;
  bool header = true;
  std::set<std::string> conditions;
  const std::string wanted = column.empty() ? "trial_type" : column;
  while (!rest.empty()) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
    if (trimmed(line).find_first_not_of('\t') == std::string_view::npos) continue;
    if (header) {
      header = false;
      for (std::size_t k = 0; const auto cell = cellAt(line, k); ++k)
        if (*cell == wanted) index = index.value_or(k);
      if (!index) break;
      continue;
    }
    const auto cell = cellAt(line, *index);
    if (cell && !cell->empty() && *cell != "n/a") conditions.emplace(*cell);
  }
  if (!header && !index && column.empty()) conditions.emplace("trial");
  return conditions;
}

TaskConditions::TaskConditions(const Dataset& dataset, std::string column)
    : dataset_(dataset), column_(std::move(column)) {}

const std::vector<std::string>& TaskConditions::of(const std::string& task) {
  if (const auto known = tasks_.find(task); known != tasks_.end()) return known->second;
  std::set<std::string> all;
  for (const Run& run : dataset_.runs()) {
    const std::string* runTask = run.name.value("task");
    if ((runTask == nullptr ? std::string() : *runTask) != task) continue;
    try {
      const auto events = eventsFile(dataset_, run);
      if (!events) continue;
      auto [at, fresh] = files_.try_emplace(*events);
      if (fresh) at->second = conditionsIn(*events, column_);
      all.insert(at->second.begin(), at->second.end());
    } catch (const std::exception&) {
      // The run's own plan meets the same problem and fails with it.
    }
  }
  return tasks_[task] = std::vector<std::string>(all.begin(), all.end());
}

}  // namespace bids

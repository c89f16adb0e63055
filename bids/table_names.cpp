#include "table_names.h"

#include <algorithm>
#include <string_view>

#include "contract/terms.h"
#include "regular_file.h"

namespace bids {

namespace {

// The cells of `line`, split at its tabs, each without the blanks around it.
std::vector<std::string_view> cellsOf(std::string_view line) {
  std::vector<std::string_view> cells;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    cells.push_back(contract::withoutBlanks(line.substr(start, tab - start)));
    if (tab == std::string_view::npos) return cells;
    start = tab + 1;
  }
}

}  // namespace

TableNames readTableNames(const std::filesystem::path& file, const std::string& valueColumn) {
  const std::string text = readRegularFile(file);
  std::string_view rest = text;
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  TableNames names;
  std::size_t column = std::string::npos;
  bool header = true;
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (contract::withoutBlanks(line).empty()) continue;
    const std::vector<std::string_view> cells = cellsOf(line);
    if (header) {
      for (const std::string_view cell : cells) names.columns.emplace_back(cell);
      const auto at = std::find(names.columns.begin(), names.columns.end(), valueColumn);
      if (!valueColumn.empty() && at != names.columns.end())
        column = static_cast<std::size_t>(at - names.columns.begin());
      header = false;
    } else if (column < cells.size() && !cells[column].empty() && cells[column] != "n/a") {
      names.values.emplace(cells[column]);
    }
  }
  return names;
}

}  // namespace bids

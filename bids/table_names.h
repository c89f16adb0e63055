#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

// The names a tab-separated table of a run holds (an events file, a confounds table): the
// names of its columns and the values of one of them. brindle-bids reads no numbers of its
// own: the names tell which contrasts and models can fit a run before any run starts.
namespace bids {

struct TableNames {
  std::vector<std::string> columns;  // the header row's names, in order
  std::set<std::string> values;      // the distinct values of the column asked for
};

// The names of the table `file` (LF or CR LF line ends, a UTF-8 byte order mark and blanks around
// cells ignored) and the values of its column `valueColumn`, "n/a" and empty cells left out;
// none when that column is empty or absent. Throws std::runtime_error naming the file when it is
// not a regular file or cannot be read.
TableNames readTableNames(const std::filesystem::path& file, const std::string& valueColumn = {});

}  // namespace bids

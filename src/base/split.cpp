#include "base/split.h"

namespace base {

std::vector<std::string> split(const std::string& text, char delimiter) {
  std::vector<std::string> entries;
  std::string::size_type start = 0;
  while (start < text.size()) {
    auto end = text.find(delimiter, start);
    if (end == std::string::npos) end = text.size();
    entries.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

}  // namespace base

#include "merge/merge_names.h"

namespace merge {

std::string mergeSuffix(const std::string& thisPath, const std::string& otherPath) {
  const std::string other = base::stripExtension(base::baseName(otherPath));
  const std::string self = base::stripExtension(base::baseName(thisPath));
  // Walk back over the other's underscores and spaces until the text before one agrees with
  // the start of this stem; at position 0 both prefixes are empty, so the walk always ends.
  auto c = other.find_last_of("_ ");
  while (c != std::string::npos && (self.size() < c || self.compare(0, c, other, 0, c) != 0)) {
    c = c == 0 ? std::string::npos : other.find_last_of("_ ", c - 1);
  }
  if (c == std::string::npos) return "_" + other;
  return other.substr(c);
}

}  // namespace merge

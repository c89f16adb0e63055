#include "contract/nearest_name.h"

#include <algorithm>
#include <vector>

namespace contract {

std::size_t editDistance(std::string_view a, std::string_view b, std::size_t cap) {
  if (a.size() > b.size()) std::swap(a, b);
  // Lengths further apart than the cap need at least that many insertions.
  if (b.size() - a.size() > cap) return cap + 1;
  // Three rows of the table of distances between the prefixes of a and b: two back for a swap.
  std::vector<std::size_t> twoBack(a.size() + 1), previous(a.size() + 1), current(a.size() + 1);
  for (std::size_t i = 0; i <= a.size(); ++i) previous[i] = i;
  for (std::size_t j = 1; j <= b.size(); ++j) {
    current[0] = j;
    std::size_t rowLeast = current[0];
    for (std::size_t i = 1; i <= a.size(); ++i) {
      const std::size_t replace = previous[i - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      current[i] = std::min({previous[i] + 1, current[i - 1] + 1, replace});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        current[i] = std::min(current[i], twoBack[i - 2] + 1);
      rowLeast = std::min(rowLeast, current[i]);
    }
    // No later row falls below this one's least value.
    if (rowLeast > cap) return cap + 1;
    std::swap(twoBack, previous);
    std::swap(previous, current);
  }
  return std::min(previous[a.size()], cap + 1);
}

}  // namespace contract

#include "sdm/data_line.h"

#include <cstring>

#include "sdm/number_text.h"

namespace {

// Blanks end a token; the same set the number conversion skips in front of a number.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

// Where the fixed cut puts the boundary in front of the value whose point is at `point`:
// two characters before it, or the start of the line for a point in its first two columns.
std::size_t cutBefore(std::size_t point) { return point >= 2 ? point - 2 : 0; }

}  // namespace

bool readDataLine(std::string_view line, std::span<float> row, std::vector<std::size_t>& points) {
  const std::size_t count = row.size();
  if (count == 0) return false;
  points.clear();
  for (std::size_t from = 0; from < line.size();) {
    const auto* hit = static_cast<const char*>(std::memchr(line.data() + from, '.', line.size() - from));
    if (!hit) break;
    if (points.size() == count) return false;  // more points than values
    points.push_back(static_cast<std::size_t>(hit - line.data()));
    from = points.back() + 1;
  }
  if (points.size() != count) return false;

  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t point = points[k];
    // The token around this point, walked outwards until a blank, the line's ends or another
    // point; each walk stays between two neighbouring points, so a line costs linear time.
    std::size_t begin = point;
    while (begin > 0 && !isBlank(line[begin - 1]) && line[begin - 1] != '.') --begin;
    std::size_t end = point + 1;
    while (end < line.size() && !isBlank(line[end]) && line[end] != '.') ++end;
    const bool alone = (begin == 0 || line[begin - 1] != '.') &&
                       (end == line.size() || line[end] != '.');
    if (!alone) {
      // The value touches a neighbour: fall back to the fixed cut, which is what separates
      // two values written with no blank between them.
      begin = k == 0 ? 0 : cutBefore(point);
      end = k + 1 == count ? line.size() : cutBefore(points[k + 1]);
      if (end < begin) end = begin;
    }
    row[k] = parseFloatField(line.substr(begin, end - begin));
  }
  return true;
}

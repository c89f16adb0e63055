#include "sdm/data_line.h"

#include <cstring>
#include <exception>

#include "sdm/number_text.h"

namespace {

// Blanks end a token; the same set the number conversion skips in front of a number.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

// Where the fixed cut puts the boundary in front of the value whose point is at `point`:
// two characters before it, or the start of the line for a point in its first two columns.
std::size_t cutBefore(std::size_t point) { return point >= 2 ? point - 2 : 0; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// What the writer prints for a value that has no point: NaN and the infinities ("-nan" too,
// as C's printf writes a NaN with its sign bit set).
bool isNonFiniteWord(std::string_view token) {
  return token == "nan" || token == "-nan" || token == "inf" || token == "-inf";
}

// A plain fixed-point number: an optional sign, digits with exactly one point among them, at
// least one digit, and nothing else (no exponent, no trailing text).
bool isFixedNumber(std::string_view token) {
  std::size_t i = token.empty() || (token[0] != '-' && token[0] != '+') ? 0 : 1;
  bool point = false;
  bool digit = false;
  for (; i < token.size(); ++i) {
    if (isDigit(token[i])) {
      digit = true;
    } else if (token[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return point && digit;
}

// The next blank-delimited token at or after `from`; empty at the end of the line.
std::string_view nextToken(std::string_view line, std::size_t& from) {
  while (from < line.size() && isBlank(line[from])) ++from;
  const std::size_t begin = from;
  while (from < line.size() && !isBlank(line[from])) ++from;
  return line.substr(begin, from - begin);
}

// A line whose count of points is not N is still taken when its blanks split it into exactly
// N tokens, each a fixed-point number or a word for NaN or infinity: that is how the writer
// lays out a data point holding such values. Such a line held fewer points than values, so the
// fixed cut never took it; a number the conversion refuses leaves the line untaken as before.
bool readTokenLine(std::string_view line, std::span<float> row) {
  std::size_t tokens = 0;
  for (std::size_t from = 0;;) {
    const std::string_view token = nextToken(line, from);
    if (token.empty()) break;
    if (++tokens > row.size() || !(isFixedNumber(token) || isNonFiniteWord(token))) return false;
  }
  if (tokens != row.size()) return false;
  try {
    std::size_t from = 0;
    for (float& value : row) value = parseFloatField(nextToken(line, from));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace

bool readDataLine(std::string_view line, std::span<float> row, std::vector<std::size_t>& points) {
  const std::size_t count = row.size();
  if (count == 0) return false;
  points.clear();
  for (std::size_t from = 0; from < line.size();) {
    const auto* hit =
        static_cast<const char*>(std::memchr(line.data() + from, '.', line.size() - from));
    if (!hit) break;
    // More points than values: no split at blanks can give N tokens of one point at most.
    if (points.size() == count) return false;
    points.push_back(static_cast<std::size_t>(hit - line.data()));
    from = points.back() + 1;
  }
  if (points.size() != count) return readTokenLine(line, row);

  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t point = points[k];
    // The token around this point, walked outwards until a blank, the line's ends or another
    // point; each walk stays between two neighbouring points, so a line costs linear time.
    std::size_t begin = point;
    while (begin > 0 && !isBlank(line[begin - 1]) && line[begin - 1] != '.') --begin;
    std::size_t end = point + 1;
    while (end < line.size() && !isBlank(line[end]) && line[end] != '.') ++end;
    const bool alone =
        (begin == 0 || line[begin - 1] != '.') && (end == line.size() || line[end] != '.');
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

#include "sdm/data_line.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "sdm/number_text.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define BRINDLE_HAVE_AVX2_PASS 1
#include <immintrin.h>
#else
#define BRINDLE_HAVE_AVX2_PASS 0
#endif

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

// --- The fast pass over the writer's layout --------------------------------------------------
//
// The writer puts each value as "-" or nothing, the digits, a point and six decimals, with
// spaces between values, or as a word for NaN or an infinity. On such a line every token holds
// one point at most and stands alone between blanks, so the rules above read each value from its
// whole token, by parseFloatField, whichever branch takes the line: for "-"? d...d "." dddddd
// with at most nine digits before the point, the digits as an integer m (below 10^15, so below
// 2^53) over 10^6, which sixDecimalsToFloat rounds the same way. The fast pass reads such
// lines in one go and gives up (false) on anything else, which is then read by the rules.

// The value of a word the writer prints for NaN or an infinity, as the rules read it.
bool readNonFiniteWord(const char* s, std::size_t n, std::size_t& i, float& value) {
  const std::size_t sign = s[i] == '-' ? 1 : 0;
  const std::size_t start = i + sign;
  if (n - start < 3 ||
      (std::memcmp(s + start, "nan", 3) != 0 && std::memcmp(s + start, "inf", 3) != 0))
    return false;
  if (start + 3 < n && s[start + 3] != ' ') return false;
  value = parseFloatField(std::string_view(s + i, sign + 3));
  i = start + 3;
  return true;
}

// The portable pass, one byte at a time.
bool portableWritersLine(std::string_view line, std::span<float> row) {
  const char* const s = line.data();
  const std::size_t n = line.size();
  std::size_t i = 0;
  for (float& value : row) {
    while (i < n && s[i] == ' ') ++i;
    if (i == n) return false;
    const bool negative = s[i] == '-';
    const std::size_t first = i + (negative ? 1 : 0);
    std::size_t end = first;
    uint64_t units = 0;
    while (end < n && isDigit(s[end]) && end - first < 9) {
      units = units * 10 + static_cast<uint64_t>(s[end] - '0');
      ++end;
    }
    if (end == first) {
      if (!readNonFiniteWord(s, n, i, value)) return false;
      continue;
    }
    if (n - end < 7 || s[end] != '.') return false;
    for (std::size_t d = end + 1; d <= end + 6; ++d) {
      if (!isDigit(s[d])) return false;
      units = units * 10 + static_cast<uint64_t>(s[d] - '0');
    }
    i = end + 7;
    if (i < n && s[i] != ' ') return false;
    value = sixDecimalsToFloat(units, negative);
  }
  while (i < n && s[i] == ' ') ++i;
  return i == n;
}

#if BRINDLE_HAVE_AVX2_PASS

// Eight digits, already less '0', the first in the lowest byte, as one number: pairs, then
// quadruples, then the whole, each step a multiply-add of neighbours.
uint64_t eightDigits(uint64_t digits) {
  digits = digits * 10 + (digits >> 8);  // bytes 0, 2, 4, 6 hold two-digit numbers
  const uint64_t pairs02 = digits & 0x000000FF000000FFu;
  const uint64_t pairs13 = (digits >> 16) & 0x000000FF000000FFu;
  return (pairs02 * (100 + (uint64_t{1000000} << 32)) + pairs13 * (1 + (uint64_t{10000} << 32))) >>
         32;
}

uint64_t load64(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

constexpr uint64_t kZeros = 0x3030303030303030u;

// One bit per byte of a comparison's result.
__attribute__((target("avx2"))) uint32_t mask(__m256i hits) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(hits));
}

// The AVX2 pass: one 32-byte window per value, from the end of the value before. Four byte
// masks (points, spaces, minus signs, digits) give the point, the blanks before the token, its
// sign and its digits; the digits are then converted eight at a time. A value the window does
// not hold whole, or of another form, and the few bytes at the end of the line go to the
// portable pass, which reads on from there.
__attribute__((target("avx2"))) bool avx2WritersLine(std::string_view line, std::span<float> row) {
  const char* const s = line.data();
  const std::size_t n = line.size();
  const __m256i point = _mm256_set1_epi8('.');
  const __m256i space = _mm256_set1_epi8(' ');
  const __m256i minus = _mm256_set1_epi8('-');
  const __m256i zero = _mm256_set1_epi8('0');
  const __m256i nine = _mm256_set1_epi8(9);
  std::size_t q = 0;  // where the next token's blanks begin
  std::size_t k = 0;
  for (; k < row.size() && n - q >= 32; ++k) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + q));
    const uint32_t points = mask(_mm256_cmpeq_epi8(bytes, point));
    const uint32_t spaces = mask(_mm256_cmpeq_epi8(bytes, space));
    const uint32_t minuses = mask(_mm256_cmpeq_epi8(bytes, minus));
    const __m256i digitValues = _mm256_sub_epi8(bytes, zero);
    const uint32_t digits =
        mask(_mm256_cmpeq_epi8(_mm256_min_epu8(digitValues, nine), digitValues));
    if (points == 0) break;
    const auto at = static_cast<unsigned>(__builtin_ctz(points));  // the point
    if (at > 23) break;  // the six decimals and the blank after them must lie in the window
    const auto start = static_cast<unsigned>(__builtin_ctz(~spaces));  // at or before the point
    const unsigned negative = (minuses >> start) & 1u;
    const unsigned first = start + negative;  // the first digit, if any
    const unsigned count = at - first;        // digits before the point
    if (count - 1u >= 8u) break;              // none, or more than eight
    const uint32_t wholeDigits = ((1u << count) - 1u) << first;
    if ((digits & wholeDigits) != wholeDigits || ((digits >> (at + 1)) & 0x3Fu) != 0x3Fu ||
        ((spaces >> (at + 7)) & 1u) == 0) {
      break;
    }
    // The digits before the point, moved up to the top of the word; the six decimals likewise.
    const uint64_t whole = eightDigits((load64(s + q + first) - kZeros) << (8 * (8 - count)));
    const uint64_t decimals = eightDigits((load64(s + q + at + 1) - kZeros) << 16);
    row[k] = sixDecimalsToFloat(whole * 1000000 + decimals, negative != 0);
    q += at + 7;
  }
  return portableWritersLine(line.substr(q), row.subspan(k));
}

bool processorHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}

#endif

using WritersLinePass = bool (*)(std::string_view line, std::span<float> row);

DataLinePass forcedPass = DataLinePass::automatic;

bool environmentForcesPortable() {
  const char* value = std::getenv("BRINDLE_PORTABLE_KERNELS");
  return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

bool avx2PassUsable() {
#if BRINDLE_HAVE_AVX2_PASS
  static const bool usable = !environmentForcesPortable() && processorHasAvx2();
  return usable;
#else
  return false;
#endif
}

// The one place that picks the fast pass; nullptr when none is used.
WritersLinePass writersLinePass() {
  switch (forcedPass) {
    case DataLinePass::general:
      return nullptr;
    case DataLinePass::portable:
      return portableWritersLine;
    case DataLinePass::automatic:
      break;
  }
#if BRINDLE_HAVE_AVX2_PASS
  if (avx2PassUsable()) return avx2WritersLine;
#endif
  return portableWritersLine;
}

}  // namespace

void forceDataLinePass(DataLinePass pass) { forcedPass = pass; }

const char* activeDataLinePass() {
  const WritersLinePass pass = writersLinePass();
  if (pass == nullptr) return "general";
  return pass == portableWritersLine ? "portable" : "avx2";
}

bool readWritersLayout(std::string_view line, std::span<float> row) {
  const WritersLinePass pass = writersLinePass();
  return pass != nullptr && pass(line, row);
}

bool readDataLine(std::string_view line, std::span<float> row, std::vector<std::size_t>& points) {
  const std::size_t count = row.size();
  if (count == 0) return false;
  if (const WritersLinePass pass = writersLinePass(); pass != nullptr && pass(line, row))
    return true;
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

#include "sdm/data_line.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>

#include "base/cpu_features.h"
#include "sdm/value_text.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define BRINDLE_HAVE_AVX2_PASS 1
#include <immintrin.h>
#else
#define BRINDLE_HAVE_AVX2_PASS 0
#endif

namespace sdm {

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

// The portable pass, one byte at a time: the layout above, from blanks to blanks.
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

// Two numbers of eight digits each, already less '0', the first digit in the lowest byte of
// each word: pairs of digits, then of pairs, then of quadruples, each step a multiply-add of
// neighbours. Returns the first number in the low half and the second in the high half.
__attribute__((target("avx2"))) inline uint64_t twoEightDigits(uint64_t first, uint64_t second) {
  const __m128i digits = _mm_set_epi64x(static_cast<int64_t>(second), static_cast<int64_t>(first));
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(0x010A));  // 10, 1
  const __m128i quads = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));  // 100, 1
  const __m128i halves = _mm_packus_epi32(quads, quads);
  const __m128i numbers = _mm_madd_epi16(halves, _mm_set1_epi32(0x00012710));  // 10000, 1
  return static_cast<uint64_t>(_mm_cvtsi128_si64(numbers));
}

uint64_t load64(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

constexpr uint64_t asciiZeros = 0x3030303030303030u;

// One bit per byte of a comparison's result over 64 bytes, from its two halves.
__attribute__((target("avx2"))) inline uint64_t mask(__m256i low, __m256i high) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(low))) |
         static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(high))) << 32;
}

// How the AVX2 pass keeps a value until it is converted with three more of its line: the
// digits before the point (below 10^8) in bits 0 to 30, the sign in bit 31, the six decimals
// in the high half.
constexpr uint64_t wholeMask = 0x7FFFFFFFu;
constexpr uint64_t signBit = 0x80000000u;

// sixDecimalsToFloat for `count` kept values, four at a time: the two parts (below 2^52)
// become doubles exactly as 2^52 + part less 2^52, whole * 10^6 + decimals is exact (below
// 2^53), then as in the scalar rule the quotient by 10^6 correctly rounded, the sign put on the
// double, and the rounding to float (by the same instruction family as the scalar cast, under
// the same rounding mode).
__attribute__((target("avx2"))) void avx2KeptToFloats(const uint64_t* kept, std::size_t count,
                                                      float* out) {
  const __m256i wholeBits = _mm256_set1_epi64x(static_cast<int64_t>(wholeMask));
  const __m256i signBits = _mm256_set1_epi64x(static_cast<int64_t>(signBit));
  const __m256i twoTo52Bits = _mm256_set1_epi64x(0x4330000000000000);
  const __m256d twoTo52 = _mm256_set1_pd(4503599627370496.0);
  const __m256d million = _mm256_set1_pd(1e6);
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256i word = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kept + i));
    const __m256d whole = _mm256_sub_pd(
        _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(word, wholeBits), twoTo52Bits)),
        twoTo52);
    const __m256d decimals = _mm256_sub_pd(
        _mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(word, 32), twoTo52Bits)), twoTo52);
    const __m256d value = _mm256_add_pd(_mm256_mul_pd(whole, million), decimals);
    const __m256d quotient = _mm256_div_pd(value, million);
    const __m256i sign = _mm256_slli_epi64(_mm256_and_si256(word, signBits), 32);
    const __m256d signedQuotient = _mm256_or_pd(quotient, _mm256_castsi256_pd(sign));
    _mm_storeu_ps(out + i, _mm256_cvtpd_ps(signedQuotient));
  }
  for (; i < count; ++i) {
    const uint64_t units = (kept[i] & wholeMask) * 1000000 + (kept[i] >> 32);
    out[i] = sixDecimalsToFloat(units, (kept[i] & signBit) != 0);
  }
}

// The AVX2 pass: 64-byte windows of the line, each taken apart once into four bit masks
// (points, spaces, minus signs, digits). Every value whose point and the blank after its six
// decimals lie in the window is read from the masks: the blanks before it, its sign, its digits
// (the whole part and the decimals converted together); the next window starts where the last
// value read ended. The values are converted to floats four at a time. A value of another form, one
// the window does not hold, and the last bytes of the line go to the portable pass, which reads
// on from there.
__attribute__((target("avx2"))) bool avx2WritersLine(std::string_view line, std::span<float> row) {
  const char* const s = line.data();
  const std::size_t n = line.size();
  const __m256i point = _mm256_set1_epi8('.');
  const __m256i space = _mm256_set1_epi8(' ');
  const __m256i minus = _mm256_set1_epi8('-');
  const __m256i zero = _mm256_set1_epi8('0');
  const __m256i nine = _mm256_set1_epi8(9);
  constexpr std::size_t batchSize = 64;
  uint64_t kept[batchSize] = {};
  std::size_t batched = 0;  // values held in kept, for row[k - batched] ... row[k - 1]
  std::size_t q = 0;        // where the next value's blanks begin
  std::size_t k = 0;
  while (k < row.size() && n - q >= 64) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + q));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + q + 32));
    const uint64_t points = mask(_mm256_cmpeq_epi8(low, point), _mm256_cmpeq_epi8(high, point));
    const uint64_t spaces = mask(_mm256_cmpeq_epi8(low, space), _mm256_cmpeq_epi8(high, space));
    const uint64_t minuses = mask(_mm256_cmpeq_epi8(low, minus), _mm256_cmpeq_epi8(high, minus));
    const __m256i lowDigits = _mm256_sub_epi8(low, zero);
    const __m256i highDigits = _mm256_sub_epi8(high, zero);
    const uint64_t digits = mask(_mm256_cmpeq_epi8(_mm256_min_epu8(lowDigits, nine), lowDigits),
                                 _mm256_cmpeq_epi8(_mm256_min_epu8(highDigits, nine), highDigits));
    unsigned end = 0;  // the end of the last value read in this window
    for (; k < row.size(); ++k) {
      const uint64_t ahead = ~uint64_t{0} << end;
      if ((points & ahead) == 0) break;
      const auto at = static_cast<unsigned>(__builtin_ctzll(points & ahead));  // the point
      // The decimals, the blank after them and the eight bytes read from the point on must
      // lie in the window.
      if (at > 55) break;
      const auto start = static_cast<unsigned>(__builtin_ctzll(~spaces & ahead));  // <= at
      const auto negative = static_cast<unsigned>(minuses >> start) & 1u;
      const unsigned first = start + negative;  // the first digit, if any
      const unsigned count = at - first;        // digits before the point
      if (count - 1u >= 8u) break;              // none, or more than eight
      const uint64_t wholeDigits = ((uint64_t{1} << count) - 1u) << first;
      if ((digits & wholeDigits) != wholeDigits || ((digits >> (at + 1)) & 0x3Fu) != 0x3Fu ||
          ((spaces >> (at + 7)) & 1u) == 0) {
        break;
      }
      // The digits before the point, moved up to the top of the word; the six decimals alike.
      kept[batched++] = twoEightDigits((load64(s + q + first) - asciiZeros) << (8 * (8 - count)),
                                       (load64(s + q + at + 1) - asciiZeros) << 16) |
                        static_cast<uint64_t>(negative) << 31;
      end = at + 7;
      if (batched == batchSize) {
        avx2KeptToFloats(kept, batched, row.data() + k + 1 - batched);
        batched = 0;
      }
    }
    if (end == 0) break;  // nothing read in this window
    q += end;
  }
  avx2KeptToFloats(kept, batched, row.data() + k - batched);
  return portableWritersLine(line.substr(q), row.subspan(k));
}

#endif

using WritersLinePass = bool (*)(std::string_view line, std::span<float> row);

// The pass of the innermost live ScopedDataLinePass; read by the workers of a file's read.
std::atomic<DataLinePass> chosenPass{DataLinePass::automatic};

// The one place that picks the fast pass; nullptr when none is used.
WritersLinePass writersLinePass() {
  switch (chosenPass.load(std::memory_order_relaxed)) {
    case DataLinePass::general:
      return nullptr;
    case DataLinePass::portable:
      return portableWritersLine;
    case DataLinePass::automatic:
      break;
  }
#if BRINDLE_HAVE_AVX2_PASS
  if (base::cpuFeatures().avx2) return avx2WritersLine;
#endif
  return portableWritersLine;
}

}  // namespace

ScopedDataLinePass::ScopedDataLinePass(DataLinePass pass)
    : previous_(chosenPass.exchange(pass, std::memory_order_relaxed)) {}

ScopedDataLinePass::~ScopedDataLinePass() {
  chosenPass.store(previous_, std::memory_order_relaxed);
}

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
  if (readWritersLayout(line, row)) return true;
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

}  // namespace sdm

#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace sdm {

// Reads the values of one SDM data line into `row`, one value per predictor
// (row.size() predictors). The line is taken when it holds exactly row.size() points ("."),
// one per value, or when it splits at blanks into exactly row.size() tokens each of which is
// a fixed-point number with one point or one of "nan", "-nan", "inf", "-inf" (as the writer
// prints NaN and the infinities); row must not be empty. Otherwise returns false, and `row`
// holds nothing of use.
//
// A value whose blank-delimited token holds no other point is read from that whole token.
// Values that touch a neighbour with no blank between are cut at fixed distances from the
// points: the field of value k runs from two characters before its point (from the start of
// the line for the first) to two characters before the next point (to the end of the line
// for the last). Each text is converted by parseFloatField, so a field without a number, or one
// beyond the double range, throws its ValueTextError (sdm/value_text.h), which the reader turns
// into a message naming the file and the line. `points` is scratch storage kept by the
// caller so that reading many lines allocates nothing.
//
// A line in the writer's own layout (values separated by spaces, each an optional "-", one to
// nine digits, a point and six decimals, or one of the words above) is read by a fast pass
// that finds the points and converts the values together, with the very bits the rules above
// give; every other line is read by those rules as they stand.
bool readDataLine(std::string_view line, std::span<float> row, std::vector<std::size_t>& points);

// The fast pass in use: `automatic`, AVX2 when base::cpuFeatures() allows it
// (base/cpu_features.h), else the portable one. `general` turns the fast pass off, so that every
// line is read by the general rules.
enum class DataLinePass { automatic, portable, general };

// Makes every line read during its lifetime try `pass` first, then gives back the previous
// choice. For tests and benchmarks: make and end it while no file is being read.
class ScopedDataLinePass {
 public:
  explicit ScopedDataLinePass(DataLinePass pass);
  ~ScopedDataLinePass();
  ScopedDataLinePass(const ScopedDataLinePass&) = delete;
  ScopedDataLinePass& operator=(const ScopedDataLinePass&) = delete;

 private:
  DataLinePass previous_;
};

// "avx2", "portable" or "general": the pass readDataLine now tries first.
const char* activeDataLinePass();

// That pass alone, for tests: true when it read the line (always false under `general`), and
// then `row` holds what readDataLine gives.
bool readWritersLayout(std::string_view line, std::span<float> row);

}  // namespace sdm

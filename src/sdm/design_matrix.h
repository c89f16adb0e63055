#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sdm {

// One key-and-value entry of an SDM header, kept with the spacing it had in its file so
// that a loaded matrix is written back with the same layout. `T` is int32_t for four of
// the five entries and bool for "IncludesConstant".
template <typename T>
struct HeaderEntry {
  std::string key;    // the key as read, without its colon ("FileVersion"); empty until read
  T value{};          // the header value
  int32_t width = 0;  // characters from the start of the key to its value in the file
  bool present =
      false;  // the key was found when the file was loaded; only present entries are saved
};

// The display colour of one predictor of an SDM file, as its colour line holds it.
struct PredictorColour {
  int32_t red;
  int32_t green;
  int32_t blue;
};

// The in-memory form of one SDM file: predictors (columns of 32-bit floats, one value per
// data point) with a name and a display colour each, plus the header of the file.
//
// A plain value type: members are public, copies are deep and independent. `red`, `green`,
// `blue`, `names` and `values` are parallel arrays indexed by predictor; every operation
// keeps `nrOfPredictors.value` equal to their size. Predictors of interest come first, then
// the confound block from the 1-based index `firstConfoundPredictor.value`; a constant
// predictor, when there is one, is the last predictor.
class DesignMatrix {
 public:
  // An empty matrix as the reader starts one: no predictors, no header entry present,
  // fileVersion -1. Matrices normally come from load() or a copy.
  DesignMatrix() = default;

  // Reads the SDM file at `path`. Throws OpenFileError "Failed opening for reading: " + path
  // when it cannot be opened, IOError "Invalid SDM header in " + path for a header that
  // never ends (or runs past its bound) or impossible counts (limits in sdm/sdm_limits.h),
  // IOError "Invalid SDM colours in " + path for colours that run past their bound, IOError
  // "Line too long in " + path for a names or data line beyond its bound, IOError
  // "Failed reading from: " + path for a read error, and std::invalid_argument
  // "invalid stof argument" / std::out_of_range "stof argument out of range" for a data
  // field that is no number. Reads tolerantly as described in docs/sdm-format.md; loadSdm
  // (sdm/sdm_repairs.h) reads the same way, counts what it repaired and refuses damaged files.
  static DesignMatrix load(const std::string& path);

  // Sets `fileName` to `path` (first, also when the save fails) and writes the matrix as an
  // SDM file with CRLF line ends, through a temporary file moved into place. Throws
  // checkSdmLimits' error for a file the reader would refuse, std::runtime_error
  // "Cannot Create file: " + path + " (" + reason + ")" when the file cannot be created and
  // "Cannot write file: " + path + " (" + reason + ")" when a write fails; the file that stood
  // at `path` stays. How links, devices and the replaced file's permissions are treated:
  // base/output_file.h.
  // Throws std::logic_error, creating nothing, when the arrays are shorter than the counts.
  void save(const std::string& path);

  // True when the last predictor is constant: non-empty, first value not 0.0, every value
  // equal to the first (a NaN is never equal).
  bool hasConstant() const;

  // Inserts one predictor: at the end of the confound block (before a trailing constant)
  // when `isConfound`, else right before the first confound. Silently refuses a predictor
  // whose length differs from `nrOfDataPoints.value` and a second constant predictor.
  // An inserted predictor first brings a `firstConfoundPredictor.value` outside 1..N+1 (a
  // loaded file may hold one) into that range: 0 or less becomes 1 (all are confounds), N+2 or
  // more becomes N+1 (none is), so the insertion stays inside the arrays and the block is right.
  void addPredictor(const std::vector<float>& predictorValues, const std::string& name,
                    int32_t redValue, int32_t greenValue, int32_t blueValue, bool isConfound);

  // Appends the predictor "Constant" (all 1.0, colour 255 255 255) unless the matrix ends in
  // a constant predictor; marks the matrix as including a constant either way.
  void addConstant();

  // Removes the trailing constant predictor if there is one; marks the matrix as including
  // no constant either way.
  void removeConstant();

  std::string fileName;
  HeaderEntry<int32_t> fileVersion{{}, -1, 0, false};
  HeaderEntry<int32_t> nrOfPredictors;
  HeaderEntry<int32_t> nrOfDataPoints;
  HeaderEntry<bool> includesConstant;
  HeaderEntry<int32_t> firstConfoundPredictor;
  std::vector<int32_t> red;
  std::vector<int32_t> green;
  std::vector<int32_t> blue;
  std::vector<std::string> names;
  std::vector<std::vector<float>> values;  // predictor-major: values[p][t]
};

// Throws std::runtime_error "Cannot save " + path + ": " + the reason, when the SDM file of
// `matrix` would be more than the reader takes back (sdm/sdm_limits.h): more predictors, more
// values or a longer names line. save() checks this before it creates anything; a merge checks
// it before it offers its result for saving.
void checkSdmLimits(const DesignMatrix& matrix, const std::string& path);

// Throws IOError "Unusable predictor name in " + path + ": " + the name, for the first of `names`
// that an SDM file cannot hold: one with a double quote or a line end in it, shown as \" and \n
// (\r). Names read from other files (a table's header, a condition) pass through it.
void checkUsableNames(const std::string& path, std::span<const std::string> names);

// The largest magnitude among the finite values of `values`; 0 when there is none.
float largestFiniteMagnitude(std::span<const float> values);

// The decimals the writer gives a predictor: six, except for a predictor of small values,
// whose largest finite magnitude A lies above 0 and below 0.01: 4 - e, e the exponent of A as
// "%e" writes it (3.2e-07 gives 11), so that its largest value keeps five significant digits.
int savedDecimals(std::span<const float> values);

// True when `values` is a constant predictor: non-empty, its first value not 0.0 (nor -0.0),
// and every value equal to the first (a NaN equals nothing, so it never is).
bool isConstantPredictor(std::span<const float> values);

}  // namespace sdm

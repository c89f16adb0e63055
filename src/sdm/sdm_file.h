#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sdm/design_matrix.h"

// The SDM file of a design matrix: the header's layout, and what decides whether and how a
// matrix is written. The format is described for people in docs/sdm-format.md.
namespace sdm {

// The keys of an SDM header with their colons, spelled as the reader compares them (exactly)
// and as the writer writes them.
inline constexpr std::string_view fileVersionKey = "FileVersion:";
inline constexpr std::string_view nrOfPredictorsKey = "NrOfPredictors:";
inline constexpr std::string_view nrOfDataPointsKey = "NrOfDataPoints:";
inline constexpr std::string_view includesConstantKey = "IncludesConstant:";
inline constexpr std::string_view firstConfoundPredictorKey = "FirstConfoundPredictor:";

// One key of a header as its file held it.
struct SdmKeyLayout {
  int32_t width = 0;     // characters from the start of the key to its value in the file
  bool present = false;  // the key was found when the file was loaded; only present keys are saved
};

// The layout of an SDM header, kept so that a loaded matrix is written back as it was read:
// each key's presence and width, and the FileVersion, which nothing else reads. The values of
// the other keys are the matrix's own (the number of predictors is the list's size).
struct SdmLayout {
  int32_t version = -1;  // FileVersion's value; -1 when the file had none
  SdmKeyLayout fileVersion;
  SdmKeyLayout nrOfPredictors;
  SdmKeyLayout nrOfDataPoints;
  SdmKeyLayout includesConstant;
  SdmKeyLayout firstConfoundPredictor;
};

// The layout of `matrix`; for a matrix without one (made by hand), a layout with no key present
// and FileVersion -1. The reference lives as long as `matrix.layout` is unchanged.
const SdmLayout& layoutOf(const DesignMatrix& matrix);

// A new matrix laid out as Brindle writes a new SDM file: every header key present with width 24
// and FileVersion `fileVersion`; `predictors` as given, `nrOfDataPoints` data points, the 1-based
// first confound `firstConfound`, no constant flag (set `includesConstant` afterwards when there is
// one) and `fileName`. Nothing is checked: every predictor should hold `nrOfDataPoints` values.
DesignMatrix newDesignMatrix(std::string fileName, int32_t nrOfDataPoints,
                             std::vector<Predictor> predictors, int32_t firstConfound,
                             int32_t fileVersion = 1);

// Reads the SDM file at `path`, with the layout of its header and the kinds its predictors'
// positions tell (setKindsByPosition). Throws OpenFileError "Failed opening for reading: " + path
// + " (" + reason + ")" when it cannot be opened, IOError "Invalid SDM header in " + path for a
// header that never ends (or runs past its bound) or impossible counts (limits in
// sdm/sdm_limits.h), IOError "Invalid SDM colours in " + path for colours that run past their
// bound, IOError "Line too long in " + path for a names or data line beyond its bound, IOError
// "Failed reading from: " + path + " (" + reason + ")" for a read error, and IOError "Not a
// number in " + path + ", data line " + L + ": '" + field + "'" ("Number out of range in ..."
// beyond the double range) for a data field that is no number. Reads tolerantly as described in
// docs/sdm-format.md; loadSdm(path, strict) (sdm/sdm_repairs.h) reads the same way, counts what
// it repaired and refuses damaged files.
DesignMatrix loadSdm(const std::string& path);

// Sets `matrix.fileName` to `path` (first, also when the save fails) and writes the matrix as an
// SDM file with CRLF line ends, through a temporary file moved into place: the header as its
// layout says (layoutOf), then its predictors. Throws checkSdmLimits' error for a file the reader
// would refuse, std::runtime_error "Cannot Create file: " + path + " (" + reason + ")" when the
// file cannot be created and "Cannot write file: " + path + " (" + reason + ")" when a write
// fails; the file that stood at `path` stays. How links, devices and the replaced file's
// permissions are treated: base/output_file.h. Throws std::logic_error, creating nothing, when a
// predictor holds fewer values than `matrix.nrOfDataPoints`.
void saveSdm(DesignMatrix& matrix, const std::string& path);

// Throws std::runtime_error "Cannot save " + path + ": " + the reason, when the SDM file of
// `matrix` would be more than the reader takes back (sdm/sdm_limits.h): more predictors, more
// values or a longer names line. saveSdm checks this before it creates anything; a merge checks
// it before it offers its result for saving.
void checkSdmLimits(const DesignMatrix& matrix, const std::string& path);

// Throws IOError "Unusable predictor name in " + path + ": " + the name, for the first of `names`
// that an SDM file cannot hold: one with a double quote or a line end in it, shown as \" and \n
// (\r). Names read from other files (a table's header, a condition) pass through it.
void checkUsableNames(const std::string& path, std::span<const std::string> names);

// The decimals the writer gives a predictor: six, except for a predictor of small values,
// whose largest finite magnitude A lies above 0 and below 0.01: 4 - e, e the exponent of A as
// "%e" writes it (3.2e-07 gives 11), so that its largest value keeps five significant digits.
int savedDecimals(std::span<const float> values);

}  // namespace sdm

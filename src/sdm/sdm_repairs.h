#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/notice.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_input.h"

namespace sdm {

// What the tolerant reader had to make up for while loading one SDM file: data points it read
// as 0 because the file ended early or their lines could not be read, and predictor names it
// could not find; and what it read but no design should hold: values that are infinite or not
// a number (read as they are, "inf" and "nan" as the writer writes them).
struct SdmRepairs {
  std::size_t dataPoints = 0;   // M, the data points the header declares
  std::size_t predictors = 0;   // N, the predictors the header declares
  std::size_t missingFrom = 0;  // the first data point (1-based) past the end of the file; 0: none
  std::size_t unreadable = 0;   // data lines that were read but not taken (empty ones included)
  std::vector<std::size_t> firstUnreadable;  // their data points (1-based), the first five
  std::size_t namesMissing = 0;              // predictors left "NoName" for want of a name
  std::size_t nonFinite = 0;                 // values that are infinite or not a number
  std::size_t nonFinitePoints = 0;           // data points that hold such values
  std::vector<std::size_t> firstNonFinite;   // the first five of them (1-based)

  // Data points missing at the end of the file.
  std::size_t missing() const { return missingFrom == 0 ? 0 : dataPoints - missingFrom + 1; }
  bool any() const {
    return missingFrom != 0 || unreadable != 0 || namesMissing != 0 || nonFinite != 0;
  }
};

// A matrix as a task loads it, with what the reader repaired.
struct LoadedSdm {
  DesignMatrix matrix;
  SdmRepairs repairs;
};

// Loads `path` as loadSdm(path) does (and with its exceptions), counting the repairs, and
// refuses a damaged file with IOError: "Damaged SDM file: " + path + " (" + k + " of " + M +
// " data points missing or unreadable)" when more than half of the declared data points are
// missing or unreadable (counted before anything the size of the matrix is made when the file is
// too short to hold half of them), and, when `strict`, "Damaged SDM file: " + path + " (" + the
// first of repairTexts() + ")" for any repair at all, an infinite value or NaN included. The data
// lines are converted on up to threadCount() threads (base/thread_count.h); the values, the repairs
// and the exceptions are those of one thread reading the lines in order.
LoadedSdm loadSdm(const std::string& path, bool strict);
// The same from `in`, which has just opened `path` and consumed nothing.
LoadedSdm loadSdm(SdmInput& in, const std::string& path, bool strict);

// One text per kind of repair, in this order (each the part of its warning after the file's
// name): "data points A to B missing (the file ends early), read as 0" ("data point A ..." for
// one), "K data line(s) unreadable (data points 3, 9, ...), read as 0" (the first five, ", ..."
// when there are more), "K value(s) inf or nan (data points 2, 7)" (the first five data points
// that hold one) and "K of N predictor names missing".
std::vector<std::string> repairTexts(const SdmRepairs& repairs);

// One warning for each kind of repair of the file at `path`, its text from repairTexts.
std::vector<base::Notice> repairNotices(const std::string& path, const SdmRepairs& repairs);

}  // namespace sdm

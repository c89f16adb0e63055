#include "sdm_properties.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <vector>

#include "correlation/report.h"
#include "correlation/ztransform.h"
#include "merge/append.h"
#include "sdm/design_matrix.h"
#include "sdm/io_error.h"
#include "sdm/sdm_repairs.h"

using namespace sdm;
using namespace merge;
using namespace correlation;

namespace {

// Beyond these sizes an input would spend its time writing files rather than in the code:
// the round trip writes N x M values twice, the report costs N² x M for twice N predictors.
constexpr int64_t kMaxRoundTripValues = int64_t{1} << 16;
constexpr int64_t kMaxRoundTripDataPoints = int64_t{1} << 16;
constexpr int64_t kMaxReportWork = int64_t{1} << 20;

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::string text(long long number) { return std::to_string(number); }

// The reader refuses a file only with one of its documented messages; a file that was just
// written can always be opened and read.
std::string refusalProblem(const std::exception& error, const std::string& path) {
  const std::string message = error.what();
  if (dynamic_cast<const OpenFileError*>(&error) == nullptr &&
      dynamic_cast<const IOError*>(&error) != nullptr &&
      (message == "Invalid SDM header in " + path || message == "Line too long in " + path)) {
    return "";
  }
  if (dynamic_cast<const std::invalid_argument*>(&error) != nullptr &&
      message == "invalid stof argument") {
    return "";
  }
  if (dynamic_cast<const std::out_of_range*>(&error) != nullptr &&
      message == "stof argument out of range") {
    return "";
  }
  return "unexpected refusal: " + message;
}

// N entries in every per-predictor array, M values in every column, as the writer and the
// report rely on.
std::string shapeProblem(const DesignMatrix& m, const char* what) {
  const int64_t predictors = m.nrOfPredictors.value;
  const int64_t dataPoints = m.nrOfDataPoints.value;
  if (predictors < 0 || dataPoints < 0) return std::string(what) + ": negative count";
  const auto n = static_cast<std::size_t>(predictors);
  if (m.red.size() != n || m.green.size() != n || m.blue.size() != n || m.names.size() != n ||
      m.values.size() != n) {
    return std::string(what) + ": arrays do not hold " + text(predictors) + " predictors";
  }
  for (const auto& column : m.values) {
    if (column.size() != static_cast<std::size_t>(dataPoints)) {
      return std::string(what) + ": a column does not hold " + text(dataPoints) + " values";
    }
  }
  return "";
}

// A reloaded entry keeps presence, key and value; its width is the saved one, except that a
// key whose value stood on a later line is written with one blank before its value.
template <typename T>
std::string entryProblem(const char* name, const HeaderEntry<T>& before,
                         const HeaderEntry<T>& after) {
  if (before.present != after.present) return std::string(name) + ": presence changed";
  if (!before.present) return "";
  if (before.key != after.key) return std::string(name) + ": key changed";
  if (before.value != after.value) return std::string(name) + ": value changed";
  const int32_t keyLength = static_cast<int32_t>(before.key.size()) + 1;
  const int32_t width = std::max(before.width, keyLength + 1);
  if (after.width != width) {
    return std::string(name) + ": width " + text(after.width) + " instead of " + text(width);
  }
  return "";
}

std::string headerProblem(const DesignMatrix& before, const DesignMatrix& after) {
  for (const std::string& problem :
       {entryProblem("FileVersion", before.fileVersion, after.fileVersion),
        entryProblem("NrOfPredictors", before.nrOfPredictors, after.nrOfPredictors),
        entryProblem("NrOfDataPoints", before.nrOfDataPoints, after.nrOfDataPoints),
        entryProblem("IncludesConstant", before.includesConstant, after.includesConstant),
        entryProblem("FirstConfoundPredictor", before.firstConfoundPredictor,
                     after.firstConfoundPredictor)}) {
    if (!problem.empty()) return problem;
  }
  return "";
}

// The decimals the writer gives `column`, by the C library's own conversions: six, or 4 - e for
// a column whose largest finite magnitude lies above 0 and below 0.01, e its "%e" exponent.
int savedDecimals(const std::vector<float>& column) {
  double largest = 0.0;
  for (const float v : column) {
    if (std::isfinite(v)) largest = std::fmax(largest, std::fabs(static_cast<double>(v)));
  }
  if (!(largest > 0.0) || largest >= 0.01) return 6;
  char text[32];
  std::snprintf(text, sizeof text, "%e", largest);
  return 4 - static_cast<int>(std::strtol(std::strchr(text, 'e') + 1, nullptr, 10));
}

// The float that the text of `value` with `decimals` decimals means, by the C library's own
// conversions rather than ours: what the writer and the reader must agree on. No one here
// changes the global locale, so "%f" and strtod use the decimal point.
float savedValue(float value, int decimals) {
  char written[400];
  std::snprintf(written, sizeof written, "%.*f", decimals, static_cast<double>(value));
  return static_cast<float>(std::strtod(written, nullptr));
}

bool sameFloat(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

bool sameColumns(const DesignMatrix& a, const DesignMatrix& b, std::size_t from, std::size_t to) {
  for (std::size_t p = from; p < to; ++p) {
    if (a.values[p].size() != b.values[p].size()) return false;
    for (std::size_t t = 0; t < a.values[p].size(); ++t) {
      if (!sameFloat(a.values[p][t], b.values[p][t])) return false;
    }
  }
  return true;
}

// Saves `loaded`, reloads it, saves again. `layoutMayChange` is set when a value in
// (-0.0000005, 0) was written as "-0.000000" with no extra blank: it reads back as -0.0, which
// the writer gives the blank of a non-negative value; and when a column's decimals differ after
// the reload (its largest value, below 0.01, rounded up to a power of ten): only the second save
// is the fixed point then.
std::string roundTripProblem(const DesignMatrix& loaded, const std::string& folder,
                             std::optional<DesignMatrix>& reloaded) {
  DesignMatrix first = loaded;
  const std::string pathA = folder + "/a.sdm";
  const std::string pathB = folder + "/b.sdm";
  first.save(pathA);
  // Strict: nothing the writer writes may need a repair to be read back.
  reloaded = loadSdm(pathA, true).matrix;
  const DesignMatrix& again = *reloaded;
  if (std::string problem = shapeProblem(again, "reloaded"); !problem.empty()) return problem;
  if (std::string problem = headerProblem(loaded, again); !problem.empty()) return problem;
  if (again.red != loaded.red || again.green != loaded.green || again.blue != loaded.blue) {
    return "colours changed";
  }
  if (again.names != loaded.names) return "names changed";
  bool layoutMayChange = false;
  for (std::size_t p = 0; p < loaded.values.size(); ++p) {
    const int decimals = savedDecimals(loaded.values[p]);
    if (savedDecimals(again.values[p]) != decimals) layoutMayChange = true;
    for (std::size_t t = 0; t < loaded.values[p].size(); ++t) {
      const float value = loaded.values[p][t];
      const float expected = savedValue(value, decimals);
      if (!sameFloat(again.values[p][t], expected)) {
        return "value of predictor " + text(static_cast<long long>(p)) + " at data point " +
               text(static_cast<long long>(t)) + " did not read back";
      }
      if (value < 0.0f && expected == 0.0f) layoutMayChange = true;
    }
  }
  DesignMatrix second = again;
  second.save(pathB);
  if (!layoutMayChange && readBytes(pathA) != readBytes(pathB)) return "second save differs";
  return "";
}

// Appending, the constant option, the z-transform and the report on a matrix as read: no
// header value, however odd, may break the arrays or transform a predictor of interest.
std::string mergeProblem(const DesignMatrix& loaded, const DesignMatrix& other,
                         const std::string& folder, bool withConstant) {
  DesignMatrix merged = concatenate(loaded, other);
  if (std::string problem = shapeProblem(merged, "merged"); !problem.empty()) return problem;
  // The merged block starts after this matrix's predictors of interest (an index outside
  // 1..N+1 read as the nearest end) and the other's (those before its index), when none of
  // the other's predictors was refused.
  const int64_t count = merged.nrOfPredictors.value;
  const int64_t ownCount = loaded.nrOfPredictors.value;
  const int64_t otherCount = other.nrOfPredictors.value;
  if (merged.firstConfoundPredictor.value < 1 || merged.firstConfoundPredictor.value > count + 1) {
    return "merged: first confound " + text(merged.firstConfoundPredictor.value) + " outside 1.." +
           text(count + 1);
  }
  if (count == ownCount + otherCount) {
    const int64_t expected =
        std::clamp<int64_t>(loaded.firstConfoundPredictor.value, 1, ownCount + 1) +
        std::clamp<int64_t>(int64_t{other.firstConfoundPredictor.value} - 1, 0, otherCount);
    if (merged.firstConfoundPredictor.value != expected) {
      return "merged: first confound " + text(merged.firstConfoundPredictor.value) +
             " instead of " + text(expected);
    }
  }
  if (withConstant)
    merged.addConstant();
  else
    merged.removeConstant();
  if (std::string problem = shapeProblem(merged, "constant option"); !problem.empty())
    return problem;
  if (merged.includesConstant.value != withConstant) return "includesConstant not set";
  if (withConstant && merged.nrOfDataPoints.value > 0 && !merged.hasConstant()) {
    return "no constant after addConstant";
  }

  const DesignMatrix before = merged;
  zTransformConfounds(merged);
  const int64_t first = merged.firstConfoundPredictor.value;
  const auto interest = static_cast<std::size_t>(
      std::clamp<int64_t>(first >= 1 ? first - 1 : static_cast<int64_t>(merged.values.size()), 0,
                          static_cast<int64_t>(merged.values.size())));
  if (!sameColumns(before, merged, 0, interest))
    return "z-transform touched a predictor of interest";
  if (before.names != merged.names || before.red != merged.red) return "z-transform changed names";

  merged.fileName = folder + "/merged.sdm";
  writeCorrelations(merged);
  const std::string report = readBytes(folder + "/merged.csv");
  std::size_t lines = 0;
  for (std::size_t at = report.find("\r\n"); at != std::string::npos;
       at = report.find("\r\n", at + 2)) {
    ++lines;
  }
  if (lines != merged.values.size() + 1)
    return "report has " + text(static_cast<long long>(lines)) + " lines";
  return "";
}

}  // namespace

std::string checkSdmFile(std::string_view bytes, const std::string& folder, bool withConstant) {
  const std::string path = folder + "/input.sdm";
  if (!writeBytes(path, bytes)) return "cannot write the input file into " + folder;
  std::optional<DesignMatrix> loaded;
  try {
    loaded = DesignMatrix::load(path);
  } catch (const std::exception& error) {
    return refusalProblem(error, path);
  }
  const DesignMatrix& m = *loaded;
  if (m.fileName != path) return "fileName is not the path";
  if (!m.nrOfPredictors.present || !m.nrOfDataPoints.present || !m.firstConfoundPredictor.present) {
    return "loaded without a required header entry";
  }
  if (std::string problem = shapeProblem(m, "loaded"); !problem.empty()) return problem;

  const int64_t predictors = m.nrOfPredictors.value;
  const int64_t dataPoints = m.nrOfDataPoints.value;
  if (predictors * dataPoints > kMaxRoundTripValues || dataPoints > kMaxRoundTripDataPoints)
    return "";
  try {
    std::optional<DesignMatrix> reloaded;
    if (std::string problem = roundTripProblem(m, folder, reloaded); !problem.empty())
      return problem;
    if (4 * predictors * predictors * std::max<int64_t>(dataPoints, 1) > kMaxReportWork) return "";
    return mergeProblem(m, *reloaded, folder, withConstant);
  } catch (const std::exception& error) {
    return std::string("unexpected exception after loading: ") + error.what();
  }
}

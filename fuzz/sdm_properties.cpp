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
#include <string_view>
#include <utility>
#include <vector>

#include "correlation/report.h"
#include "correlation/ztransform.h"
#include "merge/append.h"
#include "sdm/design_matrix.h"
#include "sdm/io_error.h"
#include "sdm/sdm_file.h"
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
  const bool ioError = dynamic_cast<const OpenFileError*>(&error) == nullptr &&
                       dynamic_cast<const IOError*>(&error) != nullptr;
  if (ioError &&
      (message == "Invalid SDM header in " + path || message == "Line too long in " + path ||
       message.starts_with("Not a number in " + path + ", data line ") ||
       message.starts_with("Number out of range in " + path + ", data line "))) {
    return "";
  }
  return "unexpected refusal: " + message;
}

// M values in every predictor, as the writer and the report rely on.
std::string shapeProblem(const DesignMatrix& m, const char* what) {
  const int64_t dataPoints = m.nrOfDataPoints;
  if (dataPoints < 0) return std::string(what) + ": negative count";
  for (const Predictor& predictor : m.predictors) {
    if (predictor.values.size() != static_cast<std::size_t>(dataPoints)) {
      return std::string(what) + ": a column does not hold " + text(dataPoints) + " values";
    }
  }
  return "";
}

// A reloaded entry keeps presence and value; its width is the saved one, except that a key
// whose value stood on a later line is written with one blank before its value.
std::string entryProblem(std::string_view key, const SdmKeyLayout& before, int64_t beforeValue,
                         const SdmKeyLayout& after, int64_t afterValue) {
  const std::string name(key.substr(0, key.size() - 1));
  if (before.present != after.present) return name + ": presence changed";
  if (!before.present) return "";
  if (beforeValue != afterValue) return name + ": value changed";
  const int32_t width = std::max(before.width, static_cast<int32_t>(key.size()) + 1);
  if (after.width != width) {
    return name + ": width " + text(after.width) + " instead of " + text(width);
  }
  return "";
}

std::string headerProblem(const DesignMatrix& before, const DesignMatrix& after) {
  const SdmLayout& a = layoutOf(before);
  const SdmLayout& b = layoutOf(after);
  for (const std::string& problem :
       {entryProblem(fileVersionKey, a.fileVersion, a.version, b.fileVersion, b.version),
        entryProblem(nrOfPredictorsKey, a.nrOfPredictors,
                     static_cast<int64_t>(before.predictors.size()), b.nrOfPredictors,
                     static_cast<int64_t>(after.predictors.size())),
        entryProblem(nrOfDataPointsKey, a.nrOfDataPoints, before.nrOfDataPoints, b.nrOfDataPoints,
                     after.nrOfDataPoints),
        entryProblem(includesConstantKey, a.includesConstant, before.includesConstant,
                     b.includesConstant, after.includesConstant),
        entryProblem(firstConfoundPredictorKey, a.firstConfoundPredictor,
                     before.firstConfoundPredictor, b.firstConfoundPredictor,
                     after.firstConfoundPredictor)}) {
    if (!problem.empty()) return problem;
  }
  return "";
}

// The same colour for every predictor, in order.
bool sameColours(const DesignMatrix& a, const DesignMatrix& b) {
  return std::equal(a.predictors.begin(), a.predictors.end(), b.predictors.begin(),
                    b.predictors.end(),
                    [](const Predictor& x, const Predictor& y) { return x.colour == y.colour; });
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
    const std::vector<float>& x = a.predictors[p].values;
    const std::vector<float>& y = b.predictors[p].values;
    if (x.size() != y.size()) return false;
    for (std::size_t t = 0; t < x.size(); ++t) {
      if (!sameFloat(x[t], y[t])) return false;
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
  saveSdm(first, pathA);
  // Nothing the writer writes may need a repair to be read back; an infinity or a NaN it wrote
  // is counted, not repaired.
  LoadedSdm read = loadSdm(pathA, false);
  const SdmRepairs& repairs = read.repairs;
  if (repairs.missingFrom != 0 || repairs.unreadable != 0 || repairs.namesMissing != 0)
    return "the reload needed a repair";
  reloaded = std::move(read.matrix);
  const DesignMatrix& again = *reloaded;
  if (std::string problem = shapeProblem(again, "reloaded"); !problem.empty()) return problem;
  if (std::string problem = headerProblem(loaded, again); !problem.empty()) return problem;
  if (!sameColours(again, loaded)) return "colours changed";
  if (namesOf(again.predictors) != namesOf(loaded.predictors)) return "names changed";
  bool layoutMayChange = false;
  for (std::size_t p = 0; p < loaded.predictors.size(); ++p) {
    const std::vector<float>& values = loaded.predictors[p].values;
    const int decimals = savedDecimals(values);
    if (savedDecimals(again.predictors[p].values) != decimals) layoutMayChange = true;
    for (std::size_t t = 0; t < values.size(); ++t) {
      const float value = values[t];
      const float expected = savedValue(value, decimals);
      if (!sameFloat(again.predictors[p].values[t], expected)) {
        return "value of predictor " + text(static_cast<long long>(p)) + " at data point " +
               text(static_cast<long long>(t)) + " did not read back";
      }
      if (value < 0.0f && expected == 0.0f) layoutMayChange = true;
    }
  }
  DesignMatrix second = again;
  saveSdm(second, pathB);
  if (!layoutMayChange && readBytes(pathA) != readBytes(pathB)) return "second save differs";
  return "";
}

// Appending, the constant option, the z-transform and the report on a matrix as read: no
// header value, however odd, may break the arrays or transform a predictor of interest.
std::string mergeProblem(const DesignMatrix& loaded, const DesignMatrix& other, bool withConstant) {
  DesignMatrix merged = concatenate(loaded, other);
  if (std::string problem = shapeProblem(merged, "merged"); !problem.empty()) return problem;
  // The merged block starts after this matrix's predictors of interest (an index outside
  // 1..N+1 read as the nearest end) and the other's (those before its index), when none of
  // the other's predictors was refused.
  const auto count = static_cast<int64_t>(merged.predictors.size());
  const auto ownCount = static_cast<int64_t>(loaded.predictors.size());
  const auto otherCount = static_cast<int64_t>(other.predictors.size());
  if (merged.firstConfoundPredictor < 1 || merged.firstConfoundPredictor > count + 1) {
    return "merged: first confound " + text(merged.firstConfoundPredictor) + " outside 1.." +
           text(count + 1);
  }
  if (count == ownCount + otherCount) {
    const int64_t expected =
        std::clamp<int64_t>(loaded.firstConfoundPredictor, 1, ownCount + 1) +
        std::clamp<int64_t>(int64_t{other.firstConfoundPredictor} - 1, 0, otherCount);
    if (merged.firstConfoundPredictor != expected) {
      return "merged: first confound " + text(merged.firstConfoundPredictor) + " instead of " +
             text(expected);
    }
  }
  if (withConstant)
    merged.addConstant();
  else
    merged.removeConstant();
  if (std::string problem = shapeProblem(merged, "constant option"); !problem.empty())
    return problem;
  if (merged.includesConstant != withConstant) return "includesConstant not set";
  if (withConstant && merged.nrOfDataPoints > 0 && !merged.hasConstant()) {
    return "no constant after addConstant";
  }

  const DesignMatrix before = merged;
  zTransformConfounds(merged);
  const int64_t first = merged.firstConfoundPredictor;
  const auto size = static_cast<int64_t>(merged.predictors.size());
  const auto interest =
      static_cast<std::size_t>(std::clamp<int64_t>(first >= 1 ? first - 1 : size, 0, size));
  if (!sameColumns(before, merged, 0, interest))
    return "z-transform touched a predictor of interest";
  if (namesOf(before.predictors) != namesOf(merged.predictors) || !sameColours(before, merged))
    return "z-transform changed names";

  std::string report;
  writeCorrelationCsv(merged, [&report](std::string_view piece) { report += piece; });
  std::size_t lines = 0;
  for (std::size_t at = report.find("\r\n"); at != std::string::npos;
       at = report.find("\r\n", at + 2)) {
    ++lines;
  }
  if (lines != merged.predictors.size() + 1)
    return "report has " + text(static_cast<long long>(lines)) + " lines";
  return "";
}

}  // namespace

std::string checkSdmFile(std::string_view bytes, const std::string& folder, bool withConstant) {
  const std::string path = folder + "/input.sdm";
  if (!writeBytes(path, bytes)) return "cannot write the input file into " + folder;
  std::optional<DesignMatrix> loaded;
  try {
    loaded = loadSdm(path);
  } catch (const std::exception& error) {
    return refusalProblem(error, path);
  }
  const DesignMatrix& m = *loaded;
  if (m.fileName != path) return "fileName is not the path";
  const SdmLayout& layout = layoutOf(m);
  if (!layout.nrOfPredictors.present || !layout.nrOfDataPoints.present ||
      !layout.firstConfoundPredictor.present) {
    return "loaded without a required header entry";
  }
  if (std::string problem = shapeProblem(m, "loaded"); !problem.empty()) return problem;

  const auto predictors = static_cast<int64_t>(m.predictors.size());
  const int64_t dataPoints = m.nrOfDataPoints;
  if (predictors * dataPoints > kMaxRoundTripValues || dataPoints > kMaxRoundTripDataPoints)
    return "";
  try {
    std::optional<DesignMatrix> reloaded;
    if (std::string problem = roundTripProblem(m, folder, reloaded); !problem.empty())
      return problem;
    if (4 * predictors * predictors * std::max<int64_t>(dataPoints, 1) > kMaxReportWork) return "";
    return mergeProblem(m, *reloaded, withConstant);
  } catch (const std::exception& error) {
    return std::string("unexpected exception after loading: ") + error.what();
  }
}

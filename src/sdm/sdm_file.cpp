#include "sdm/sdm_file.h"

#include <memory>
#include <utility>

#include "sdm/io_error.h"

namespace sdm {

namespace {

// The column at which Brindle puts the values of a header it writes anew.
constexpr int32_t newHeaderWidth = 24;

}  // namespace

const SdmLayout& layoutOf(const DesignMatrix& matrix) {
  static const SdmLayout none;
  return matrix.layout ? *matrix.layout : none;
}

DesignMatrix newDesignMatrix(std::string fileName, int32_t nrOfDataPoints,
                             std::vector<Predictor> predictors, int32_t firstConfound,
                             int32_t fileVersion) {
  SdmLayout layout;
  layout.version = fileVersion;
  const SdmKeyLayout key{newHeaderWidth, true};
  layout.fileVersion = layout.nrOfPredictors = layout.nrOfDataPoints = key;
  layout.includesConstant = layout.firstConfoundPredictor = key;
  DesignMatrix matrix;
  matrix.fileName = std::move(fileName);
  matrix.nrOfDataPoints = nrOfDataPoints;
  matrix.firstConfoundPredictor = firstConfound;
  matrix.predictors = std::move(predictors);
  matrix.layout = std::make_shared<const SdmLayout>(layout);
  return matrix;
}

void checkUsableNames(const std::string& path, std::span<const std::string> names) {
  for (const std::string& name : names) {
    if (name.find_first_of("\"\r\n") == std::string::npos) continue;
    std::string shown;
    for (const char c : name) {
      shown += c == '"' ? "\\\"" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    throw IOError("Unusable predictor name in " + path + ": " + shown);
  }
}

}  // namespace sdm

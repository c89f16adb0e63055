#include "correlation/ztransform.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "correlation/correlation.h"
#include "sdm/design_matrix.h"

namespace correlation {

namespace {

// Predictors whose statistics are computed side by side. A sum is a chain of dependent adds,
// each waiting for the one before; eight independent chains keep the adder busy, and every
// chain still adds its own predictor's values in index order, as predictorStats does.
constexpr std::size_t batchSize = 8;

// The statistics of the predictors `batch[0 ... count - 1]`, all of length n, into `stats`:
// the bits predictorStats gives for each. Unused slots repeat the last predictor.
void statsSideBySide(const float* const (&batch)[batchSize], std::size_t n,
                     PredictorStats (&stats)[batchSize]) {
  float sums[batchSize] = {};
  for (std::size_t t = 0; t < n; ++t) {
    for (std::size_t j = 0; j < batchSize; ++j) sums[j] = sums[j] + batch[j][t];
  }
  float means[batchSize];
  for (std::size_t j = 0; j < batchSize; ++j) means[j] = sums[j] / static_cast<float>(n);
  float squares[batchSize] = {};
  for (std::size_t t = 0; t < n; ++t) {
    for (std::size_t j = 0; j < batchSize; ++j) {
      const float d = batch[j][t] - means[j];
      squares[j] = squares[j] + d * d;
    }
  }
  const auto degrees = static_cast<float>(static_cast<uint64_t>(n) - 1u);
  for (std::size_t j = 0; j < batchSize; ++j)
    stats[j] = {means[j], std::sqrt(squares[j] / degrees)};
}

// Divides by the standard deviation from the predictor's floor on; a predictor of zeros (floor
// and deviation 0) only has its mean, 0, taken away.
void transform(std::vector<float>& values, const PredictorStats& stats) {
  const bool divides = !(stats.stdDev < stdDevFloor(values)) && stats.stdDev != 0.0f;
  const float divisor = divides ? stats.stdDev : 1.0f;
  for (float& v : values) v = (v - stats.mean) / divisor;
}

// Predictors of one length waiting for their statistics; no allocation.
class Batch {
 public:
  explicit Batch(std::vector<sdm::Predictor>& predictors) : predictors_(predictors) {}

  void add(std::size_t k) {
    if (count_ > 0 && column(k).size() != column(members_[0]).size()) flush();
    members_[count_++] = k;
    if (count_ == batchSize) flush();
  }

  void flush() {
    if (count_ == 0) return;
    const float* data[batchSize];
    for (std::size_t j = 0; j < batchSize; ++j)
      data[j] = column(members_[j < count_ ? j : count_ - 1]).data();
    PredictorStats stats[batchSize];
    statsSideBySide(data, column(members_[0]).size(), stats);
    // Every statistic is taken before any predictor changes; each predictor's own values only
    // feed its own statistics, so the order of the transforms does not matter.
    for (std::size_t j = 0; j < count_; ++j) transform(column(members_[j]), stats[j]);
    count_ = 0;
  }

 private:
  std::vector<float>& column(std::size_t k) { return predictors_[k].values; }

  std::vector<sdm::Predictor>& predictors_;
  std::size_t members_[batchSize] = {};
  std::size_t count_ = 0;
};

}  // namespace

void zTransform(sdm::DesignMatrix& matrix, int32_t firstIndex) {
  std::vector<sdm::Predictor>& predictors = matrix.predictors;
  Batch batch(predictors);
  // The index is compared as an unsigned quantity: a negative one lies past every predictor.
  for (auto k = static_cast<std::size_t>(firstIndex); k < predictors.size(); ++k) {
    if (!sdm::isConstantPredictor(predictors[k].values)) batch.add(k);
  }
  batch.flush();
}

void zTransformConfounds(sdm::DesignMatrix& matrix) {
  // The lowest index a file can hold has no predecessor; it names no confound either.
  if (matrix.firstConfoundPredictor == INT32_MIN) return;
  zTransform(matrix, matrix.firstConfoundPredictor - 1);
}

}  // namespace correlation

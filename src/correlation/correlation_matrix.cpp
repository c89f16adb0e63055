#include "correlation/correlation_matrix.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "correlation/correlation.h"

namespace {

// A block pairs `blockRows` predictors with `lanes` partner predictors: 32 independent sums
// that the compiler keeps in vector registers, one pair per lane.
constexpr std::size_t lanes = 8;
constexpr std::size_t blockRows = 4;
static_assert(lanes % blockRows == 0, "a block's rows lie within one panel");

// Data points per pass over all blocks: a pass reads chunk * lanes floats of every panel,
// small enough to stay in the second-level cache for a thousand predictors.
constexpr std::size_t chunk = 256;

// Adds rows[t * lanes + r] * partners[t * lanes + l] to acc[r * accStride + l] for t = 0 ...
// count - 1 in that order, every product rounded to float before it is added: each of the
// blockRows x lanes sums goes on exactly as the plain dot product loop would.
using BlockKernel = void (*)(const float* rows, const float* partners, std::size_t count,
                             float* acc, std::size_t accStride);

void portableBlockKernel(const float* rows, const float* partners, std::size_t count, float* acc,
                         std::size_t accStride) {
  float sums[blockRows][lanes];
  for (std::size_t r = 0; r < blockRows; ++r) {
    for (std::size_t l = 0; l < lanes; ++l) sums[r][l] = acc[r * accStride + l];
  }
  for (std::size_t t = 0; t < count; ++t) {
    const float* rowValues = rows + t * lanes;
    const float* partnerValues = partners + t * lanes;
    for (std::size_t r = 0; r < blockRows; ++r) {
      for (std::size_t l = 0; l < lanes; ++l) sums[r][l] = sums[r][l] + rowValues[r] * partnerValues[l];
    }
  }
  for (std::size_t r = 0; r < blockRows; ++r) {
    for (std::size_t l = 0; l < lanes; ++l) acc[r * accStride + l] = sums[r][l];
  }
}

// The one place that picks the kernel, so that a faster one for the running processor can
// be chosen here.
BlockKernel blockKernel() { return portableBlockKernel; }

// The dot products of every pair of the `members` (all of length n), upper triangle and
// diagonal: cell a * stride + b for a <= b. stride is the member count rounded up to lanes.
std::vector<float> pairDots(std::span<const std::vector<float>> predictors,
                            const std::vector<std::size_t>& members, std::size_t n, std::size_t& stride) {
  const std::size_t panelCount = (members.size() + lanes - 1) / lanes;
  stride = panelCount * lanes;
  // Panel p holds members p * lanes ... p * lanes + lanes - 1 data point by data point, so
  // that a pass over t reads memory in order; missing members are zeros.
  std::vector<float> panels(panelCount * n * lanes, 0.0f);
  for (std::size_t m = 0; m < members.size(); ++m) {
    float* panel = panels.data() + (m / lanes) * n * lanes + m % lanes;
    const std::vector<float>& source = predictors[members[m]];
    for (std::size_t t = 0; t < n; ++t) panel[t * lanes] = source[t];
  }
  std::vector<float> dots(stride * stride, 0.0f);
  const BlockKernel kernel = blockKernel();
  for (std::size_t t0 = 0; t0 < n; t0 += chunk) {
    const std::size_t count = std::min(chunk, n - t0);
    for (std::size_t partnerPanel = 0; partnerPanel < panelCount; ++partnerPanel) {
      const float* partners = panels.data() + partnerPanel * n * lanes + t0 * lanes;
      // Row blocks up to the partner panel's last member: the upper triangle, with a few
      // spare pairs below the diagonal inside the diagonal panel.
      for (std::size_t row = 0; row < (partnerPanel + 1) * lanes; row += blockRows) {
        const float* rows = panels.data() + (row / lanes) * n * lanes + t0 * lanes + row % lanes;
        kernel(rows, partners, count, dots.data() + row * stride + partnerPanel * lanes, stride);
      }
    }
  }
  return dots;
}

}  // namespace

std::vector<float> correlationMatrix(std::span<const std::vector<float>> predictors) {
  const std::size_t k = predictors.size();
  std::vector<float> result(k * k, 0.0f);
  std::vector<PredictorStats> stats;
  stats.reserve(k);
  for (const auto& predictor : predictors) stats.push_back(predictorStats(predictor));

  // Only predictors of equal length whose standard deviations pass the floor correlate to
  // anything but 0; the strict test lets a NaN standard deviation through.
  std::map<std::size_t, std::vector<std::size_t>> byLength;
  for (std::size_t i = 0; i < k; ++i) {
    if (!(stats[i].stdDev < minStdDev)) byLength[predictors[i].size()].push_back(i);
  }
  for (const auto& [n, members] : byLength) {
    std::size_t stride = 0;
    const std::vector<float> dots = pairDots(predictors, members, n, stride);
    // The counts as correlation() converts them: from a 32-bit signed length.
    const auto count = static_cast<int32_t>(n);
    const auto nf = static_cast<float>(count);
    const auto nMinus1 = static_cast<float>(count - 1);
    for (std::size_t a = 0; a < members.size(); ++a) {
      for (std::size_t b = a; b < members.size(); ++b) {
        const PredictorStats& sa = stats[members[a]];
        const PredictorStats& sb = stats[members[b]];
        // The same operations as correlation(); each is commutative, so the cell below the
        // diagonal gets the same bits.
        const float numerator = dots[a * stride + b] - (sb.mean * sa.mean) * nf;
        const float denominator = (sb.stdDev * sa.stdDev) * nMinus1;
        const float r = numerator / denominator;
        result[members[a] * k + members[b]] = r;
        result[members[b] * k + members[a]] = r;
      }
    }
  }
  return result;
}

std::vector<float> correlationMatrixReference(std::span<const std::vector<float>> predictors) {
  const std::size_t k = predictors.size();
  std::vector<float> result(k * k);
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) result[i * k + j] = correlation(predictors[i], predictors[j]);
  }
  return result;
}

#include "diagnostics/cross_products.h"

#include <algorithm>
#include <stdexcept>

#include "base/cpu_features.h"
#include "base/parallel.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define BRINDLE_HAVE_AVX2_CROSS_KERNEL 1
#include <immintrin.h>
#else
#define BRINDLE_HAVE_AVX2_CROSS_KERNEL 0
#endif

namespace diagnostics {

namespace {

// Predictors side by side in a panel (value t * lanes + l is data point t of lane l), and the
// rows of one block: a block pairs `rows` predictors of one panel with all lanes of another.
constexpr std::size_t lanes = 8;
constexpr std::size_t rows = 4;

// Data points held at a time: K * 8 KiB of panels, which for a thousand predictors stays in the
// second-level cache while every block is paired with them.
constexpr std::size_t chunk = 128;

// Adds rowValues[t * lanes + r] * partners[t * lanes + l] to acc[r * stride + l] for t in
// order, r < rows and l < lanes.
using Kernel = void (*)(const double* rowValues, const double* partners, std::size_t count,
                        double* acc, std::size_t stride);

// Two halves of four lanes each, so that the 4 x 4 sums of a half fit the sixteen 128-bit
// registers of every x86-64 processor.
void portableKernel(const double* rowValues, const double* partners, std::size_t count, double* acc,
                    std::size_t stride) {
  constexpr std::size_t half = lanes / 2;
  for (std::size_t first = 0; first < lanes; first += half) {
    double sums[rows][half];
    for (std::size_t r = 0; r < rows; ++r) {
      for (std::size_t l = 0; l < half; ++l) sums[r][l] = acc[r * stride + first + l];
    }
    for (std::size_t t = 0; t < count; ++t) {
      const double* a = rowValues + t * lanes;
      const double* b = partners + t * lanes + first;
      for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t l = 0; l < half; ++l) sums[r][l] = sums[r][l] + a[r] * b[l];
      }
    }
    for (std::size_t r = 0; r < rows; ++r) {
      for (std::size_t l = 0; l < half; ++l) acc[r * stride + first + l] = sums[r][l];
    }
  }
}

#if BRINDLE_HAVE_AVX2_CROSS_KERNEL

// 4 rows x 8 lanes: eight 4-double sums, two partner registers and one broadcast row value.
// Multiply and add stay separate instructions, so every lane rounds as the portable loop does.
__attribute__((target("avx2"))) void avx2Kernel(const double* rowValues, const double* partners,
                                                std::size_t count, double* acc,
                                                std::size_t stride) {
  double* acc0 = acc;
  double* acc1 = acc + stride;
  double* acc2 = acc + 2 * stride;
  double* acc3 = acc + 3 * stride;
  __m256d s00 = _mm256_loadu_pd(acc0), s01 = _mm256_loadu_pd(acc0 + 4);
  __m256d s10 = _mm256_loadu_pd(acc1), s11 = _mm256_loadu_pd(acc1 + 4);
  __m256d s20 = _mm256_loadu_pd(acc2), s21 = _mm256_loadu_pd(acc2 + 4);
  __m256d s30 = _mm256_loadu_pd(acc3), s31 = _mm256_loadu_pd(acc3 + 4);
  for (std::size_t t = 0; t < count; ++t) {
    const double* a = rowValues + t * lanes;
    const __m256d b0 = _mm256_loadu_pd(partners + t * lanes);
    const __m256d b1 = _mm256_loadu_pd(partners + t * lanes + 4);
    __m256d x = _mm256_broadcast_sd(a);
    s00 = _mm256_add_pd(s00, _mm256_mul_pd(x, b0));
    s01 = _mm256_add_pd(s01, _mm256_mul_pd(x, b1));
    x = _mm256_broadcast_sd(a + 1);
    s10 = _mm256_add_pd(s10, _mm256_mul_pd(x, b0));
    s11 = _mm256_add_pd(s11, _mm256_mul_pd(x, b1));
    x = _mm256_broadcast_sd(a + 2);
    s20 = _mm256_add_pd(s20, _mm256_mul_pd(x, b0));
    s21 = _mm256_add_pd(s21, _mm256_mul_pd(x, b1));
    x = _mm256_broadcast_sd(a + 3);
    s30 = _mm256_add_pd(s30, _mm256_mul_pd(x, b0));
    s31 = _mm256_add_pd(s31, _mm256_mul_pd(x, b1));
  }
  _mm256_storeu_pd(acc0, s00);
  _mm256_storeu_pd(acc0 + 4, s01);
  _mm256_storeu_pd(acc1, s10);
  _mm256_storeu_pd(acc1 + 4, s11);
  _mm256_storeu_pd(acc2, s20);
  _mm256_storeu_pd(acc2 + 4, s21);
  _mm256_storeu_pd(acc3, s30);
  _mm256_storeu_pd(acc3 + 4, s31);
}

#endif

// The processor's features decide, as for the correlations' kernels.
Kernel kernel() {
#if BRINDLE_HAVE_AVX2_CROSS_KERNEL
  if (base::cpuFeatures().avx2) return avx2Kernel;
#endif
  return portableKernel;
}

std::size_t checkedLength(std::span<const std::span<const float>> predictors) {
  const std::size_t n = predictors.empty() ? 0 : predictors[0].size();
  for (const auto& p : predictors) {
    if (p.size() != n) throw std::invalid_argument("predictors differ in length");
  }
  return n;
}

CrossProducts withMeans(std::span<const std::span<const float>> predictors,
                        base::WorkerTeam& team) {
  CrossProducts result;
  result.count = predictors.size();
  result.dataPoints = checkedLength(predictors);
  result.means.resize(result.count);
  // Each mean is one sum in data-point order; the predictors are the parts.
  team.forEach(result.count, [&](std::size_t i) {
    double sum = 0.0;
    for (const float v : predictors[i]) sum = sum + static_cast<double>(v);
    result.means[i] = sum / static_cast<double>(result.dataPoints);
  });
  result.centred.assign(result.count * result.count, 0.0);
  return result;
}

// The sums in padded storage (row stride `stride`) of the blocks on or above the diagonal, a
// piece of `chunk` data points at a time: the values less their means are laid into the panels
// (each panel a part of the team's work), then every block of rows runs through its partner
// panels (each block a part: the only one that writes its rows of the sums).
void blockSums(std::span<const std::span<const float>> predictors, const CrossProducts& result,
               std::size_t stride, std::vector<double>& sums, base::WorkerTeam& team) {
  const std::size_t k = result.count, n = result.dataPoints;
  const std::size_t panels = stride / lanes;
  std::vector<double> values(panels * chunk * lanes, 0.0);
  const Kernel run = kernel();
  for (std::size_t t0 = 0; t0 < n; t0 += chunk) {
    const std::size_t count = std::min(chunk, n - t0);
    team.forEach(panels, [&](std::size_t panel) {
      for (std::size_t i = panel * lanes; i < std::min(k, (panel + 1) * lanes); ++i) {
        double* lane = values.data() + panel * chunk * lanes + i % lanes;
        const float* source = predictors[i].data() + t0;
        const double mean = result.means[i];
        for (std::size_t t = 0; t < count; ++t)
          lane[t * lanes] = static_cast<double>(source[t]) - mean;
      }
    });
    // The blocks of the first panels have the most partners: they come first.
    team.forEach(panels * (lanes / rows), [&](std::size_t block) {
      const std::size_t rowPanel = block * rows / lanes;
      const double* rowValues = values.data() + rowPanel * chunk * lanes + block * rows % lanes;
      for (std::size_t partner = rowPanel; partner < panels; ++partner) {
        run(rowValues, values.data() + partner * chunk * lanes, count,
            sums.data() + block * rows * stride + partner * lanes, stride);
      }
    });
  }
}

}  // namespace

CrossProducts centredCrossProducts(std::span<const std::span<const float>> predictors) {
  const std::size_t panels = (predictors.size() + lanes - 1) / lanes;
  // Little work (about a millisecond's: 2^22 products) goes on one thread.
  const std::size_t k = predictors.size(), n = k == 0 ? 0 : predictors[0].size();
  base::WorkerTeam team(std::clamp<std::size_t>(
      panels * (lanes / rows), 1, base::threadsFor(k * k / 2 * n, std::size_t{1} << 22)));
  CrossProducts result = withMeans(predictors, team);
  if (k == 0 || result.dataPoints == 0) return result;

  // Panels padded with zero lanes; the sums in padded storage, only blocks on or above the
  // diagonal computed, the rest mirrored at the end.
  const std::size_t stride = panels * lanes;
  std::vector<double> sums(stride * stride, 0.0);
  blockSums(predictors, result, stride, sums, team);
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      // Cell (i, j) was computed when j's panel is not before i's.
      result.centred[i * k + j] =
          j / lanes >= i / lanes ? sums[i * stride + j] : sums[j * stride + i];
    }
  }
  return result;
}

CrossProducts centredCrossProductsReference(std::span<const std::span<const float>> predictors) {
  base::WorkerTeam oneThread(1);
  CrossProducts result = withMeans(predictors, oneThread);
  const std::size_t k = result.count;
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      double sum = 0.0;
      for (std::size_t t = 0; t < result.dataPoints; ++t) {
        sum = sum + (static_cast<double>(predictors[i][t]) - result.means[i]) *
                        (static_cast<double>(predictors[j][t]) - result.means[j]);
      }
      result.centred[i * k + j] = sum;
    }
  }
  return result;
}

}  // namespace diagnostics

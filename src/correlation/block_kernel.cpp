#include "correlation/block_kernel.h"

#include "base/cpu_features.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define BRINDLE_HAVE_AVX2_KERNELS 1
#include <immintrin.h>
#else
#define BRINDLE_HAVE_AVX2_KERNELS 0
#endif

namespace correlation {

namespace {

static_assert(panelLanes % blockRows == 0, "a block's rows lie within one panel");
static_assert(panelLanes == 16, "the AVX2 kernels hold a panel row in two 8-float registers");

// Two halves of eight lanes each, so that the 4 x 8 sums of a half fit the sixteen 128-bit
// registers every x86-64 processor has; other processors get the same loop in their own width.
void portableBlockKernel(const float* rows, const float* partners, std::size_t count, float* acc,
                         std::size_t accStride) {
  constexpr std::size_t half = panelLanes / 2;
  for (std::size_t first = 0; first < panelLanes; first += half) {
    float sums[blockRows][half];
    for (std::size_t r = 0; r < blockRows; ++r) {
      for (std::size_t l = 0; l < half; ++l) sums[r][l] = acc[r * accStride + first + l];
    }
    for (std::size_t t = 0; t < count; ++t) {
      const float* rowValues = rows + t * panelLanes;
      const float* partnerValues = partners + t * panelLanes + first;
      for (std::size_t r = 0; r < blockRows; ++r) {
        for (std::size_t l = 0; l < half; ++l)
          sums[r][l] = sums[r][l] + rowValues[r] * partnerValues[l];
      }
    }
    for (std::size_t r = 0; r < blockRows; ++r) {
      for (std::size_t l = 0; l < half; ++l) acc[r * accStride + first + l] = sums[r][l];
    }
  }
}

void portablePanelSums(const float* panel, std::size_t count, float* sums) {
  for (std::size_t t = 0; t < count; ++t) {
    for (std::size_t l = 0; l < panelLanes; ++l) sums[l] = sums[l] + panel[t * panelLanes + l];
  }
}

void portablePanelSquares(const float* panel, std::size_t count, float* squares) {
  for (std::size_t t = 0; t < count; ++t) {
    for (std::size_t l = 0; l < panelLanes; ++l) {
      const float d = panel[t * panelLanes + l];
      squares[l] = squares[l] + d * d;
    }
  }
}

#if BRINDLE_HAVE_AVX2_KERNELS

// 4 rows x 16 lanes: eight 8-float sums, two partner registers and one broadcast row value. A
// step of t issues 8 multiplies and 8 adds; with two multiply and two add pipes that is four
// cycles, longer than an add's latency, so the sums never wait on each other. Multiply and add
// stay separate instructions: the target enables AVX2 only, not FMA.
__attribute__((target("avx2"))) void avx2BlockKernel(const float* rows, const float* partners,
                                                     std::size_t count, float* acc,
                                                     std::size_t accStride) {
  float* acc0 = acc;
  float* acc1 = acc + accStride;
  float* acc2 = acc + 2 * accStride;
  float* acc3 = acc + 3 * accStride;
  __m256 s00 = _mm256_loadu_ps(acc0), s01 = _mm256_loadu_ps(acc0 + 8);
  __m256 s10 = _mm256_loadu_ps(acc1), s11 = _mm256_loadu_ps(acc1 + 8);
  __m256 s20 = _mm256_loadu_ps(acc2), s21 = _mm256_loadu_ps(acc2 + 8);
  __m256 s30 = _mm256_loadu_ps(acc3), s31 = _mm256_loadu_ps(acc3 + 8);
  for (std::size_t t = 0; t < count; ++t) {
    const float* rowValues = rows + t * panelLanes;
    const __m256 b0 = _mm256_loadu_ps(partners + t * panelLanes);
    const __m256 b1 = _mm256_loadu_ps(partners + t * panelLanes + 8);
    __m256 a = _mm256_broadcast_ss(rowValues);
    s00 = _mm256_add_ps(s00, _mm256_mul_ps(a, b0));
    s01 = _mm256_add_ps(s01, _mm256_mul_ps(a, b1));
    a = _mm256_broadcast_ss(rowValues + 1);
    s10 = _mm256_add_ps(s10, _mm256_mul_ps(a, b0));
    s11 = _mm256_add_ps(s11, _mm256_mul_ps(a, b1));
    a = _mm256_broadcast_ss(rowValues + 2);
    s20 = _mm256_add_ps(s20, _mm256_mul_ps(a, b0));
    s21 = _mm256_add_ps(s21, _mm256_mul_ps(a, b1));
    a = _mm256_broadcast_ss(rowValues + 3);
    s30 = _mm256_add_ps(s30, _mm256_mul_ps(a, b0));
    s31 = _mm256_add_ps(s31, _mm256_mul_ps(a, b1));
  }
  _mm256_storeu_ps(acc0, s00);
  _mm256_storeu_ps(acc0 + 8, s01);
  _mm256_storeu_ps(acc1, s10);
  _mm256_storeu_ps(acc1 + 8, s11);
  _mm256_storeu_ps(acc2, s20);
  _mm256_storeu_ps(acc2 + 8, s21);
  _mm256_storeu_ps(acc3, s30);
  _mm256_storeu_ps(acc3 + 8, s31);
}

// Sixteen predictors' sums side by side, one per lane, each in data-point order.
__attribute__((target("avx2"))) void avx2PanelSums(const float* panel, std::size_t count,
                                                   float* sums) {
  __m256 sum0 = _mm256_loadu_ps(sums), sum1 = _mm256_loadu_ps(sums + 8);
  for (std::size_t t = 0; t < count; ++t) {
    sum0 = _mm256_add_ps(sum0, _mm256_loadu_ps(panel + t * panelLanes));
    sum1 = _mm256_add_ps(sum1, _mm256_loadu_ps(panel + t * panelLanes + 8));
  }
  _mm256_storeu_ps(sums, sum0);
  _mm256_storeu_ps(sums + 8, sum1);
}

__attribute__((target("avx2"))) void avx2PanelSquares(const float* panel, std::size_t count,
                                                      float* squares) {
  __m256 squares0 = _mm256_loadu_ps(squares), squares1 = _mm256_loadu_ps(squares + 8);
  for (std::size_t t = 0; t < count; ++t) {
    const __m256 d0 = _mm256_loadu_ps(panel + t * panelLanes);
    const __m256 d1 = _mm256_loadu_ps(panel + t * panelLanes + 8);
    squares0 = _mm256_add_ps(squares0, _mm256_mul_ps(d0, d0));
    squares1 = _mm256_add_ps(squares1, _mm256_mul_ps(d1, d1));
  }
  _mm256_storeu_ps(squares, squares0);
  _mm256_storeu_ps(squares + 8, squares1);
}

#endif

bool useAvx2() { return base::cpuFeatures().avx2; }

}  // namespace

// The one place that picks the kernels for the running processor.
BlockKernel blockKernel() {
#if BRINDLE_HAVE_AVX2_KERNELS
  if (useAvx2()) return avx2BlockKernel;
#endif
  return portableBlockKernel;
}

PanelSumsKernel panelSumsKernel() {
#if BRINDLE_HAVE_AVX2_KERNELS
  if (useAvx2()) return avx2PanelSums;
#endif
  return portablePanelSums;
}

PanelSquaresKernel panelSquaresKernel() {
#if BRINDLE_HAVE_AVX2_KERNELS
  if (useAvx2()) return avx2PanelSquares;
#endif
  return portablePanelSquares;
}

const char* activeKernelName() { return useAvx2() ? "avx2" : "portable"; }

}  // namespace correlation

#include "diagnostics/vector_kernels.h"

#include "base/cpu_features.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define BRINDLE_HAVE_AVX2_VECTOR_KERNELS 1
#include <immintrin.h>
#else
#define BRINDLE_HAVE_AVX2_VECTOR_KERNELS 0
#endif

namespace diagnostics {

namespace {

double portableDot(const double* a, const double* b, std::size_t n) {
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    for (std::size_t l = 0; l < 4; ++l) sums[l] = sums[l] + a[i + l] * b[i + l];
  }
  for (std::size_t l = 0; i < n; ++i, ++l) sums[l] = sums[l] + a[i] * b[i];
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

void portableAddScaled(double* y, double s, const double* x, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) y[j] = y[j] + s * x[j];
}

void portableSubtractTwo(double* y, double s, const double* x, double t, const double* z,
                         std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) y[j] = y[j] - (s * x[j] + t * z[j]);
}

#if BRINDLE_HAVE_AVX2_VECTOR_KERNELS

__attribute__((target("avx2"))) double avx2Dot(const double* a, const double* b, std::size_t n) {
  __m256d sums = _mm256_setzero_pd();
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4)
    sums = _mm256_add_pd(sums, _mm256_mul_pd(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i)));
  double s[4];
  _mm256_storeu_pd(s, sums);
  for (std::size_t l = 0; i < n; ++i, ++l) s[l] = s[l] + a[i] * b[i];
  return (s[0] + s[1]) + (s[2] + s[3]);
}

__attribute__((target("avx2"))) void avx2AddScaled(double* y, double s, const double* x,
                                                   std::size_t n) {
  const __m256d scale = _mm256_set1_pd(s);
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    _mm256_storeu_pd(
        y + j, _mm256_add_pd(_mm256_loadu_pd(y + j), _mm256_mul_pd(scale, _mm256_loadu_pd(x + j))));
  }
  for (; j < n; ++j) y[j] = y[j] + s * x[j];
}

__attribute__((target("avx2"))) void avx2SubtractTwo(double* y, double s, const double* x, double t,
                                                     const double* z, std::size_t n) {
  const __m256d first = _mm256_set1_pd(s), second = _mm256_set1_pd(t);
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    const __m256d sum = _mm256_add_pd(_mm256_mul_pd(first, _mm256_loadu_pd(x + j)),
                                      _mm256_mul_pd(second, _mm256_loadu_pd(z + j)));
    _mm256_storeu_pd(y + j, _mm256_sub_pd(_mm256_loadu_pd(y + j), sum));
  }
  for (; j < n; ++j) y[j] = y[j] - (s * x[j] + t * z[j]);
}

#endif

}  // namespace

VectorKernels vectorKernels() {
#if BRINDLE_HAVE_AVX2_VECTOR_KERNELS
  if (base::cpuFeatures().avx2) return {avx2Dot, avx2AddScaled, avx2SubtractTwo};
#endif
  return {portableDot, portableAddScaled, portableSubtractTwo};
}

}  // namespace diagnostics

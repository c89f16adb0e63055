#include "peak_rate.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "base/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PEAK_X86 1
#else
#define PEAK_X86 0
#endif

namespace {

// Six multiply chains and six add chains: with a latency of 3 to 4 cycles and two pipes of
// each kind, six independent chains keep every pipe busy; 12 accumulators and the two operands
// fit in the 16 vector registers. The operands come from memory the compiler cannot see
// through, so no chain can be folded.
constexpr int chains = 6;

volatile float operands[2 + chains] = {1.0f, 1e-7f, 1.5f, 1.25f, 1.75f, 1.125f, 1.375f, 1.625f};

#if PEAK_X86
__attribute__((target("avx2"), noinline)) float avx2Chains(int64_t steps) {
  __m256 m[chains], a[chains];
  for (int j = 0; j < chains; ++j) {
    m[j] = _mm256_set1_ps(operands[2 + j]);
    a[j] = _mm256_set1_ps(-operands[2 + j]);
  }
  const __m256 factor = _mm256_set1_ps(operands[0]), step = _mm256_set1_ps(operands[1]);
  for (int64_t i = 0; i < steps; ++i) {
    for (int j = 0; j < chains; ++j) {
      m[j] = _mm256_mul_ps(m[j], factor);
      a[j] = _mm256_add_ps(a[j], step);
    }
  }
  __m256 sum = _mm256_setzero_ps();
  for (int j = 0; j < chains; ++j) sum = _mm256_add_ps(sum, _mm256_add_ps(m[j], a[j]));
  float lanes[8];
  _mm256_storeu_ps(lanes, sum);
  return lanes[0];
}

__attribute__((noinline)) float sseChains(int64_t steps) {
  __m128 m[chains], a[chains];
  for (int j = 0; j < chains; ++j) {
    m[j] = _mm_set1_ps(operands[2 + j]);
    a[j] = _mm_set1_ps(-operands[2 + j]);
  }
  const __m128 factor = _mm_set1_ps(operands[0]), step = _mm_set1_ps(operands[1]);
  for (int64_t i = 0; i < steps; ++i) {
    for (int j = 0; j < chains; ++j) {
      m[j] = _mm_mul_ps(m[j], factor);
      a[j] = _mm_add_ps(a[j], step);
    }
  }
  __m128 sum = _mm_setzero_ps();
  for (int j = 0; j < chains; ++j) sum = _mm_add_ps(sum, _mm_add_ps(m[j], a[j]));
  return _mm_cvtss_f32(sum);
}

#endif

__attribute__((noinline)) float scalarChains(int64_t steps) {
  float m[chains], a[chains];
  for (int j = 0; j < chains; ++j) {
    m[j] = operands[2 + j];
    a[j] = -operands[2 + j];
  }
  const float factor = operands[0], step = operands[1];
  for (int64_t i = 0; i < steps; ++i) {
    for (int j = 0; j < chains; ++j) {
      m[j] = m[j] * factor;
      a[j] = a[j] + step;
    }
  }
  float sum = 0.0f;
  for (int j = 0; j < chains; ++j) sum = sum + m[j] + a[j];
  return sum;
}

volatile float sink;

}  // namespace

const char* peakRateUnit() {
#if PEAK_X86
  return base::processorHasAvx2() ? "avx2" : "sse";
#else
  return "scalar";
#endif
}

double peakMultiplyAddRate(double seconds) {
  float (*run)(int64_t) = scalarChains;
  int lanes = 1;
#if PEAK_X86
  run = base::processorHasAvx2() ? avx2Chains : sseChains;
  lanes = base::processorHasAvx2() ? 8 : 4;
#endif
  // Best of several short runs: the fastest shows the processor's rate, the others are
  // interrupted by whatever else runs on the machine.
  constexpr int64_t steps = 20'000'000;
  double best = 0.0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    const auto start = std::chrono::steady_clock::now();
    sink = run(steps);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best = std::max(best, static_cast<double>(steps) * 2.0 * chains * lanes / elapsed.count());
  } while (std::chrono::steady_clock::now() < end);
  return best;
}

#include "base/cpu_features.h"

#include <atomic>

#include "base/environment.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define BRINDLE_HAVE_AVX2 1
#else
#define BRINDLE_HAVE_AVX2 0
#endif

namespace base {

namespace {

// The features of the innermost live ScopedCpuFeatures; null when none lives.
std::atomic<const CpuFeatures*> scoped{nullptr};

}  // namespace

bool processorHasAvx2() {
#if BRINDLE_HAVE_AVX2
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
#else
  return false;
#endif
}

CpuFeatures cpuFeatures() {
  if (const CpuFeatures* chosen = scoped.load(std::memory_order_acquire)) return *chosen;
  static const CpuFeatures found{processorHasAvx2() &&
                                 !environmentSwitch("BRINDLE_PORTABLE_KERNELS")};
  return found;
}

ScopedCpuFeatures::ScopedCpuFeatures(CpuFeatures features)
    : features_{features.avx2 && processorHasAvx2()},
      previous_(scoped.exchange(&features_, std::memory_order_acq_rel)) {}

ScopedCpuFeatures::~ScopedCpuFeatures() { scoped.store(previous_, std::memory_order_release); }

}  // namespace base

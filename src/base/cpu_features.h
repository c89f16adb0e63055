#pragma once

// What the processor offers the fast kernels (the correlations, the diagnostics, the reading of
// data lines), found out once for the whole process. Every kernel gives the same bits whichever
// is chosen; the choice only changes the speed.
namespace base {

struct CpuFeatures {
  bool avx2 = false;  // the AVX2 kernels may run
};

// True when this build has AVX2 kernels (GCC or Clang for x86) and the processor can run them,
// whatever is asked for.
bool processorHasAvx2();

// The features the kernels use: AVX2 when processorHasAvx2() and the environment variable
// BRINDLE_PORTABLE_KERNELS is not switched on (base/environment.h), both found out at the first
// call and kept for the process; while a ScopedCpuFeatures lives, its features instead. Never
// throws; safe to call from any thread.
CpuFeatures cpuFeatures();

// Makes cpuFeatures() give `features` for its lifetime, less what the processor lacks (so that no
// test runs AVX2 code on a processor without it), then gives back the previous choice. For tests
// and benchmarks: make and end it while no step runs.
class ScopedCpuFeatures {
 public:
  explicit ScopedCpuFeatures(CpuFeatures features);
  ~ScopedCpuFeatures();
  ScopedCpuFeatures(const ScopedCpuFeatures&) = delete;
  ScopedCpuFeatures& operator=(const ScopedCpuFeatures&) = delete;

 private:
  CpuFeatures features_;
  const CpuFeatures* previous_;
};

}  // namespace base

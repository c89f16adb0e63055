#pragma once

#include <cstddef>

// The inner loops of the factorisations behind the variance inflation factors and the condition
// number, on rows of doubles. Each is a fixed sequence of operations, the same in the portable
// and the AVX2 version (no fused multiply-add), so results never depend on the processor. The
// AVX2 versions run when the correlation report's kernels do (see blockKernel).
namespace diagnostics {

// Four sums side by side, element i into sum i % 4, then (s0 + s1) + (s2 + s3): a * b summed.
using DotKernel = double (*)(const double* a, const double* b, std::size_t n);

// y[j] = y[j] + s * x[j] for j < n.
using AddScaledKernel = void (*)(double* y, double s, const double* x, std::size_t n);

// y[j] = y[j] - (s * x[j] + t * z[j]) for j < n.
using SubtractTwoKernel = void (*)(double* y, double s, const double* x, double t, const double* z,
                                   std::size_t n);

struct VectorKernels {
  DotKernel dot;
  AddScaledKernel addScaled;
  SubtractTwoKernel subtractTwo;
};

// The versions for this processor: AVX2 when base::cpuFeatures() allows it, as for the
// correlations' kernels.
VectorKernels vectorKernels();

}  // namespace diagnostics

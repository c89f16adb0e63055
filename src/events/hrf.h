#pragma once

#include <optional>
#include <string_view>
#include <vector>

// The haemodynamic response that turns events into predicted signal: a difference of two gamma
// densities, h(t) = g(t; a1, b1) - c g(t; a2, b2), with g(t; a, b) = t^(a-1) e^(-t/b) /
// (Gamma(a) b^a) for t > 0 and 0 otherwise.
namespace events {

// The two shapes on offer:
//   spm     a1 = 6, b1 = 1, a2 = 16, b2 = 1, c = 1/6 (peak near 5 s, undershoot near 15 s)
//   glover  a1 = 6/0.9, b1 = 0.9, a2 = 12/0.9, b2 = 0.9, c = 0.35
enum class HrfModel { spm, glover };

// The model called `name` ("spm" or "glover", exactly); nothing for any other name.
std::optional<HrfModel> hrfModelNamed(std::string_view name);

// h(t) of `model` at `t` seconds.
double hrfValue(HrfModel model, double t);

// Seconds of response a kernel covers: kernels hold h(k dt) for k = 0 .. floor(32 / dt).
inline constexpr double hrfSpan = 32.0;

// The kernel for grid step `dt` seconds (> 0): H[k] = h(k dt) for k = 0 .. floor(hrfSpan / dt),
// divided by its sum, so that a long event reaches a plateau of its amplitude.
std::vector<double> hrfKernel(HrfModel model, double dt);

// The kernel of the time derivative for grid step `dt`: (H - H') / 0.1, H' made as H from
// h(t - 0.1) and divided by its own sum; it sums to about 0.
std::vector<double> hrfDerivativeKernel(HrfModel model, double dt);

}  // namespace events

#pragma once

#include <cstddef>

#include "correlation/correlation.h"

// The inner loops of the correlation report, on predictors laid out data point by data point in
// panels of `panelLanes` predictors: panel value t * panelLanes + l is data point t of the
// panel's predictor l. Every lane keeps its own sums in data-point order and every product is
// rounded to float before it is added (no fused multiply-add), so each lane gets the bits of the
// plain one-predictor loops. An AVX2 version is chosen at run time when the processor has it.
namespace correlation {

// Predictors per panel, and rows of one block: a block pairs blockRows predictors of one panel
// with all panelLanes predictors of another.
inline constexpr std::size_t panelLanes = 16;
inline constexpr std::size_t blockRows = 4;

// Adds rows[t * panelLanes + r] * partners[t * panelLanes + l] to acc[r * accStride + l] for
// t = 0 ... count - 1 in that order, for r < blockRows and l < panelLanes.
using BlockKernel = void (*)(const float* rows, const float* partners, std::size_t count,
                             float* acc, std::size_t accStride);

// The sums of the statistics, one per lane, over a piece of `count` data points of one panel:
// sums[l] += panel[t * panelLanes + l] for t = 0 ... count - 1 in that order. Fed a panel of the
// values this gives the sums of the means; fed the values less their means, with `squares`, the
// sums of squared deviations: the bits predictorStats gives when the pieces come in order.
using PanelSumsKernel = void (*)(const float* panel, std::size_t count, float* sums);
// squares[l] += panel[t * panelLanes + l] * panel[t * panelLanes + l], each product rounded.
using PanelSquaresKernel = void (*)(const float* panel, std::size_t count, float* squares);

// The kernels in use: AVX2 when base::cpuFeatures() allows it (base/cpu_features.h), else the
// portable ones.
BlockKernel blockKernel();
PanelSumsKernel panelSumsKernel();
PanelSquaresKernel panelSquaresKernel();

// "avx2" or "portable": the kernels these functions now return.
const char* activeKernelName();

}  // namespace correlation

#pragma once

#include <span>
#include <string>
#include <vector>

#include "diagnostics/contrast_weights.h"
#include "diagnostics/design_diagnostics.h"

// How well a design can answer the questions the researcher will ask of it. For the design as
// it will be fitted, with a constant (its own or one assumed, as the variance inflation factors
// assume), Xc holds the predictors of interest and the confounds centred about their means and
// G = Xc'Xc, all in double precision. A t contrast c has the variance factor v = c G^+ c' and
// the efficiency 1 / v; an F contrast the sum of its rows' factors, trace(C G^+ C'), and
// 1 / trace, the A-optimal efficiency. The confound cost is v / v0, v0 the same without the
// confounds: 1 means they cost the contrast nothing, 2 that it needs twice the data for the
// same precision.

namespace diagnostics {

// One contrast as the design can estimate it, or why it cannot.
struct ContrastEstimate {
  ContrastWeights contrast;
  // True when every row lies in the row space of Xc, to within the tolerance that decides the
  // listed dependencies (see VarianceInflation): the cosine of its scaled weights with every
  // direction the design cannot tell apart at most sqrt(1 / maxVarianceInflation).
  bool estimable = false;
  double variance = 0.0;      // v or the trace; NaN when not estimable
  double efficiency = 0.0;    // 1 / variance; NaN when not estimable
  double confoundCost = 0.0;  // NaN when not estimable or when the contrast weights a confound
  // Why the contrast cannot be estimated, in words: "houses has no events" (a flat predictor of
  // interest), "trans_x is flat" (a flat confound), "faces, houses and objects depend on each
  // other" (the listed dependency it weights); empty when estimable.
  std::string reason;
};

// The estimates of `contrasts` (whose predictor indices must lie below K) on `design`, in order.
// Above maxDiagnosedPredictors predictors nothing is computed: every estimate says so in its
// reason. Throws std::invalid_argument when names, roles or weights do not fit the columns or
// the columns differ in length. Time: one pass over the values, about K^3 for the
// factorisations (on up to threadCount() threads, the same bits for every count), then the
// contrasts' weights times K; memory about four K x K tables of doubles. Nothing when
// `contrasts` is empty.
std::vector<ContrastEstimate> estimateContrasts(const ContrastDesign& design,
                                                std::span<const ContrastWeights> contrasts);

// The same estimates, bit for bit, for a design whose diagnostics `diagnosed` (diagnoseDesign of
// the same matrix, with the same roles) found the factors and dependencies: they are taken from
// it rather than computed again, which spares about a third of the time. Diagnostics that were
// not computed are computed as above.
std::vector<ContrastEstimate> estimateContrasts(const ContrastDesign& design,
                                                std::span<const ContrastWeights> contrasts,
                                                const DesignDiagnostics& diagnosed);

}  // namespace diagnostics

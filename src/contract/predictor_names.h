#pragma once

// The names the plug-in gives the predictors it makes, which brindle-bids foresees when it checks
// a contrast or a model before any run (the modulated ones: contract/modulators.h).
namespace contract {

// The one condition of an events file without a "trial_type" column.
inline constexpr char defaultCondition[] = "trial";

// What follows a condition's name in the name of its time derivative: "faces_derivative".
inline constexpr char derivativeSuffix[] = "_derivative";

// The constant predictor a merge adds.
inline constexpr char constantName[] = "Constant";

}  // namespace contract

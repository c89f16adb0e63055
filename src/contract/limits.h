#pragma once

#include <cstdint>

// The numbers the plug-in, Tormel and brindle-bids share: the range of a design's repetition
// time and volumes and the default correlation threshold (the limits of the marks are in
// contract/marks.h).
namespace contract {

// The repetition time of a design, in seconds, both ends included.
inline constexpr double minRepetitionTime = 0.001;
inline constexpr double maxRepetitionTime = 100.0;

// The volumes of a design: at least one, at most as many as an SDM file holds values.
inline constexpr int64_t maxVolumes = int64_t{1} << 28;

// The cut-off of a design's cosine drifts, in seconds (0: no drifts), and the one brindle-bids
// gives a design that has no confounds table to take its drifts from.
inline constexpr double maxHighPass = 86400.0;
inline constexpr double defaultHighPass = 128.0;

// The correlation from which brindle-bids flags a pair when it is not told otherwise.
inline constexpr char defaultThreshold[] = "0.8";

}  // namespace contract

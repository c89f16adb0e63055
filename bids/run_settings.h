#pragma once

#include <string>
#include <vector>

#include "run_plan.h"

// The record of how a run's design was made, which the run's summary keeps as "settings"
// (docs/summary-json.md): brindle-bids hands it to the plug-in as the dialog parameter
// "provenance", and reads it back at the group level.
namespace bids {

struct ParticipantOptions;

// The settings of `plan` as one JSON object on one line, ASCII only (characters beyond it as
// \uXXXX escapes, a byte that is not UTF-8 as U+FFFD), members named by contract::settings:
// RepetitionTime and its source, SliceTimingReference and its source, HRF, ConditionColumn,
// Conditions, ConfoundTerms (null for a design only), HighPassCutoff (null unless design only),
// Events, Confounds (null for a design only) and Image relative to their datasets, DesignOnly,
// BrindleVersion, and Commands: `commands`, each as the Tormel program's path and its arguments.
std::string runSettings(const ParticipantOptions& options, const RunPlan& plan,
                        const std::vector<std::vector<std::string>>& commands);

}  // namespace bids

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "stats_model.h"

// What a BIDS Stats Model asks of each run's design, in the settings of Tormel's tasks: the
// conditions, the parametric modulators, the confound terms, the HRF, the constant and the
// contrasts by the predictors' names.
namespace bids {

struct KnownNames;

struct ModelSettings {
  std::string conditions;  // terms ("faces,houses"); empty: every condition
  std::string modulators;  // terms ("rt:demean")
  std::string confounds;   // terms ("trans_*,rot_*"); empty: none
  std::string hrf = "spm";
  bool derivatives = false;
  bool constant = false;
  std::vector<std::string> contrasts;          // definitions, as Tormel's --contrast takes them
  std::optional<double> highPassSeconds = {};  // the cut-off period of the drifts removed
};

// The settings of `model` for runs whose files hold `known`. A variable of X is a condition when
// it is written "trial_type.NAME" or names a condition, a modulator when it names another events
// column, else a confound term (a column name with * wildcards, or a Brindle preset). Conditions
// and modulators must be convolved, with one HRF for all; confounds must not be. DummyContrasts
// give a t contrast of weight 1 per variable named (every condition and modulator of X, and
// their derivatives, when it names none), named as the variable. Throws ModelError for what
// does not fit: a contrast naming the constant or a variable that makes several predictors.
ModelSettings modelSettings(const StatsModel& model, const KnownNames& known);

// The model a run-level analysis makes by default: every condition of `known` (trial_type.NAME),
// the confound terms `confounds`, the constant, convolved with `hrf` (and time derivatives when
// `derivatives`), and a t contrast per condition.
StatsModel defaultStatsModel(const KnownNames& known, const std::string& confounds,
                             const std::string& hrf, bool derivatives);

}  // namespace bids

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/notice.h"
#include "contract/modulators.h"
#include "events/hrf.h"
#include "sdm/design_matrix.h"

// Task predictors from a BIDS events file (events/events_file.h): one predictor per modelled
// condition, its events convolved with a haemodynamic response and sampled at every volume
// (events/regressor.h), computed in double and stored as float; with time derivatives, each
// followed by its "_derivative"; then, per modulator, the condition's modulated events
// ("faces_x_rt", events/modulators.h), likewise with its derivative. The conditions modelled are
// the file's, in byte order, or exactly those of the model's list, in its order (one the file lacks
// is all 0, so that every run of a task has the same columns), of which the condition terms keep
// those they match. The matrix holds predictors of interest only (of kind `interest`): no constant
// (IncludesConstant 0, FirstConfoundPredictor the number of predictors + 1), FileVersion 3, every
// header entry present, colours from conditionColour.
//
// Warnings, in this order: the events file's (events/events_file.h); "no condition matches
// \"TERM\"" for each term that keeps none; "condition NAME has no event in the run" (its
// predictor is all 0), and "NAME_x_COLUMN has no event in the run" for a modulator with no number
// among them; "N event(s) end more than 24 s before the run starts: left out" (events
// that end later count: the grid reaches back 24 s, events/event_grid.h); "events run past the
// last volume (T s after the run's end at E s)" when a modelled event ends after n x TR.
// IOError "Cannot model the events of " + path + " (" + reason + ")" refuses a TR, n or s outside
// its bounds, a file without events, terms that keep no condition, a condition listed twice, a
// condition named NAME_derivative beside NAME with time derivatives, more predictors or values
// than an SDM file holds, and a predictor with a value beyond the range of a float ("line 3:
// modulation 1e+39 takes predictor go beyond the range of a float at volume 2", the line of the
// condition's event of the largest modulation).
namespace events {

// How the events of a run become predictors.
struct TaskModel {
  double repetitionTime = 0.0;  // TR in seconds, within contract/limits.h's bounds
  int64_t volumes = 0;          // n, from 1 to the SDM reader's data-point limit
  HrfModel hrf = HrfModel::spm;
  bool timeDerivatives = false;  // add each condition's time derivative right after it
  double sliceReference = 0.0;   // s: when in its TR a volume is taken, 0 to 1 of the TR
  std::string conditionTerms;    // conditions to keep (events/condition_terms.h); all if blank
  std::string conditionColumn;   // the events column naming the conditions; "": trial_type
  std::vector<std::string> conditionList;       // not empty: the conditions modelled, in this order
  std::vector<contract::Modulator> modulators;  // events columns weighting every kept condition
};

// A design made from an events file, and the warnings about it.
struct TaskDesign {
  sdm::DesignMatrix matrix;
  std::vector<base::Notice> notices;
  std::vector<base::SkippedLines> skipped;  // the events file's rows skipped, by reason
  // Per predictor of `matrix`, in order: the onsets (seconds) of the events it models.
  std::vector<std::vector<double>> onsets = {};
};

// The SDM path for an events file: "_events.tsv" at the end of `eventsPath` becomes
// "_design.sdm"; any other name gets ".sdm" in place of its extension (or appended).
std::string designPathOf(const std::string& eventsPath);

// The design of the events file at `eventsPath` under `model`, its `fileName` from
// designPathOf, with its warnings; throws as described above and as readEventsFile throws.
TaskDesign taskDesign(const std::string& eventsPath, const TaskModel& model);

}  // namespace events

#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "contract/limits.h"
#include "dataset.h"
#include "stats_model.h"

// The participant level: one design per run, made by Tormel's "design" task and checked by its
// "mergeall" task with the run's confounds, each run on its own; without derivatives (or with
// designOnly) the design task alone makes each run's design, with cosine drifts, and checks it.
namespace bids {

struct ParticipantOptions {
  std::filesystem::path dataset;      // absolute
  std::filesystem::path output;       // absolute
  std::filesystem::path derivatives;  // absolute: the preprocessed data (fMRIPrep's layout)
  RunFilter filter;
  std::string confounds = "motion24,wm_csf,cosine,scrub";
  std::optional<double> sliceTimeRef;  // none: StartTime / TR, else 0
  std::string hrf = "spm";
  bool timeDerivatives = false;
  std::string modulators;       // events columns weighting every condition
  std::string conditions;       // empty: every condition
  std::string conditionColumn;  // empty: trial_type, the plug-in's default
  bool designOnly = false;      // no confounds for any run, as when there are no derivatives
  double highPass = contract::defaultHighPass;  // the cosine drifts' cut-off of a design only
  // (a model's HighPassFilterCutoffHz sets it)
  std::string warn = contract::defaultThreshold;  // as given: the plug-in reads the text
  bool constant = true;                           // the result has a constant predictor
  std::vector<std::string> contrasts;             // definitions; none: the plug-in's own
  // The limits of the mark, each as Tormel's option and its text as given.
  std::vector<std::pair<std::string, std::string>> markLimits;
  // The model the runs' designs are made by (--model FILE), or the default one (--model default),
  // settled once the runs' files are known: it sets the conditions, modulators, confounds, HRF,
  // constant and contrasts above.
  std::optional<StatsModel> model;
  bool defaultModel = false;
  unsigned jobs = 1;
  double timeout = 600;  // seconds a Tormel child may run
  std::filesystem::path tormel;
};

// A participant label or task that names nothing in the dataset, a contrast that names no
// predictor the runs can have, or a model that does not fit them (exit status 64); the text says
// which, and what there is.
class FilterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// OUTPUT/dataset_description.json, LF line ends.
std::string datasetDescription();

// Every run of the dataset that has events, `options.jobs` at a time; the runs without events
// (per task), the folders that cannot be read, a model's note, progress and the failed runs go to
// `log`. Returns the exit status: 0 when every run succeeded, 1 otherwise. Throws FilterError
// before any work, also for a model or a contrast that fits none of the runs.
int runParticipant(const ParticipantOptions& options, std::ostream& log);

}  // namespace bids

#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>

#include "contract/limits.h"
#include "dataset.h"

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
  std::string conditions;       // empty: every condition
  std::string conditionColumn;  // empty: trial_type, the plug-in's default
  bool designOnly = false;      // no confounds for any run, as when there are no derivatives
  double highPass = contract::defaultHighPass;    // the cosine drifts' cut-off of a design only
  std::string warn = contract::defaultThreshold;  // as given: the plug-in reads the text
  unsigned jobs = 1;
  double timeout = 600;  // seconds a Tormel child may run
  std::filesystem::path tormel;
};

// A participant label or task that names nothing in the dataset (exit status 64); the text
// lists those there are.
class FilterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// OUTPUT/dataset_description.json, LF line ends.
std::string datasetDescription();

// Every run of the dataset that has events, `options.jobs` at a time; the runs without events
// (per task), the folders that cannot be read, progress and the failed runs go to `log`. Returns
// the exit status: 0 when every run succeeded, 1 otherwise. Throws FilterError before any work.
int runParticipant(const ParticipantOptions& options, std::ostream& log);

}  // namespace bids

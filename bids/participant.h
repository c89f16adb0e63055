#pragma once

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "dataset.h"

// The participant level: one design per run, made by Tormel's "design" task and merged with the
// run's confounds by its "mergeall" task, each run on its own.
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
  std::string conditions;  // empty: every condition
  std::string warn = "0.8";
  unsigned jobs = 1;
  std::filesystem::path tormel;
};

// What the lookups found for one run, and where its files go.
struct RunPlan {
  double repetitionTime = 0;
  std::size_t volumes = 0;
  double sliceTimeRef = 0;
  std::filesystem::path confounds;
  std::filesystem::path outputFolder;  // OUTPUT/sub-01/[ses-1/]func
  std::string designFile;              // the task predictors alone (desc-events)
  std::string resultFile;              // the merged design (desc-brindle)
};

// The name of one of the run's outputs: the events file's entities (any "desc" dropped), then
// desc-`desc`, then "_" + `suffixAndExtension` ("design.sdm").
std::string outputName(const Run& run, const std::string& desc,
                       const std::string& suffixAndExtension);

// The lookups for `run`; throws RunError when one fails.
RunPlan planRun(const ParticipantOptions& options, const Run& run);

// Tormel's command lines, run in plan.outputFolder.
std::vector<std::string> designArguments(const ParticipantOptions& options, const Run& run,
                                         const RunPlan& plan);
std::vector<std::string> mergeArguments(const ParticipantOptions& options, const RunPlan& plan);

// OUTPUT/dataset_description.json, LF line ends.
std::string datasetDescription();

// Every run of the dataset, `options.jobs` at a time; progress and the list of failed runs go to
// `log`. Returns the exit status: 0 when every run succeeded, 1 otherwise.
int runParticipant(const ParticipantOptions& options, std::ostream& log);

}  // namespace bids

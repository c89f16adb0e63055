#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dataset.h"
#include "sidecars.h"
#include "task_conditions.h"

// What brindle-bids works out for one run before starting Tormel: its events, timing, volumes,
// confounds and the names of its outputs.
namespace bids {

struct ParticipantOptions;

struct RunPlan {
  Run run;
  std::optional<std::filesystem::path> events;  // none: the run has no events (skipped)
  double repetitionTime = 0;
  std::string repetitionTimeSource;  // the sidecar, relative to the dataset, or "image header"
  std::size_t volumes = 0;           // 0: the confounds table gives them
  double sliceTimeRef = 0;
  // "--slice-time-ref", the derivatives' sidecar that gave StartTime (relative to them), "default"
  std::string sliceTimeRefSource;
  std::vector<std::string> conditions;  // the task's conditions, which every run of it models
  bool designOnly = false;  // no confounds: the design gets cosine drifts and is checked alone
  std::optional<std::filesystem::path> confounds;  // the table; none when design only
  std::filesystem::path outputFolder;              // OUTPUT/sub-01/[ses-1/]func
  std::string prefix;                 // the image's entities in BIDS order, its "desc" dropped
  std::vector<std::string> warnings;  // brindle-bids' own, shown under the run's line
  std::string error;                  // not empty: the run fails with this text
  bool sharesOutputs = false;         // another run's outputs have the same names: neither writes

  // `prefix`_desc-`desc`_`suffixAndExtension`: "..._desc-brindle_design.sdm".
  std::string outputName(const std::string& desc, const std::string& suffixAndExtension) const;
  std::string designFile() const { return outputName("events", "design.sdm"); }
  std::string resultFile() const { return outputName("brindle", "design.sdm"); }
};

// The dataset and the derivatives as the plans of all runs read them: each file once.
struct PlanSources {
  const ParticipantOptions& options;
  const Dataset& dataset;
  SidecarCache sidecars;
  Derivatives derivatives;
  TaskConditions conditions;
  bool designOnly = false;  // --design-only, or no derivatives folder: no run has confounds
};

// The plan of `run`. A lookup that fails sets `error` (the events stay known when found); with
// derivatives, a run without a confounds table fails "no confounds file ...".
RunPlan planRun(PlanSources& sources, const Run& run);

// Gives every plan whose outputs would be those of another plan the error naming the other's
// image, so that neither writes.
void refuseSharedOutputs(std::vector<RunPlan>& plans);

// Tormel's command lines for the plan, run in its output folder: the design, then the merge
// with the confounds (none for a design only, whose design is the run's result, with the cosine
// drifts of options.highPass and the constant).
std::vector<std::string> designArguments(const ParticipantOptions& options, const RunPlan& plan);
std::vector<std::string> checkArguments(const ParticipantOptions& options, const RunPlan& plan);

// The commands of the run in order (those of designArguments and checkArguments that are not
// empty), the last, which writes the run's summary, given "--provenance" and runSettings.
std::vector<std::vector<std::string>> tormelCommands(const ParticipantOptions& options,
                                                     const RunPlan& plan);

}  // namespace bids

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small synthetic BIDS dataset with fMRIPrep-like derivatives, for the tests and the README of
// brindle-bids: two subjects (the second with two sessions), two runs each of the task "faces",
// each run's image (*_bold.nii.gz: a NIfTI-1 header giving its volumes and repetition time over
// one voxel per volume), events with two conditions, a modulation column and one "n/a" row. The
// repetition time comes from a task-level sidecar at the root, one run overrides it; a
// session-level sidecar without it must be passed over. In one run each houses event follows a
// faces event by half a second: two predictors that a design cannot tell apart well. Under
// derivatives/fmriprep every run has a confounds table with a row per volume (one under the older
// name *_desc-confounds_regressors.tsv); some runs have a preprocessed BOLD sidecar with
// "StartTime". Without the derivatives folder it is a dataset before preprocessing. Every text file
// ends its lines with LF. The same seed gives the same files.
namespace tools {

struct BidsRunShape {
  std::string folder;     // "sub-02/ses-1/func"
  std::string prefix;     // "sub-02_ses-1_task-faces_run-1"
  double repetitionTime;  // seconds
  int volumes;            // rows of the confounds table, volumes of the image
  const char* confounds;  // "timeseries", "regressors" or nullptr (no table)
  double startTime;       // < 0: no preprocessed BOLD sidecar
  bool runLevelSidecar;   // a run-level *_bold.json overriding the repetition time
  bool paired = false;    // each houses event half a second after a faces event
};

// The runs sdmgen --bids writes, in byte order of their folders and names.
std::vector<BidsRunShape> bidsRunShapes();

// The events table of one run: onset, duration, trial_type (faces, houses), modulation.
std::string bidsEventsText(const BidsRunShape& run, uint64_t seed);

// Writes the dataset into `folder` (made when missing; files standing there are replaced).
// Throws std::runtime_error when a file cannot be written.
void writeBidsDataset(const std::string& folder, uint64_t seed);

}  // namespace tools

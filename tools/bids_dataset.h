#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A small synthetic BIDS dataset with fMRIPrep-like derivatives, for the tests and the README of
// brindle-bids: three subjects (the second with two sessions), two runs each of the task "faces"
// (one for the third), each run's image (*_bold.nii.gz: a NIfTI-1 header giving its volumes and
// repetition time over one voxel per volume), events with two conditions, a modulation column
// and one "n/a" row. The repetition time comes from a task-level sidecar at the root, one run
// overrides it; a session-level sidecar without it must be passed over. In one short run each
// houses event follows a faces event by half a second: two predictors that a design cannot tell
// apart well; in the third subject's run each houses event is a faces event again, so that no
// design can tell them apart at all. Under derivatives/fmriprep every run has a confounds table
// with a row per volume (one under the older name *_desc-confounds_regressors.tsv); some runs
// have a preprocessed BOLD sidecar with "StartTime". Without the derivatives folder it is a
// dataset before preprocessing. Every text file ends its lines with LF. The same seed gives the
// same files.
namespace tools {

// How a run's houses events follow its faces events.
enum class Pairing {
  none,             // each on its own
  halfSecondLater,  // each half a second after a faces event, with its duration and modulation
  identical,        // each at a faces event, with its duration and modulation
};

struct BidsRunShape {
  std::string folder;     // "sub-02/ses-1/func"
  std::string prefix;     // "sub-02_ses-1_task-faces_run-1"
  double repetitionTime;  // seconds
  int volumes;            // rows of the confounds table, volumes of the image
  const char* confounds;  // "timeseries", "regressors" or nullptr (no table)
  double startTime;       // < 0: no preprocessed BOLD sidecar
  bool runLevelSidecar;   // a run-level *_bold.json overriding the repetition time
  Pairing pairing = Pairing::none;
};

// The runs sdmgen --bids writes, in byte order of their folders and names.
std::vector<BidsRunShape> bidsRunShapes();

// The events table of one run: onset, duration, trial_type (faces, houses), modulation.
std::string bidsEventsText(const BidsRunShape& run, uint64_t seed);

// How much writeBidsDataset wrote.
struct BidsDatasetSize {
  std::size_t runs = 0;
  std::size_t subjects = 0;
};

// Writes the dataset into `folder` (made when missing; files standing there are replaced) and
// returns its size. Throws std::runtime_error when a file cannot be written.
BidsDatasetSize writeBidsDataset(const std::string& folder, uint64_t seed);

}  // namespace tools

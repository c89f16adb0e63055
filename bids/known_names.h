#pragma once

#include <set>
#include <string>
#include <vector>

// The names the designs of the selected runs can have, from their events files and confounds
// tables, so that a contrast or a model that cannot fit any of them is refused before a run
// starts (exit status 64), rather than failing every run alike.
namespace bids {

struct ParticipantOptions;
struct RunPlan;

struct KnownNames {
  std::set<std::string> conditions;       // the conditions of the runs' events files
  std::set<std::string> eventColumns;     // their other columns: onset, duration, trial_type out
  std::set<std::string> confoundColumns;  // the columns of the runs' confounds tables
};

// The names of the files of `plans`; a file that cannot be read is passed over (its run fails on
// its own). A file without a trial_type column has the one condition "trial".
KnownNames knownNames(const std::vector<RunPlan>& plans);

// True when a design of these runs, made as `options` say, can have the predictor `name`: a
// condition the conditions' terms keep, its "_derivative" (with time derivatives), its
// modulated predictor "CONDITION_x_COLUMN" (with modulators), a confound column, or a spike
// regressor "scrub_" and digits.
bool designCanName(const KnownNames& known, const ParticipantOptions& options,
                   const std::string& name);

// Refuses (FilterError) a contrast of `options` that names the constant or a predictor no design
// of these runs can have, saying which conditions there are.
void checkContrastNames(const KnownNames& known, const ParticipantOptions& options);

}  // namespace bids

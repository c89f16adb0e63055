#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/confound_terms.h"
#include "sdm/design_matrix.h"

// Scrubbing: one spike regressor (1 at its volume, 0 elsewhere) for each volume of high motion,
// as the confound term "scrub" or "scrub:FD:DVARS" asks.
namespace confounds {

// The thresholds of a scrub term (contract::scrubThresholds reads "scrub:FD:DVARS").
using ScrubTerm = contract::ScrubThresholds;

struct Scrubbing {
  std::vector<std::string> names;  // "scrub_" + the 0-based volume in four digits or more
  std::vector<std::vector<float>> regressors;
  // What was flagged and why, for the log: "scrub: 3 volume(s) flagged (2 by
  // framewise_displacement > 0.5, 1 by std_dvars > 1.5, 1 by non_steady_state_outlier*)".
  std::string note;
};

// The spike regressors of `table` (a confound table as read): a volume is flagged when its
// framewise_displacement exceeds term.displacement, its std_dvars exceeds term.dvars, or a
// non_steady_state_outlier* column is not 0 there. Columns the table lacks flag nothing; the
// first row's "n/a" (read as 0) never flags.
Scrubbing scrubRegressors(const sdm::DesignMatrix& table, const ScrubTerm& term);

}  // namespace confounds

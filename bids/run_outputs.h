#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "run_plan.h"

// The files brindle-bids leaves for one run in its output folder: the outputs of a success, or
// the failure record of a failure, never both.
namespace bids {

// The names (no folder) of every file a success writes for the run: the task design and the
// design with its correlation report, heatmap, design picture and summary.
std::vector<std::string> runOutputNames(const RunPlan& plan);

// `prefix`_desc-brindle_failure.json, the record of the run's last failure.
std::string failureRecordName(const RunPlan& plan);

// The failure record: LF line ends, 2-space JSON {"version": 1, "run", "bold", "events" (null
// when unknown), "error"}, the paths relative to `dataset`.
std::string failureRecord(const RunPlan& plan, const std::filesystem::path& dataset,
                          const std::string& error);

// After a failure: removes the outputs an earlier success left (runOutputNames only) and writes
// the failure record. Throws std::runtime_error when the record cannot be written.
void recordFailure(const RunPlan& plan, const std::filesystem::path& dataset,
                   const std::string& error);

// After a success: removes the failure record an earlier failure left, and the task design when
// this success wrote none.
void clearFailure(const RunPlan& plan);

}  // namespace bids

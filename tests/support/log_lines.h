#pragma once

#include <string>

// The plug-in's fixed log lines, as the host's log receives them (one call each).
namespace log_lines {

inline constexpr const char* running = "\nBrindle>  Running...";
inline constexpr const char* finished = "\nBrindle>  Plugin finished!\n";
inline constexpr const char* startMergeAll =
    "\nBrindle>  Start merging process of primary with every secondary sdm";
inline constexpr const char* startMergeSec =
    "\nBrindle>  Start merging process of all secondary sdms";
inline constexpr const char* versionRefusal =
    "Can not execute this plugin - Tormel version 2.8 or higher required.";

// The warning about a design of `predictors` predictors over `dataPoints` data points, no more
// data points than predictors, saved or reported as `name`.
inline std::string notEstimable(const std::string& name, int predictors, int dataPoints) {
  return "\nBrindle>  Warning: " + name + ": " + std::to_string(predictors) + " predictors for " +
         std::to_string(dataPoints) + " data points: the design cannot be estimated";
}

}  // namespace log_lines

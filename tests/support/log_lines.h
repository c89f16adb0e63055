#pragma once

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

}  // namespace log_lines

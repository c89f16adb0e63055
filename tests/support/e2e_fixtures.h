#pragma once

#include <string>

#include "support/log_lines.h"
#include "support/temp_dir.h"

// What the end-to-end tests share: the lines around the log that Tormel prints on standard
// output, and the small SDM files that more than one of them runs on.
namespace e2e_fixtures {

// Tormel's standard output is the plug-in's log as it came, then one line end of its own.
inline const std::string running = log_lines::running;
inline const std::string finished = std::string(log_lines::finished) + "\n";
inline const std::string startAll = running + log_lines::startMergeAll;
inline const std::string startSec = running + log_lines::startMergeSec;

// A and B move together (B = 2A + 1, r = 1), C against them (r = -0.83 with both), the constant
// last: four predictors over four data points, in the writer's layout.
inline const std::string collinearSdm = testing_support::crlf(
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         4\n"
    "NrOfDataPoints:         4\n"
    "IncludesConstant:       1\n"
    "FirstConfoundPredictor: 3\n"
    "\n"
    "1 1 1   2 2 2   3 3 3   255 255 255\n"
    "\"A\" \"B\" \"C\" \"Constant\"\n"
    "  0.000000   1.000000   0.500000   1.000000\n"
    "  1.000000   3.000000   0.000000   1.000000\n"
    "  2.000000   5.000000   0.250000   1.000000\n"
    "  3.000000   7.000000  -0.500000   1.000000\n");

}  // namespace e2e_fixtures

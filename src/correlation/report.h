#pragma once

#include <string>

// The correlation report's file name for a design matrix whose file name is `fileName`: the
// text before its last "." (anywhere in the path), or the whole text, followed by ".csv".
std::string correlationReportPath(const std::string& fileName);

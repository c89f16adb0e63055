#pragma once

#include <string>

// The correlation report's path for a design matrix whose file name is `fileName`: the file
// name's extension replaced by ".csv" (see reportPath in sdm/paths.h), in `folder` when that
// is not empty.
std::string correlationReportPath(const std::string& fileName, const std::string& folder = {});

#pragma once

#include <string>

// Path functions on plain text; both "/" and "\" separate folders.

// The text after the last "/" or "\"; the whole path when it has neither.
std::string baseName(const std::string& path);

// The text before the last "." anywhere in `text`; the whole text when it has none.
std::string stripExtension(const std::string& text);

// `path` with `suffix` inserted right before its last "."; appended when it has none.
std::string insertSuffix(const std::string& path, const std::string& suffix);

// The path of a report file (".csv", ".svg") of the SDM file at `sdmPath`: the SDM's path with
// the extension of its file name (the text after the last "." of the name, when the name has
// one) replaced by `extension`, or `extension` appended when the name has no ".". When `folder`
// is not empty, that file name in `folder` instead.
std::string reportPath(const std::string& sdmPath, const std::string& extension,
                       const std::string& folder = {});

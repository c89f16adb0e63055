#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The files brindle-bids writes itself (LF line ends) and the numbers in them.
namespace bids {

// Writes `bytes` to `file` through a temporary file beside it that then replaces it, so that a
// reader (or another brindle-bids writing the same bytes) never sees half a file
// (base/output_file.h). Throws std::runtime_error "Cannot Create file: " + file + " (" + reason
// + ")" or "Cannot write file: ..." when that fails.
void writeTextFile(const std::filesystem::path& file, std::string_view bytes);

// The shortest decimal text that reads back as `value` ("2", "0.45", "1e-05"): for command lines.
std::string shortestText(double value);

// `value` with `decimals` digits after the point ("5.47"); "inf" for infinity.
std::string fixedText(double value, int decimals);

}  // namespace bids

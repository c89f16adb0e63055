#include "text_files.h"

#include <charconv>
#include <stdexcept>
#include <system_error>

#include "base/number_text.h"
#include "base/output_file.h"

namespace fs = std::filesystem;

namespace bids {

void writeTextFile(const fs::path& file, std::string_view bytes) {
  base::OutputFile out(file.string());
  out.write(bytes);
  out.commit();
}

std::string shortestText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string fixedText(double value, int decimals) {
  std::string text;
  base::appendFixed(text, value, decimals);
  return text;
}

}  // namespace bids

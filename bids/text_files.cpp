#include "text_files.h"

#include <unistd.h>

#include <charconv>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "base/number_text.h"

namespace fs = std::filesystem;

namespace bids {

void writeTextFile(const fs::path& file, std::string_view bytes) {
  const fs::path temporary = file.parent_path() / ("." + file.filename().string() + "." +
                                                   std::to_string(getpid()) + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      throw std::runtime_error("cannot write " + file.string());
    }
  }
  std::error_code error;
  fs::rename(temporary, file, error);
  if (error) {
    fs::remove(temporary, error);
    throw std::runtime_error("cannot write " + file.string());
  }
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

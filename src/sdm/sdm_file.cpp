#include "sdm/sdm_file.h"

#include "sdm/io_error.h"

namespace sdm {

const SdmLayout& layoutOf(const DesignMatrix& matrix) {
  static const SdmLayout none;
  return matrix.layout ? *matrix.layout : none;
}

void checkUsableNames(const std::string& path, std::span<const std::string> names) {
  for (const std::string& name : names) {
    if (name.find_first_of("\"\r\n") == std::string::npos) continue;
    std::string shown;
    for (const char c : name) {
      shown += c == '"' ? "\\\"" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    throw IOError("Unusable predictor name in " + path + ": " + shown);
  }
}

}  // namespace sdm

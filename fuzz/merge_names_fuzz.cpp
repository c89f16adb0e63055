// libFuzzer target: two paths (split at the first NUL) through the merge's path functions.
// See checkPathFunctions for what must hold.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "path_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string problem =
      checkPathFunctions(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!problem.empty()) {
    std::fprintf(stderr, "Path property violated: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}

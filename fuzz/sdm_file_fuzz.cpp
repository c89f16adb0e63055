// libFuzzer target: any bytes as an SDM file. See checkSdmFile for what must hold.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_folder.h"
#include "sdm_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Both constant options get their share of inputs, decided by the input alone.
  const std::string problem = checkSdmFile(bytes, fuzzFolder(), size % 2 == 0);
  if (!problem.empty()) {
    std::fprintf(stderr, "SDM property violated: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}

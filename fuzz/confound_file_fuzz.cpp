// libFuzzer target: any bytes as a confound table. The first byte picks the kind of file (by
// its name) and the selection; the rest is the file. Loading may refuse the file with an
// IOError or a selection error, never otherwise; what it gives back must be a matrix the SDM
// writer can save and the reader read back with the same names.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "confounds/confound_input.h"
#include "fuzz_folder.h"
#include "sdm/design_matrix.h"
#include "sdm/io_error.h"
#include "sdm/sdm_file.h"

using namespace sdm;
using namespace confounds;

namespace {

[[noreturn]] void violated(const std::string& what) {
  std::fprintf(stderr, "Confound property violated: %s\n", what.c_str());
  std::abort();
}

void checkMatrix(const DesignMatrix& m) {
  for (const Predictor& column : m.predictors) {
    if (static_cast<int64_t>(column.values.size()) != m.nrOfDataPoints)
      violated("a column's length differs from the data points");
    if (column.name.find_first_of("\"\r\n") != std::string::npos)
      violated("a name the SDM cannot hold");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const names[] = {"run.tsv", "run.csv", "run.par", "rp_run.txt", "run.1D"};
  static const char* const selections[] = {"", "motion24,scrub", "*", "a*?,b", "cosine,outliers"};
  const std::string path = fuzzFolder() + "/" + names[data[0] % 5];
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  ConfoundInput input;
  try {
    input = loadConfounds(path, selections[(data[0] / 5) % 5], (data[0] & 0x80) != 0);
  } catch (const IOError&) {
    return 0;
  } catch (const std::runtime_error&) {
    return 0;  // a term that matches nothing, a malformed scrub term
  }
  checkMatrix(input.matrix);
  const std::string saved = fuzzFolder() + "/saved.sdm";
  try {
    saveSdm(input.matrix, saved);
  } catch (const std::runtime_error&) {
    return 0;  // beyond the SDM file's limits
  }
  if (namesOf(loadSdm(saved).predictors) != namesOf(input.matrix.predictors))
    violated("names change on saving");
  return 0;
}

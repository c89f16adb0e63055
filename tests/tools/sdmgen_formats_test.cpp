#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::readFile;
using testing_support::runProcess;

// The example confound files are exactly what build/sdmgen writes for them, so they can be
// made again after a change to the generator.
TEST(Sdmgen, WritesTheExampleConfoundFiles) {
  const std::string sdmgen = testing_support::buildDir() + "/sdmgen";
  const std::pair<const char*, const char*> examples[] = {
      {"sub01_run1_desc-confounds_timeseries.tsv", "tsv"},
      {"sub01_run1_mcf.par", "par"},
      {"rp_sub01_run1.txt", "rp"},
      {"sub01_run1_dfile.1D", "1d"},
  };
  testing_support::TempDir dir;
  for (const auto& [name, format] : examples) {
    const std::string out = dir.file(name);
    const auto result = runProcess(sdmgen, {out, "--format", format, "--seed", "11"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(out), readFile(testing_support::sourceDir() + "/examples/" + name)) << name;
  }
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{dir.file("x"), "--format", "xls"},
        std::vector<std::string>{dir.file("x"), "--format", "tsv", "--tr", "2,5"}}) {
    EXPECT_EQ(runProcess(sdmgen, bad).exitCode, 64) << bad[2] << " " << bad.back();
  }
}

}  // namespace

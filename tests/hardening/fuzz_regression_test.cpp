// Inputs the fuzz targets (fuzz/) failed on, replayed in the normal suite through the very
// checks the targets make. Each file in tests/hardening/cases/sdm/ is one SDM input, each in
// cases/names/ one pair of paths; the file name says what it once broke.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "path_properties.h"
#include "sdm_properties.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;

std::vector<std::filesystem::path> casesOf(const char* target) {
  std::vector<std::filesystem::path> cases;
  const auto folder =
      std::filesystem::path(testing_support::sourceDir()) / "tests/hardening/cases" / target;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    cases.push_back(entry.path());
  std::sort(cases.begin(), cases.end());
  return cases;
}

TEST(FuzzRegressions, SdmInputsKeepTheFileProperties) {
  const auto cases = casesOf("sdm");
  ASSERT_FALSE(cases.empty());
  TempDir dir;
  for (const auto& input : cases) {
    const std::string bytes = readFile(input);
    for (const bool withConstant : {false, true}) {
      EXPECT_EQ(checkSdmFile(bytes, dir.path().string(), withConstant), "")
          << input.filename() << (withConstant ? " with" : " without") << " constant";
    }
  }
}

TEST(FuzzRegressions, PathPairsKeepTheNameProperties) {
  const auto cases = casesOf("names");
  ASSERT_FALSE(cases.empty());
  for (const auto& input : cases)
    EXPECT_EQ(checkPathFunctions(readFile(input)), "") << input.filename();
}

// Documented refusals pass; a check that cannot even write its input says so rather than pass.
TEST(FuzzRegressions, TheChecksPassDocumentedRefusalsAndReportAnUnusableFolder) {
  TempDir dir;
  EXPECT_EQ(checkSdmFile("NrOfPredictors: 1 NrOfDataPoints: 1", dir.path().string(), false), "");
  EXPECT_EQ(
      checkSdmFile(
          "NrOfPredictors: 1 NrOfDataPoints: 1 FirstConfoundPredictor: 2\n1 2 3\n\"a\"\n x.5\n",
          dir.path().string(), false),
      "");
  // A folder that cannot take the input file is reported, not taken for a pass.
  EXPECT_NE(checkSdmFile("x", dir.file("missing"), false), "");
}

}  // namespace

// Every call of a save, failed in turn on the file-system seam: the save reports the target,
// leaves no temporary file and keeps the file that stood there.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "sdm/design_matrix.h"
#include "support/expect_throw.h"
#include "support/faulty_file_system.h"
#include "support/sdm_text.h"
#include "support/temp_dir.h"

namespace {

using testing_support::FaultyFileSystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

struct FaultCase {
  const char* name;
  int failAt;           // which call of the save fails, from 1
  const char* message;  // before ": " + path
  const char* trace;    // every call the save made
};

class SaveFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SaveFault, ReportsTheTargetAndKeepsTheOldFile) {
  const FaultCase& c = GetParam();
  TempDir dir;
  const SdmText sdm{{"Faces", "Motion"}, {"  0.500000 -1.250000", "  1.000000  2.000000"}, 2};
  writeFile(dir.file("in.sdm"), sdm.text());
  DesignMatrix matrix = DesignMatrix::load(dir.file("in.sdm"));
  const std::string target = dir.file("out.sdm");
  writeFile(target, "the old file");

  FaultyFileSystem files(c.failAt, ENOSPC);
  EXPECT_THROW_MSG(matrix.save(target), std::runtime_error, std::string(c.message) + target);
  EXPECT_EQ(files.trace, c.trace);
  EXPECT_EQ(readFile(target), "the old file");
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 2u);  // in.sdm and out.sdm, no temporary file
}

INSTANTIATE_TEST_SUITE_P(
    EveryCall, SaveFault,
    ::testing::Values(
        FaultCase{"CheckTarget", 1, "Cannot Create file: ", "checkTarget"},
        FaultCase{"CreateNew", 2, "Cannot Create file: ", "checkTarget createNew"},
        FaultCase{"Write", 3, "Cannot write file: ", "checkTarget createNew write close remove"},
        FaultCase{"Sync", 4,
                  "Cannot write file: ", "checkTarget createNew write sync close remove"},
        FaultCase{"Close", 5,
                  "Cannot write file: ", "checkTarget createNew write sync close remove"},
        FaultCase{"Replace", 6,
                  "Cannot write file: ", "checkTarget createNew write sync close replace remove"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SaveFault, UnfailedSaveMakesExactlyTheseCalls) {
  TempDir dir;
  DesignMatrix matrix;
  FaultyFileSystem files(0, ENOSPC);
  matrix.save(dir.file("empty.sdm"));
  EXPECT_EQ(files.trace, "checkTarget createNew write sync close replace");
}

}  // namespace

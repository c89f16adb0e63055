#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>

#include "confounds/confound_reader.h"
#include "confounds/tsv_writer.h"
#include "sdm/matrix_text.h"
#include "support/temp_dir.h"

namespace {

using sdm_test::makeMatrix;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(TsvWriter, WritesNamesAndSixDecimalsWithTabsAndLineFeeds) {
  TempDir dir;
  const std::string path = dir.file("out.tsv");
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  saveTsv(makeMatrix({"trans_x", "a\tb", "Constant"},
                     {{0.25f, -0.5f, nan}, {1234.5678f, -inf, 1e-7f}, {1, 1, 1}}, 3, 1),
          path);
  EXPECT_EQ(readFile(path),
            "trans_x\ta b\tConstant\n"
            "0.250000\t1234.567749\t1.000000\n"
            "-0.500000\tn/a\t1.000000\n"
            "n/a\t0.000000\t1.000000\n");
}

TEST(TsvWriter, ReadsBackToSixDecimals) {
  TempDir dir;
  const std::string path = dir.file("round.tsv");
  const DesignMatrix m = makeMatrix({"x", "y"}, {{0.123456f, -7.5f}, {100.000001f, 3e-7f}}, 2, 1);
  saveTsv(m, path);
  const ConfoundFile file = readConfoundFile(path);
  EXPECT_EQ(sdm_test::joinedNames(file.matrix), "x y");
  EXPECT_EQ(file.matrix.values,
            (std::vector<std::vector<float>>{{0.123456f, -7.5f}, {100.0f, 0.0f}}));
}

TEST(TsvWriter, FailuresLeaveTheOldFile) {
  TempDir dir;
  const std::string missing = dir.file("missing/out.tsv");
  try {
    saveTsv(makeMatrix({"x"}, {{1}}, 1, 1), missing);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot Create file: " + missing + " (folder missing)");
  }
  const std::string path = dir.file("old.tsv");
  writeFile(path, "old content");
  EXPECT_THROW(saveTsv(makeMatrix({"x"}, {{1}}, 2, 1), path), std::logic_error);
  EXPECT_EQ(readFile(path), "old content");
}

}  // namespace

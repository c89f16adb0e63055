#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "confounds/confound_input.h"
#include "confounds/confound_reader.h"
#include "confounds/tsv_sidecar.h"
#include "confounds/tsv_writer.h"
#include "sdm/matrix_text.h"
#include "support/temp_dir.h"

using namespace sdm;
using namespace confounds;

namespace {

using sdm_test::makeMatrix;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(TsvWriter, WritesNamesAndShortestValuesWithTabsAndLineFeeds) {
  TempDir dir;
  const std::string path = dir.file("out.tsv");
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  saveTsv(makeMatrix({"trans_x", "a\tb", "Constant"},
                     {{0.25f, -0.5f, nan}, {1234.5678f, -inf, 1e-7f}, {1, 1, 1}}, 3, 1),
          path);
  EXPECT_EQ(readFile(path),
            "trans_x\ta b\tConstant\n"
            "0.25\t1234.5677\t1\n"
            "-0.5\tn/a\t1\n"
            "n/a\t1e-07\t1\n");
}

TEST(TsvWriter, ReadsBackBitForBit) {
  TempDir dir;
  const std::string path = dir.file("round.tsv");
  const DesignMatrix m = makeMatrix({"x", "y"}, {{0.123456f, -7.5f}, {100.000001f, 3e-7f}}, 2, 1);
  saveTsv(m, path);
  const ConfoundFile file = readConfoundFile(path);
  EXPECT_EQ(sdm_test::joinedNames(file.matrix), "x y");
  EXPECT_EQ(sdm_test::describe(file.matrix).substr(sdm_test::describe(file.matrix).find("values")),
            "values 0.123456 -7.5\nvalues 100 3e-07\n");
}

DesignMatrix withConstant(DesignMatrix m) {
  m.addConstant();
  return m;
}

// `n` finite floats of any kind.
std::vector<float> anyFinite(std::mt19937& random, std::size_t n) {
  std::vector<float> values;
  while (values.size() < n) {
    const float v = sdm_test::anyFloat(random);
    if (std::isfinite(v)) values.push_back(v);
  }
  return values;
}

// A table with its sidecar reads back as the design it was made from: names (tabs, repeats and
// all), colours, the first confound, the constant flag and every value bit for bit.
TEST(TsvWriter, TableAndSidecarReadBackAsTheSameDesign) {
  std::mt19937 random(5);
  const struct {
    const char* what;
    DesignMatrix matrix;
  } cases[] = {
      {"interest, confounds and the constant",
       withConstant(makeMatrix({"Faces", "Tx"}, {{0, 1, 0.5f}, {0.25f, -0.125f, 3}}, 3, 2))},
      {"names with tabs, quotes' neighbours and repeats",
       makeMatrix({"a\tb", "Tx", "Tx", "\xC3\xA9t\xC3\xA9"}, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}, 2,
                  1)},
      // 7.038531e-26, the shortest text of 0x15ae43fd, reads back through double as its neighbour.
      {"small, huge, negative zero, subnormal and twice rounded values",
       makeMatrix({"rot_z_power2", "x"},
                  {{3.2e-7f, -0.0f, 1e-45f, std::bit_cast<float>(0x15ae43fdu)},
                   {3e38f, -1e-38f, 0.1f, -std::bit_cast<float>(0x15ae43fdu)}},
                  4, 3)},
      {"any floats", makeMatrix({"p", "q"}, {anyFinite(random, 40), anyFinite(random, 40)}, 40, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.file("design.tsv");
    DesignMatrix original = c.matrix;
    saveTsv(original, path);
    saveSidecar(original, sidecarPath(path), "1.0");
    const ConfoundInput input = loadConfounds(path, "motion6");
    original.fileName = path;
    original.layout = sdm_test::newFileLayout();
    EXPECT_EQ(sdm_test::describe(input.matrix), sdm_test::describe(original));
    EXPECT_EQ(sdm_test::kindsText(input.matrix), sdm_test::kindsText(original));
  }
  EXPECT_EQ(sidecarPath("d.1/run.tsv"), "d.1/run.json");
  EXPECT_EQ(sidecarPath("d.1/pipe"), "d.1/pipe.json");
}

// A table's sidecar replaces nothing but an earlier sidecar of Brindle's: never the summary of a
// design, nor another program's JSON.
TEST(TsvWriter, ASidecarReplacesOnlyASidecarOfBrindles) {
  TempDir dir;
  const std::string path = dir.file("run1.json");
  const struct {
    const char* what;
    const char* text;  // null: no file
    std::string refusal;
  } cases[] = {
      {"nothing there", nullptr, ""},
      {"a sidecar", nullptr, ""},  // written below by saveSidecar
      {"a summary", "{\"version\": 3, \"file\": \"run1.sdm\", \"predictors\": []}",
       "it is the summary of run1.sdm"},
      {"another program's sidecar", "{\"Columns\": [], \"Sources\": \"bold\"}",
       "it is not a sidecar Brindle wrote"},
      {"no JSON at all", "version: 3", "it is not a sidecar Brindle wrote"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(path);
    if (c.text != nullptr) writeFile(path, c.text);
    if (std::string(c.what) == "a sidecar")
      saveSidecar(makeMatrix({"a"}, {{1}}, 1, 2), path, "1.0");
    EXPECT_EQ(sidecarRefusal(path), c.refusal) << c.what;
  }
}

TEST(TsvWriter, FailuresLeaveTheOldFile) {
  TempDir dir;
  const std::string missing = dir.file("missing/out.tsv");
  try {
    saveTsv(makeMatrix({"x"}, {{1}}, 1, 1), missing);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot Create file: " + missing + " (no such file or folder)");
  }
  const std::string path = dir.file("old.tsv");
  writeFile(path, "old content");
  EXPECT_THROW(saveTsv(makeMatrix({"x"}, {{1}}, 2, 1), path), std::logic_error);
  EXPECT_EQ(readFile(path), "old content");
}

}  // namespace

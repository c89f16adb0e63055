#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "matrix_text.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_limits.h"
#include "support/temp_dir.h"

using namespace sdm;

namespace {

using sdm_test::makeMatrix;
using testing_support::crlf;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::string savedText(DesignMatrix m) {
  TempDir dir;
  const std::string path = dir.file("out.sdm");
  saveSdm(m, path);
  EXPECT_EQ(m.fileName, path);
  return readFile(path);
}

const std::string kHeaderText =
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         2\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       0\n"
    "FirstConfoundPredictor: 2\n"
    "\n";

DesignMatrix twoPredictors() {
  return makeMatrix({"Motion", "Drift"}, {{0.25f, -0.5f, 1.0f}, {0.5f, 1.5f, 2.5f}}, 3, 2);
}

TEST(SdmWriter, WritesTheLayoutWithCrlfLineEnds) {
  EXPECT_EQ(savedText(twoPredictors()),
            crlf(kHeaderText + "0 1 2   1 2 3\n\"Motion\" \"Drift\"\n"
                               "  0.250000   0.500000\n -0.500000   1.500000\n"
                               "  1.000000   2.500000\n"));
}

TEST(SdmWriter, AddConstantShowsInHeaderColoursNamesAndData) {
  DesignMatrix m = twoPredictors();
  m.addConstant();
  EXPECT_EQ(savedText(m),
            crlf("FileVersion:            1\n\n"
                 "NrOfPredictors:         3\n"
                 "NrOfDataPoints:         3\n"
                 "IncludesConstant:       1\n"
                 "FirstConfoundPredictor: 2\n\n"
                 "0 1 2   1 2 3   255 255 255\n\"Motion\" \"Drift\" \"Constant\"\n"
                 "  0.250000   0.500000   1.000000\n -0.500000   1.500000   1.000000\n"
                 "  1.000000   2.500000   1.000000\n"));
}

TEST(SdmWriter, WritesOnlyPresentEntriesPaddedToTheirWidth) {
  DesignMatrix m = makeMatrix({"a"}, {{1.0f}}, 1, 2);
  sdm_test::editLayout(m, [](SdmLayout& layout) {
    layout.fileVersion.present = false;
    layout.includesConstant.present = false;
    layout.nrOfPredictors.width = 16;         // one tab in the loaded file
    layout.nrOfDataPoints.width = 15;         // the value stood on the next line
    layout.firstConfoundPredictor.width = 0;  // built by hand
  });
  EXPECT_EQ(savedText(m), crlf("NrOfPredictors: 1\n"
                               "NrOfDataPoints: 1\n"
                               "FirstConfoundPredictor: 2\n\n"
                               "0 1 2\n\"a\"\n  1.000000\n"));
}

TEST(SdmWriter, ATabSeparatedHeaderIsWrittenWithOneSpacePerTab) {
  TempDir dir;
  const std::string in = dir.file("tabs.sdm");
  writeFile(in,
            "FileVersion:\t3\nNrOfPredictors:\t\t1\nNrOfDataPoints:\t1\nIncludesConstant:\t0\n"
            "FirstConfoundPredictor:\t2\n1 2 3\n\"a\"\n 1.000000\n");
  DesignMatrix m = loadSdm(in);
  EXPECT_EQ(savedText(m), crlf("FileVersion: 3\n\nNrOfPredictors:  1\nNrOfDataPoints: 1\n"
                               "IncludesConstant: 0\nFirstConfoundPredictor: 2\n\n"
                               "1 2 3\n\"a\"\n  1.000000\n"));
}

TEST(SdmWriter, FormatsValuesInTheirColumns) {
  const struct {
    float value;
    std::string first;   // the whole line when the value is the only predictor
    std::string second;  // the text after " 0.000000" when it is the second predictor
  } cases[] = {
      {-0.5f, " -0.500000", "  -0.500000"},
      {0.5f, "  0.500000", "   0.500000"},
      {1.23456789f, "  1.234568", "   1.234568"},
      {-0.0f, "  -0.000000", "   -0.000000"},
      {100.0f, "  100.000000", "   100.000000"},
      {-10.0f, " -10.000000", "  -10.000000"},
      // A predictor whose largest value lies below 0.01 keeps five significant digits of it.
      {1e-7f, "  0.00000010000", "   0.00000010000"},
      {3.2e-7f, "  0.00000032000", "   0.00000032000"},
      {-0.0099f, " -0.0099000", "  -0.0099000"},
      {0.00999996f, "  0.0100000", "   0.0100000"},
      {0.0099999998f, "  0.010000", "   0.010000"},
      {0.01f, "  0.010000", "   0.010000"},
      {1.4e-45f, "  0.0000000000000000000000000000000000000000000014013",
       "   0.0000000000000000000000000000000000000000000014013"},
      {NAN, " nan", "  nan"},
      {INFINITY, "  inf", "   inf"},
      {-INFINITY, " -inf", "  -inf"},
  };
  for (const auto& c : cases) {
    DesignMatrix one = makeMatrix({"v"}, {{c.value}}, 1, 2);
    DesignMatrix two = makeMatrix({"z", "v"}, {{0.0f}, {c.value}}, 1, 3);
    const std::string oneText = savedText(one);
    const std::string twoText = savedText(two);
    EXPECT_EQ(oneText.substr(oneText.rfind("\"\r\n") + 3), c.first + "\r\n") << c.first;
    EXPECT_EQ(twoText.substr(twoText.rfind("\"\r\n") + 3), "  0.000000" + c.second + "\r\n")
        << c.second;
  }
}

TEST(SdmWriter, DataLinesHoldThePrintfTextOfEveryValue) {
  // 37 data points (two tiles of 16 and a rest) of 3,000 predictors: more than the 1 MiB the
  // writer hands over at a time, so that a hand-over falls inside a line.
  std::mt19937 random(3);
  const std::size_t count = 3000, dataPoints = 37;
  std::vector<std::vector<float>> columns(count, std::vector<float>(dataPoints));
  for (auto& column : columns)
    for (float& v : column) v = sdm_test::anyFloat(random);
  // Every tenth predictor of small values: written with more decimals.
  for (std::size_t p = 0; p < count; p += 10) {
    for (float& v : columns[p]) v = v * 1e-12f;
  }
  std::vector<int> decimals;
  for (const auto& column : columns) decimals.push_back(sdm_test::referenceDecimals(column));
  std::string expected;
  for (std::size_t t = 0; t < dataPoints; ++t) {
    for (std::size_t p = 0; p < count; ++p) {
      const float v = columns[p][t];
      expected += p == 0 ? " " : "  ";
      if (v >= 0.0f) expected += ' ';
      expected += std::isnan(v) ? "nan" : sdm_test::printfText(v, decimals[p]);
    }
    expected += "\r\n";
  }
  const std::string text = savedText(makeMatrix(std::vector<std::string>(count, "p"), columns,
                                                static_cast<int32_t>(dataPoints), 1));
  ASSERT_GT(text.size(), expected.size());
  const bool same = text.compare(text.size() - expected.size(), expected.size(), expected) == 0;
  EXPECT_TRUE(same);
  EXPECT_EQ(text.substr(text.size() - expected.size(), 600), expected.substr(0, 600));
}

TEST(SdmWriter, ZeroPredictorsGiveEmptyColourNamesAndDataLines) {
  EXPECT_EQ(savedText(makeMatrix({}, {}, 2, 1)),
            crlf("FileVersion:            1\n\nNrOfPredictors:         0\n"
                 "NrOfDataPoints:         2\nIncludesConstant:       0\n"
                 "FirstConfoundPredictor: 1\n\n\n\n\n\n"));
}

TEST(SdmWriter, RefusesAMatrixWhosePredictorsAreShorterThanItsHeaderSays) {
  TempDir dir;
  DesignMatrix m = twoPredictors();
  m.predictors[1].values.pop_back();
  EXPECT_THROW(saveSdm(m, dir.file("broken.sdm")), std::logic_error);
  EXPECT_FALSE(std::filesystem::exists(dir.file("broken.sdm")));
}

// Nothing is written that the reader would refuse: too many predictors or values, or a names
// line past its bound (the one check that a merge of readable files can fail).
TEST(SdmWriter, RefusesAFileTheReaderWouldRefuse) {
  const std::string longest(sdmNamesLineBound(1) - 2, 'n');  // with its quotes: the bound
  const struct {
    int32_t predictors, dataPoints;
    std::string name;
    std::string reason;  // "" when it may be saved
  } cases[] = {
      {1, 2, longest, ""},
      {1, 2, longest + "n",
       "a names line of 1064961 bytes, longer than an SDM file may hold (1064960)"},
      {1048576, 256, "", ""},
      {1048577, 0, "", "1048577 predictors, more than an SDM file may hold (1048576)"},
      {16385, 16384, "", "16385 x 16384 values, more than an SDM file may hold (268435456)"},
  };
  for (const auto& c : cases) {
    DesignMatrix m = makeMatrix({c.name}, {std::vector<float>(2, 0.5f)}, 2, 2);
    m.predictors.resize(static_cast<std::size_t>(c.predictors));  // the limits need no values
    m.nrOfDataPoints = c.dataPoints;
    std::string reason;
    try {
      checkSdmLimits(m, "x.sdm");
    } catch (const std::runtime_error& e) {
      reason = e.what();
    }
    EXPECT_EQ(reason, c.reason.empty() ? "" : "Cannot save x.sdm: " + c.reason) << c.predictors;
  }
  TempDir dir;
  DesignMatrix m = makeMatrix({longest + "n"}, {std::vector<float>(2, 0.5f)}, 2, 2);
  EXPECT_THROW(saveSdm(m, dir.file("long.sdm")), std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(SdmWriter, APathThatCannotBeCreatedThrowsCannotCreateFile) {
  TempDir dir;
  const struct {
    std::string path, reason;
  } cases[] = {{dir.file("missing/out.sdm"), "no such file or folder"},
               {dir.path().string(), "a folder is in the way"}};
  for (const auto& [path, reason] : cases) {
    DesignMatrix m = twoPredictors();
    try {
      saveSdm(m, path);
      ADD_FAILURE() << "no exception for " << path;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot Create file: " + path + " (" + reason + ")");
    }
    EXPECT_EQ(m.fileName, path);
  }
}

// A child process with a small file-size limit saves a matrix far larger than the limit: the
// save must fail with "Cannot write file: " and leave the old file and no temporary behind.
TEST(SdmWriter, AFailedWriteThrowsAndKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.file("target.sdm");
  writeFile(path, "old content");
  std::vector<std::vector<float>> columns(50, std::vector<float>(2000, 1.5f));
  DesignMatrix m = makeMatrix(std::vector<std::string>(50, "p"), columns, 2000, 51);

  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(channel[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string message = "saved";
    try {
      saveSdm(m, path);
    } catch (const std::exception& e) {
      message = e.what();
    }
    const auto written = ::write(channel[1], message.data(), message.size());
    ::_exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
  }
  ::close(channel[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
    message.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  EXPECT_EQ(message, "Cannot write file: " + path + " (file too large)");
  EXPECT_EQ(readFile(path), "old content");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"target.sdm"});
}

}  // namespace

// A first confound outside 1..N+1 end to end: build/Tormel merges files whose
// "FirstConfoundPredictor:" is 0, -5 or N + 7, with the z-transform and the report. The index is
// brought into range (0 or less: every predictor of that file is a confound; N + 2 or more:
// none is), the merge is saved with an index within 1..N+1, only confounds are standardised,
// and nothing outside the arrays is touched. The saved files and reports are compared whole.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/log_lines.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using e2e_fixtures::finished;
using e2e_fixtures::startAll;
using e2e_fixtures::startSec;
using testing_support::crlf;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

// P1 = (0, 2, 4) and P2 = (1, 3, 8) with the given index; R = (2, 4, 6) of interest and the
// confound C = (6, 4, 2). Standardised: P1 -> (-1, 0, 1), P2 -> (-0.832050, -0.277350,
// 1.109400), C -> (1, 0, -1); R would become (-1, 0, 1).
std::string primary(int firstConfound) {
  return crlf(
      "NrOfPredictors:         2\n"
      "NrOfDataPoints:         3\n"
      "FirstConfoundPredictor: " +
      std::to_string(firstConfound) +
      "\n"
      "\n"
      "1 1 1   2 2 2\n"
      "\"P1\" \"P2\"\n"
      "  0.000000   1.000000\n"
      "  2.000000   3.000000\n"
      "  4.000000   8.000000\n");
}

const std::string kSecondary = crlf(
    "NrOfPredictors:         2\n"
    "NrOfDataPoints:         3\n"
    "FirstConfoundPredictor: 2\n"
    "\n"
    "3 3 3   4 4 4\n"
    "\"R\" \"C\"\n"
    "  2.000000   6.000000\n"
    "  4.000000   4.000000\n"
    "  6.000000   2.000000\n");

std::string mergedFile(const std::string& firstConfound, const std::string& colours,
                       const std::string& names, const std::string& rows) {
  return crlf(
      "NrOfPredictors:         4\n"
      "NrOfDataPoints:         3\n"
      "FirstConfoundPredictor: " +
      firstConfound +
      "\n"
      "\n" +
      colours + "\n" + names + "\n" + rows);
}

// The primary's predictors all count as confounds: R goes first, everything after it is
// standardised.
const std::string kAllConfounds =
    mergedFile("2", "3 3 3   1 1 1   2 2 2   4 4 4", "\"R\" \"P1\" \"P2\" \"C\"",
               "  2.000000  -1.000000  -0.832050   1.000000\n"
               "  4.000000   0.000000  -0.277350   0.000000\n"
               "  6.000000   1.000000   1.109400  -1.000000\n");
const std::string kAllConfoundsReport = crlf(
    " ; R ; P1 ; P2 ; C\n"
    "R ; 1.00 ; 1.00 ; 0.97 ; 1.00\n"
    "P1 ; 1.00 ; 1.00 ; 0.97 ; 1.00\n"
    "P2 ; 0.97 ; 0.97 ; 1.00 ; 0.97\n"
    "C ; 1.00 ; 1.00 ; 0.97 ; 1.00\n");

// None of the primary's predictors is a confound: only C is standardised.
const std::string kNoConfounds =
    mergedFile("4", "1 1 1   2 2 2   3 3 3   4 4 4", "\"P1\" \"P2\" \"R\" \"C\"",
               "  0.000000   1.000000   2.000000   1.000000\n"
               "  2.000000   3.000000   4.000000   0.000000\n"
               "  4.000000   8.000000   6.000000  -1.000000\n");
const std::string kNoConfoundsReport = crlf(
    " ; P1 ; P2 ; R ; C\n"
    "P1 ; 1.00 ; 0.97 ; 1.00 ; 1.00\n"
    "P2 ; 0.97 ; 1.00 ; 0.97 ; 0.97\n"
    "R ; 1.00 ; 0.97 ; 1.00 ; 1.00\n"
    "C ; 1.00 ; 0.97 ; 1.00 ; 1.00\n");

struct ConfoundCase {
  std::string name;
  std::string task;
  int firstConfound;     // the primary's (for mergesec: the file named first below)
  bool primaryFirst;     // mergesec: the primary's file first, or the secondary's
  std::string expected;  // the saved merge
  std::string report;
};

void PrintTo(const ConfoundCase& c, std::ostream* os) { *os << c.name; }

class FirstConfoundOutOfRange : public ::testing::TestWithParam<ConfoundCase> {};

TEST_P(FirstConfoundOutOfRange, MergesAsAllOrNoneConfoundsWithZTransformAndReport) {
  const ConfoundCase& c = GetParam();
  TempDir dir;
  writeFile(dir.file("p.sdm"), primary(c.firstConfound));
  writeFile(dir.file("s.sdm"), kSecondary);
  std::vector<std::string> args{c.task};
  if (c.task == "mergeall" || c.primaryFirst) {
    args.insert(args.end(), {dir.file("p.sdm"), dir.file("s.sdm")});
  } else {
    args.insert(args.end(), {dir.file("s.sdm"), dir.file("p.sdm")});
  }
  args.insert(args.end(), {"--ztrans", "--corr", "--save", dir.file("m.sdm")});
  const ProcessResult result = runTormel(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  // Four predictors over three data points.
  EXPECT_EQ(result.out, (c.task == "mergeall" ? startAll : startSec) + "\nBrindle>  Saved " +
                            dir.file("m.sdm") + log_lines::notEstimable("m.sdm", 4, 3) + finished);
  EXPECT_EQ(readFile(dir.file("m.sdm")), c.expected);
  EXPECT_EQ(readFile(dir.file("m.csv")), c.report);
}

INSTANTIATE_TEST_SUITE_P(
    Merges, FirstConfoundOutOfRange,
    ::testing::Values(
        ConfoundCase{"ZeroInMergeAll", "mergeall", 0, true, kAllConfounds, kAllConfoundsReport},
        ConfoundCase{"MinusFiveInMergeAll", "mergeall", -5, true, kAllConfounds,
                     kAllConfoundsReport},
        ConfoundCase{"NPlusSevenInMergeAll", "mergeall", 9, true, kNoConfounds, kNoConfoundsReport},
        ConfoundCase{"ZeroInMergeSec", "mergesec", 0, true, kAllConfounds, kAllConfoundsReport},
        ConfoundCase{"MinusFiveInMergeSec", "mergesec", -5, true, kAllConfounds,
                     kAllConfoundsReport},
        ConfoundCase{"NPlusSevenInMergeSec", "mergesec", 9, true, kNoConfounds, kNoConfoundsReport},
        // Appended, the same file's predictors are all confounds, or none is.
        ConfoundCase{"ZeroAppended", "mergesec", 0, false,
                     mergedFile("2", "3 3 3   4 4 4   1 1 1   2 2 2", "\"R\" \"C\" \"P1\" \"P2\"",
                                "  2.000000   1.000000  -1.000000  -0.832050\n"
                                "  4.000000   0.000000   0.000000  -0.277350\n"
                                "  6.000000  -1.000000   1.000000   1.109400\n"),
                     crlf(" ; R ; C ; P1 ; P2\n"
                          "R ; 1.00 ; 1.00 ; 1.00 ; 0.97\n"
                          "C ; 1.00 ; 1.00 ; 1.00 ; 0.97\n"
                          "P1 ; 1.00 ; 1.00 ; 1.00 ; 0.97\n"
                          "P2 ; 0.97 ; 0.97 ; 0.97 ; 1.00\n")},
        ConfoundCase{"NPlusSevenAppended", "mergesec", 9, false,
                     mergedFile("4", "3 3 3   1 1 1   2 2 2   4 4 4", "\"R\" \"P1\" \"P2\" \"C\"",
                                "  2.000000   0.000000   1.000000   1.000000\n"
                                "  4.000000   2.000000   3.000000   0.000000\n"
                                "  6.000000   4.000000   8.000000  -1.000000\n"),
                     crlf(" ; R ; P1 ; P2 ; C\n"
                          "R ; 1.00 ; 1.00 ; 0.97 ; 1.00\n"
                          "P1 ; 1.00 ; 1.00 ; 0.97 ; 1.00\n"
                          "P2 ; 0.97 ; 0.97 ; 1.00 ; 0.97\n"
                          "C ; 1.00 ; 1.00 ; 0.97 ; 1.00\n")}),
    [](const ::testing::TestParamInfo<ConfoundCase>& param) { return param.param.name; });

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "matrix_text.h"
#include "sdm/design_matrix.h"
#include "sdm/io_error.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_limits.h"
#include "sdm/sdm_repairs.h"
#include "support/expect_throw.h"
#include "support/temp_dir.h"

using namespace base;
using namespace sdm;

namespace {

using testing_support::crlf;
using testing_support::TempDir;
using testing_support::writeFile;

// The standard header of the tests: values begin in column 25, as in the example file.
const std::string kHeader =
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         2\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       1\n"
    "FirstConfoundPredictor: 2\n"
    "\n";

const std::string kStandardHeaderText =
    "fileVersion FileVersion 24 1\n"
    "nrOfPredictors NrOfPredictors 24 2\n"
    "nrOfDataPoints NrOfDataPoints 24 3\n"
    "includesConstant IncludesConstant 24 1\n"
    "firstConfoundPredictor FirstConfoundPredictor 24 2\n";

DesignMatrix loadText(const TempDir& dir, const std::string& bytes) {
  const std::string path = dir.file("in.sdm");
  writeFile(path, bytes);
  return loadSdm(path);
}

struct ReadCase {
  const char* what;
  std::string file;      // written as is (tests choose LF or CRLF)
  std::string expected;  // describe() of the loaded matrix
};

class SdmReaderCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SdmReaderCases, LoadsTheExpectedMatrix) {
  TempDir dir;
  EXPECT_EQ(sdm_test::describe(loadText(dir, GetParam().file)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    SdmReader, SdmReaderCases,
    ::testing::Values(
        ReadCase{"ExampleWithLineFeedsOnly",
                 kHeader + "255 0 0   255 255 255\n\"Motion\" \"Constant\"\n"
                           "  0.250000   1.000000\n -0.500000   1.000000\n  1.000000   1.000000\n",
                 kStandardHeaderText + "colours 255,0,0 255,255,255\nnames [Motion] [Constant]\n"
                                       "values 0.25 -0.5 1\nvalues 1 1 1\n"},
        ReadCase{"HeaderInAnyOrderWithTabsAndLineBreaks",
                 "NrOfDataPoints:\t1  IncludesConstant: 0\nNrOfPredictors:\t\t1\n"
                 "FileVersion:\n  3 FirstConfoundPredictor:  2\n1 2 3\n\"x\"\n 1.500000\n",
                 "fileVersion FileVersion 12 3\n"
                 "nrOfPredictors NrOfPredictors 17 1\n"
                 "nrOfDataPoints NrOfDataPoints 16 1\n"
                 "includesConstant IncludesConstant 18 0\n"
                 "firstConfoundPredictor FirstConfoundPredictor 25 2\n"
                 "colours 1,2,3\nnames [x]\nvalues 1.5\n"},
        ReadCase{"SkipsUnknownHeaderKeysAndStrayWords",
                 "Unknown: 7 words here NrOfPredictors: 1 Other: -3 NrOfDataPoints: 1 "
                 "ResolutionX: 12 FirstConfoundPredictor: 2\n1 2 3\n\"x\"\n 2.000000\n",
                 "fileVersion absent -1\n"
                 "nrOfPredictors NrOfPredictors 16 1\n"
                 "nrOfDataPoints NrOfDataPoints 16 1\n"
                 "includesConstant absent 0\n"
                 "firstConfoundPredictor FirstConfoundPredictor 24 2\n"
                 "colours 1,2,3\nnames [x]\nvalues 2\n"},
        ReadCase{"ARepeatedKeyOverwritesTheEarlierOne",
                 "NrOfPredictors: 5 NrOfDataPoints: 1 NrOfPredictors:  1 "
                 "FirstConfoundPredictor: 2\n1 2 3\n\"x\"\n 2.000000\n",
                 "fileVersion absent -1\n"
                 "nrOfPredictors NrOfPredictors 17 1\n"
                 "nrOfDataPoints NrOfDataPoints 16 1\n"
                 "includesConstant absent 0\n"
                 "firstConfoundPredictor FirstConfoundPredictor 24 2\n"
                 "colours 1,2,3\nnames [x]\nvalues 2\n"},
        ReadCase{"KeysAreCaseSensitiveAndNeedTheirColon",
                 "nrofpredictors: 9 NrOfPredictors 9 NrOfPredictors: 1 NrOfDataPoints: 0 "
                 "FirstConfoundPredictor: 2\n\"x\"\n",
                 "fileVersion absent -1\n"
                 "nrOfPredictors NrOfPredictors 16 1\n"
                 "nrOfDataPoints NrOfDataPoints 16 0\n"
                 "includesConstant absent 0\n"
                 "firstConfoundPredictor FirstConfoundPredictor 24 2\n"
                 "colours 0,0,0\nnames [x]\nvalues\n"},
        ReadCase{"ColoursMaySpreadOverLinesAndExtraOnesAreIgnored",
                 kHeader + "255\n0 0\n\n  255 255\t255 7 8\n\"a\" \"b\"\n" +
                     " 1.000000  2.000000\n 3.000000  4.000000\n 5.000000  6.000000\n",
                 kStandardHeaderText +
                     "colours 255,0,0 255,255,255\nnames [a] [b]\nvalues 1 3 5\nvalues 2 4 6\n"},
        ReadCase{"MissingColoursStayZero", kHeader + "1 2 3 4\n\"a\" \"b\"\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,0,0\nnames [a] [b]\nvalues 0 0 0\nvalues 0 0 0\n"},
        ReadCase{"ColoursStopAtANonInteger", kHeader + "1 2 x 4 5 6\n\"a\" \"b\"\n",
                 kStandardHeaderText +
                     "colours 1,2,0 0,0,0\nnames [a] [b]\nvalues 0 0 0\nvalues 0 0 0\n"},
        ReadCase{"MissingNamesAreNoNameAndExtraNamesAreIgnored",
                 kHeader + "1 2 3 4 5 6\n\"a\"\n 1.000000  2.000000\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [a] [NoName]\nvalues 1 0 0\nvalues 2 0 0\n"},
        ReadCase{"NamesAreTheTextsBetweenPairsOfQuotes",
                 kHeader + "1 2 3 4 5 6\nx\"a b\"junk\"\"\"c\" \"d\"\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [a b] []\nvalues 0 0 0\nvalues 0 0 0\n"},
        ReadCase{"ANamesLineWithoutQuotesMakesTheNextLineTheNamesLine",
                 kHeader + "1 2 3 4 5 6 9\n\"a\" \"b\"\n 1.000000  2.000000\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [a] [b]\nvalues 1 0 0\nvalues 2 0 0\n"},
        ReadCase{"OnlyOneRetryForTheNamesLine",
                 kHeader + "1 2 3 4 5 6\nMotion Constant\n 1.000000  2.000000\n"
                           " 3.000000  4.000000\n 5.000000  6.000000\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [NoName] [NoName]\nvalues 3 5 0\nvalues 4 6 0\n"},
        ReadCase{"DataLinesWithTheWrongCountOfPointsAreZero",
                 kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n 1.000000  2\n\n 3.5 4.5 5.5\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [a] [b]\nvalues 0 0 0\nvalues 0 0 0\n"},
        ReadCase{"AnEmptyLineUsesUpADataPoint",
                 kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n\r\n 1.000000  2.000000\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [a] [b]\nvalues 0 1 0\nvalues 0 2 0\n"},
        ReadCase{"ValuesCloseToTheirNeighbourAreCutTwoBeforeThePoint",
                 kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n  12.500000  -0.500000\n"
                           "1.5-2.5\n7.2519.75\n",
                 kStandardHeaderText + "colours 1,2,3 4,5,6\nnames [a] [b]\nvalues 12.5 1.5 7.25\n"
                                       "values -0.5 -2.5 19.75\n"},
        ReadCase{"WideValuesAreReadWhole",
                 kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n  -10.500000  123.250000\n"
                           "  123456.000000 -99999.5\n\t1.5e3\t-2.5E-2\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [a] [b]\nvalues -10.5 123456 1500\n"
                     "values 123.25 -99999.5 -0.025\n"},
        ReadCase{"LinesAfterTheLastDataPointAreIgnored",
                 kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n 1.0 2.0\n 3.0 4.0\n 5.0 6.0\nx.y\n",
                 kStandardHeaderText +
                     "colours 1,2,3 4,5,6\nnames [a] [b]\nvalues 1 3 5\nvalues 2 4 6\n"},
        ReadCase{"AFileEndingAfterItsHeaderLoadsEmpty",
                 "NrOfPredictors: 1 NrOfDataPoints: 2 FirstConfoundPredictor: 2",
                 "fileVersion absent -1\n"
                 "nrOfPredictors NrOfPredictors 16 1\n"
                 "nrOfDataPoints NrOfDataPoints 16 2\n"
                 "includesConstant absent 0\n"
                 "firstConfoundPredictor FirstConfoundPredictor 24 2\n"
                 "colours 0,0,0\nnames [NoName]\nvalues 0 0\n"},
        ReadCase{"ZeroPredictors",
                 "NrOfPredictors: 0 NrOfDataPoints: 2 FirstConfoundPredictor: 1\r\n\r\n\r\n\r\n"
                 "\r\n\r\n",
                 "fileVersion absent -1\n"
                 "nrOfPredictors NrOfPredictors 16 0\n"
                 "nrOfDataPoints NrOfDataPoints 16 2\n"
                 "includesConstant absent 0\n"
                 "firstConfoundPredictor FirstConfoundPredictor 24 1\n"
                 "colours\nnames\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.what); });

TEST(SdmReader, AValueOnTheLineAfterItsKeyCountsOnlyTheBlanksBeforeTheLineEnd) {
  TempDir dir;
  const DesignMatrix m = loadText(
      dir,
      crlf("NrOfPredictors: \t\n 1\nNrOfDataPoints:\n0\nFirstConfoundPredictor:\n\n2\n\"x\"\n"));
  EXPECT_EQ(layoutOf(m).nrOfPredictors.width, 17);
  EXPECT_EQ(layoutOf(m).nrOfDataPoints.width, 15);
  EXPECT_EQ(layoutOf(m).firstConfoundPredictor.width, 23);
  EXPECT_EQ(m.firstConfoundPredictor, 2);
  EXPECT_EQ(namesOf(m.predictors), std::vector<std::string>{"x"});
}

TEST(SdmReader, SkipsOverlongTokensAndCapsTheWidth) {
  TempDir dir;
  const DesignMatrix m =
      loadText(dir, std::string(200000, 'x') + " FileVersion:" + std::string(10000, ' ') +
                        "4 NrOfPredictors: 0 NrOfDataPoints: 0 "
                        "FirstConfoundPredictor: 1\n\n\n");
  EXPECT_EQ(layoutOf(m).version, 4);
  EXPECT_EQ(layoutOf(m).fileVersion.width, maxSdmHeaderWidth);
}

TEST(SdmReader, ZeroPredictorsWithTheMostDataPointsAllocateNothing) {
  TempDir dir;
  const DesignMatrix m =
      loadText(dir, "NrOfPredictors: 0 NrOfDataPoints: 268435456 FirstConfoundPredictor: 1\n");
  EXPECT_EQ(m.nrOfDataPoints, 268435456);
  EXPECT_TRUE(m.predictors.empty());
}

TEST(SdmReader, AFileThatCannotBeOpenedThrowsOpenFileErrorWithThePathAndTheReason) {
  TempDir dir;
  const std::string path = dir.file("missing.sdm");
  EXPECT_THROW_MSG(loadSdm(path), OpenFileError,
                   "Failed opening for reading: " + path + " (no such file or folder)");
  EXPECT_THROW_MSG(
      loadSdm(dir.path().string()), OpenFileError,
      "Failed opening for reading: " + dir.path().string() + " (a folder is in the way)");
}

struct FailCase {
  const char* what;
  std::string file;
  std::string messagePrefix;  // the path follows
};

class SdmReaderFailures : public ::testing::TestWithParam<FailCase> {};

TEST_P(SdmReaderFailures, ThrowsIOErrorNamingThePath) {
  TempDir dir;
  const std::string path = dir.file("bad.sdm");
  writeFile(path, GetParam().file);
  try {
    loadSdm(path);
    FAIL() << "no exception";
  } catch (const IOError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().messagePrefix + path);
  }
}

const std::string kInvalid = "Invalid SDM header in ";
const std::string kTooLong = "Line too long in ";

INSTANTIATE_TEST_SUITE_P(
    SdmReader, SdmReaderFailures,
    ::testing::Values(
        FailCase{"EmptyFile", "", kInvalid},
        FailCase{"NoFirstConfoundPredictor", "NrOfPredictors: 1\nNrOfDataPoints: 1\n\n1 2 3\n",
                 kInvalid},
        FailCase{"FirstConfoundPredictorWithoutValue",
                 "NrOfPredictors: 1 NrOfDataPoints: 1 FirstConfoundPredictor:\n", kInvalid},
        FailCase{"FirstConfoundPredictorNotANumber",
                 "NrOfPredictors: 1 NrOfDataPoints: 1 FirstConfoundPredictor: x\n\"a\"\n",
                 kInvalid},
        FailCase{"ValueNotANumber", "NrOfPredictors: two FirstConfoundPredictor: 1\n", kInvalid},
        FailCase{"ValueBeyond32Bits",
                 "NrOfPredictors: 4294967297 NrOfDataPoints: 1 FirstConfoundPredictor: 1\n",
                 kInvalid},
        FailCase{"IncludesConstantNotZeroOrOne",
                 "NrOfPredictors: 1 NrOfDataPoints: 1 IncludesConstant: 2 "
                 "FirstConfoundPredictor: 2\n",
                 kInvalid},
        FailCase{"MissingNrOfPredictors", "NrOfDataPoints: 1 FirstConfoundPredictor: 1\n",
                 kInvalid},
        FailCase{"MissingNrOfDataPoints", "NrOfPredictors: 1 FirstConfoundPredictor: 1\n",
                 kInvalid},
        FailCase{"NegativeNrOfPredictors",
                 "NrOfPredictors: -1 NrOfDataPoints: 1 FirstConfoundPredictor: 1\n", kInvalid},
        FailCase{"NegativeNrOfDataPoints",
                 "NrOfPredictors: 1 NrOfDataPoints: -1 FirstConfoundPredictor: 1\n", kInvalid},
        FailCase{"MoreThan2To28Values",
                 "NrOfPredictors: 16385 NrOfDataPoints: 16384 FirstConfoundPredictor: 1\n",
                 kInvalid},
        FailCase{"HugeCountsBothWays",
                 "NrOfPredictors: 2147483647 NrOfDataPoints: 2147483647 "
                 "FirstConfoundPredictor: 1\n",
                 kInvalid},
        FailCase{"TooManyDataPointsWithoutPredictors",
                 "NrOfPredictors: 0 NrOfDataPoints: 268435457 FirstConfoundPredictor: 1\n",
                 kInvalid},
        FailCase{"TooManyPredictorsWithoutData",
                 "NrOfPredictors: 1048577 NrOfDataPoints: 0 FirstConfoundPredictor: 1\n", kInvalid},
        FailCase{"NamesLineBeyondItsBound",
                 kHeader + "1 2 3 4 5 6\n\"" + std::string(sdmNamesLineBound(2), 'n') + "\"\n",
                 kTooLong},
        FailCase{"DataLineBeyondItsBound",
                 kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n" + std::string(sdmDataLineBound(2), ' ') +
                     "1.0 2.0\n",
                 kTooLong}),
    [](const auto& testInfo) { return std::string(testInfo.param.what); });

TEST(SdmReader, LinesUpToTheirBoundsAreRead) {
  TempDir dir;
  const std::string longName(sdmNamesLineBound(2) - 6, 'n');
  std::string dataLine = " 1.0 2.0";
  dataLine.insert(0, sdmDataLineBound(2) - dataLine.size(), ' ');
  const DesignMatrix m =
      loadText(dir, kHeader + "1 2 3 4 5 6\n\"" + longName + "\" \"b\"\r\n" + dataLine + "\r\n");
  EXPECT_EQ(m.predictors[0].name, longName);
  EXPECT_EQ(m.predictors[0].values[0], 1.0f);
  EXPECT_EQ(m.predictors[1].values[0], 2.0f);
}

struct NumberFailCase {
  const char* what;
  std::string line;
  std::string message;
};

TEST(SdmReader, DataFieldsWithoutANumberAreRefusedNamingFileLineAndField) {
  const NumberFailCase cases[] = {
      {"letters", " 1.0  2.0\n x.5  1.0", "Not a number in {P}, data line 2: 'x.5'"},
      {"bare point", " 1.0  .", "Not a number in {P}, data line 1: '.'"},
      {"control bytes", " 1.0  \x1b.5", "Not a number in {P}, data line 1: '?.5'"},
      {"long", " 1.0  " + std::string(50, 'x') + ".5",
       "Not a number in {P}, data line 1: '" + std::string(40, 'x') + "...'"},
      {"beyond double", " 1.0e999  1.0", "Number out of range in {P}, data line 1: '1.0e999'"},
  };
  TempDir dir;
  const std::string path = dir.file("numbers.sdm");
  for (const auto& c : cases) {
    writeFile(path, kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n" + c.line + "\n");
    std::string message = c.message;
    message.replace(message.find("{P}"), 3, path);
    SCOPED_TRACE(c.what);
    EXPECT_THROW_MSG(loadSdm(path), IOError, message);
  }
}

// A file of gigabytes (sparse: it costs no disk) with a valid header and then no line end
// must fail at the line bound, not be read whole into memory.
TEST(SdmReader, AHugeFileWithoutLineEndsFailsAtTheLineBound) {
  TempDir dir;
  const std::string cases[] = {
      kHeader,                                     // the names line never ends
      kHeader + "1 2 3 4 5 6\n\"a\" \"b\"\n 1.0",  // a data line never ends
  };
  for (const auto& start : cases) {
    const std::string path = dir.file("huge.sdm");
    writeFile(path, start);
    std::filesystem::resize_file(path, std::uintmax_t{3} << 30);
    try {
      loadSdm(path);
      ADD_FAILURE() << "no exception";
    } catch (const IOError& e) {
      EXPECT_EQ(std::string(e.what()), kTooLong + path);
    }
  }
}

}  // namespace

namespace {

struct LoadCase {
  const char* what;
  std::string file;
  std::string outcome;  // the repairs as "missingFrom unreadable [first...] namesMissing", then
                        // " inf/nan K [first...] of P" when values are not finite; or the
                        // refusal's message after the path
};

// The repairs of `loaded` in the form of LoadCase::outcome.
std::string repairsOf(const SdmRepairs& r) {
  std::string text = std::to_string(r.missingFrom) + " " + std::to_string(r.unreadable) + " [";
  for (const std::size_t t : r.firstUnreadable) text += std::to_string(t) + ",";
  text += "] " + std::to_string(r.namesMissing);
  if (r.nonFinite == 0) return text;
  text += " inf/nan " + std::to_string(r.nonFinite) + " [";
  for (const std::size_t t : r.firstNonFinite) text += std::to_string(t) + ",";
  return text + "] of " + std::to_string(r.nonFinitePoints);
}

// N = 1 and M data points, with the given lines after the names line "a".
std::string oneColumn(int dataPoints, const std::string& lines) {
  return "NrOfPredictors: 1 NrOfDataPoints: " + std::to_string(dataPoints) +
         " FirstConfoundPredictor: 2\n1 2 3\n\"a\"\n" + lines;
}

std::string repeated(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line;
  return text;
}

}  // namespace

// A task's load counts every repair and refuses a file with more than half of its data points
// missing or unreadable. A file too short to hold half of them is only counted, never made into
// a matrix, and gets the same count and the same errors.
TEST(SdmLoading, CountsRepairsAndRefusesDamagedFiles) {
  const LoadCase cases[] = {
      {"Clean", oneColumn(2, " 1.0\n 2.0\n"), "0 0 [] 0"},
      {"HalfDamagedIsRead", oneColumn(4, " 1.0\n\n 2.0\n"), "4 1 [2,] 0"},
      {"FiveUnreadableOfTen", oneColumn(10, repeated(" 1.0\nx\n", 5)), "0 5 [2,4,6,8,10,] 0"},
      {"NamesMissing", kHeader + "1 2 3 4 5 6\n\"a\"\n 1.0 2.0\n 1.0 2.0\n 1.0 2.0\n", "0 0 [] 1"},
      {"MoreThanHalf", oneColumn(5, " 1.0\n\n 2.0\n"),
       "Damaged SDM file: {P} (3 of 5 data points missing or unreadable)"},
      {"TooShortForHalf", oneColumn(100, repeated(" 1.0\n", 8) + "x\n" + " 2.0\n"),
       "Damaged SDM file: {P} (91 of 100 data points missing or unreadable)"},
      {"TooShortForHalfWithAFieldThatIsNoNumber", oneColumn(100, " 1.0\n x.5\n"),
       "Not a number in {P}, data line 2: 'x.5'"},
      {"InfinitiesAndNansAreCountedAndKept",
       oneColumn(8, " 1.0\ninf\n-nan\n 2.0\n-inf\nnan\n 3.0\n1e39.0\n"),
       "0 0 [] 0 inf/nan 5 [2,3,5,6,8,] of 5"},
  };
  TempDir dir;
  const std::string path = dir.file("in.sdm");
  for (const auto& c : cases) {
    writeFile(path, c.file);
    std::string outcome;
    try {
      outcome = repairsOf(loadSdm(path, false).repairs);
    } catch (const std::exception& e) {
      outcome = e.what();
    }
    std::string expected = c.outcome;
    if (const auto at = expected.find("{P}"); at != std::string::npos)
      expected.replace(at, 3, path);
    EXPECT_EQ(outcome, expected) << c.what;
  }
}

TEST(SdmRepairTexts, ListTheFirstFiveUnreadableDataPoints) {
  SdmRepairs r;
  r.dataPoints = 20;
  r.predictors = 3;
  r.unreadable = 5;
  r.firstUnreadable = {1, 2, 3, 4, 20};
  EXPECT_EQ(repairTexts(r),
            std::vector<std::string>{"5 data line(s) unreadable (data points 1, 2, 3, 4, 20), "
                                     "read as 0"});
  r.unreadable = 6;
  r.missingFrom = 20;
  r.namesMissing = 3;
  r.nonFinite = 9;
  r.nonFinitePoints = 6;
  r.firstNonFinite = {2, 3, 5, 8, 13};
  std::vector<std::string> texts;
  for (const Notice& notice : repairNotices("C:\\data/x\\run 1.sdm", r))
    texts.push_back(noticeText(notice));
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "Warning: run 1.sdm: data point 20 missing (the file ends early), read as 0",
                       "Warning: run 1.sdm: 6 data line(s) unreadable (data points 1, 2, 3, 4, "
                       "20, ...), read as 0",
                       "Warning: run 1.sdm: 9 value(s) inf or nan (data points 2, 3, 5, 8, 13, "
                       "...)",
                       "Warning: run 1.sdm: 3 of 3 predictor names missing"}));
}

// Damaged SDM files end to end: build/Tormel logs what the reader repaired right after loading a
// file, refuses a file with more than half of its data points missing or unreadable (and, with
// --strict, any repaired file), and fails fast on headers that promise far more than the file
// holds. Files the writer writes read back without a repair, whatever their counts.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/log_lines.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e_fixtures::finished;
using e2e_fixtures::running;
using testing_support::crlf;
using testing_support::ProcessOptions;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

// An SDM of two predictors and `dataPoints` data points: header, colours, `names` as the names
// line, then `lines`, each ended with CRLF.
std::string sdmFile(int dataPoints, const std::string& names,
                    const std::vector<std::string>& lines) {
  std::string text =
      "FileVersion:            1\n\n"
      "NrOfPredictors:         2\n"
      "NrOfDataPoints:         " +
      std::to_string(dataPoints) +
      "\n"
      "IncludesConstant:       0\n"
      "FirstConfoundPredictor: 3\n\n"
      "255 0 0   0 255 0\n" +
      names + "\n";
  for (const auto& line : lines) text += line + "\n";
  return crlf(text);
}

const std::string kNames = "\"A\" \"B\"";
const std::string kGood = "  1.000000  -2.000000";
const std::string kOther = "  3.000000   0.500000";

struct WarningCase {
  std::string name;
  std::string file;
  std::string warnings;  // the log between the start line and the saved report, {F}: file name
};

void PrintTo(const WarningCase& c, std::ostream* os) { *os << c.name; }

std::string warning(const std::string& text) { return "\nBrindle>  Warning: run.sdm: " + text; }

class RepairWarnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(RepairWarnings, AreLoggedRightAfterLoadingTheFile) {
  TempDir dir;
  writeFile(dir.file("run.sdm"), GetParam().file);
  const ProcessResult result = runTormel({"sdm1corr", dir.file("run.sdm")});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, running + GetParam().warnings + "\nBrindle>  Saved Correlatios to " +
                            dir.file("run.csv") + finished);
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, RepairWarnings,
    ::testing::Values(
        WarningCase{"OneDataPointMissing", sdmFile(3, kNames, {kGood, kOther}),
                    warning("data point 3 missing (the file ends early), read as 0")},
        WarningCase{"DataPointsMissing", sdmFile(5, kNames, {kGood, kOther, kGood}),
                    warning("data points 4 to 5 missing (the file ends early), read as 0")},
        WarningCase{"OneLineUnreadable", sdmFile(3, kNames, {kGood, "  0.500000  NA", kOther}),
                    warning("1 data line(s) unreadable (data points 2), read as 0")},
        // A missing value, "NA", a decimal comma, an empty line, words: six of twelve.
        WarningCase{
            "SixLinesUnreadable",
            sdmFile(12, kNames,
                    {kGood, "  1.000000", "  NA  NA", kOther, "  1,5  2,5", "", kGood, "  x  y",
                     "\t", kOther, kGood, kOther}),
            warning("6 data line(s) unreadable (data points 2, 3, 5, 6, 8, ...), read as 0")},
        // Two predictors over two data points: the warning that no GLM can estimate them follows.
        WarningCase{
            "ANameMissing", sdmFile(2, "\"A\"", {kGood, kOther}),
            warning("1 of 2 predictor names missing") + log_lines::notEstimable("run.sdm", 2, 2)},
        // Half of the data points damaged is still read; one kind of repair per message.
        WarningCase{"EveryKindInItsOrder", sdmFile(4, "\"A\"", {kGood, "", kOther}),
                    warning("data point 4 missing (the file ends early), read as 0") +
                        warning("1 data line(s) unreadable (data points 2), read as 0") +
                        warning("1 of 2 predictor names missing")},
        // NaN and the infinities as the writer writes them are read, and told: no design holds
        // them as a number.
        WarningCase{"WrittenNanAndInfinities",
                    sdmFile(3, kNames, {"  0.500000  nan", "  inf  -1.000000", "  1.000000  -inf"}),
                    warning("3 value(s) inf or nan (data points 1, 2, 3)")}),
    [](const ::testing::TestParamInfo<WarningCase>& param) { return param.param.name; });

// The refusal and "strict": the file is refused before anything is written or logged.
struct RefusalCase {
  std::string name;
  std::string file;
  std::vector<std::string> options;
  std::string reason;  // the text in parentheses after the path
  std::string fileName = "run.sdm";
  std::string kind = "SDM";
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusedFiles : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedFiles, AreRefusedBeforeAnyOutput) {
  TempDir dir;
  const std::string path = dir.file(GetParam().fileName);
  writeFile(path, GetParam().file);
  std::vector<std::string> args = {"sdm1corr", path};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  const ProcessResult result = runTormel(args);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "[message] Error: Damaged " + GetParam().kind + " file: " + path + " (" +
                            GetParam().reason + ")\n");
  EXPECT_EQ(result.out, running + finished);
  EXPECT_FALSE(fs::exists(dir.file("run.csv")));
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, RefusedFiles,
    ::testing::Values(RefusalCase{"MoreThanHalfMissingOrUnreadable",
                                  sdmFile(4, kNames, {kGood, ""}),
                                  {},
                                  "3 of 4 data points missing or unreadable"},
                      RefusalCase{"NoDataLineAtAll",
                                  sdmFile(3, kNames, {}),
                                  {},
                                  "3 of 3 data points missing or unreadable"},
                      RefusalCase{"StrictWithADataPointMissing",
                                  sdmFile(3, kNames, {kGood, kOther}),
                                  {"--strict"},
                                  "data point 3 missing (the file ends early), read as 0"},
                      RefusalCase{"StrictWithAnUnreadableLine",
                                  sdmFile(3, kNames, {kGood, "  1,5  2,5", kOther}),
                                  {"--int", "strict=7"},
                                  "1 data line(s) unreadable (data points 2), read as 0"},
                      RefusalCase{"StrictWithANameMissing",
                                  sdmFile(2, "\"A\"", {kGood, kOther}),
                                  {"--strict"},
                                  "1 of 2 predictor names missing"},
                      RefusalCase{"StrictWithAnInfinity",
                                  sdmFile(2, kNames, {kGood, "  -inf  2.000000"}),
                                  {"--strict"},
                                  "1 value(s) inf or nan (data points 2)"},
                      // The refusal of a damaged file comes first, with its count.
                      RefusalCase{"StrictAndMoreThanHalfMissing",
                                  sdmFile(3, kNames, {kGood}),
                                  {"--strict"},
                                  "2 of 3 data points missing or unreadable"},
                      // A header of no predictors and many data points, and no line after it.
                      RefusalCase{"NoPredictorsAndNoDataLines",
                                  "NrOfPredictors: 0\nNrOfDataPoints: 268435456\n"
                                  "FirstConfoundPredictor: 1\n",
                                  {},
                                  "268435456 of 268435456 data points missing or unreadable"},
                      // Confound tables are refused alike.
                      RefusalCase{"TableOfNotAvailableOnly",
                                  "a\tb\nn/a\tn/a\nn/a\tn/a\nn/a\tn/a\n",
                                  {},
                                  "6 of 6 values missing or unreadable",
                                  "run.tsv",
                                  "confound"},
                      RefusalCase{"TableOfTextOnly",
                                  "a,b\nx,y\nz,w\n",
                                  {"--strict"},
                                  "4 of 4 values missing or unreadable",
                                  "table.csv",
                                  "confound"},
                      RefusalCase{"StrictTableWithOneUnreadableCell",
                                  "a\tb_derivative1\n1\tn/a\n3\tx\n",
                                  {"--strict"},
                                  "1 of 4 values missing or unreadable",
                                  "run.tsv",
                                  "confound"}),
    [](const ::testing::TestParamInfo<RefusalCase>& param) { return param.param.name; });

TEST(DamagedFiles, StrictLetsAnUndamagedFileThroughAndZeroMeansOff) {
  TempDir dir;
  writeFile(dir.file("clean.sdm"), sdmFile(2, kNames, {kGood, kOther}));
  writeFile(dir.file("run.sdm"), sdmFile(3, kNames, {kGood, kOther}));
  EXPECT_EQ(runTormel({"sdm1corr", dir.file("clean.sdm"), "--strict"}).exitCode, 0);
  const ProcessResult off = runTormel({"sdm1corr", dir.file("run.sdm"), "--int", "strict=0"});
  EXPECT_EQ(off.exitCode, 0) << off.err;
  EXPECT_EQ(off.out, running + warning("data point 3 missing (the file ends early), read as 0") +
                         "\nBrindle>  Saved Correlatios to " + dir.file("run.csv") + finished);
  // A derivative's first "n/a" is no damage, even to strict.
  writeFile(dir.file("conf.tsv"), "a\tb_derivative1\n1\tn/a\n3\t2\n4\t1\n");
  const ProcessResult table = runTormel({"sdm1corr", dir.file("conf.tsv"), "--strict"});
  EXPECT_EQ(table.exitCode, 0) << table.err;
}

// Each file's warnings follow its own loading: the secondaries in order, then the primary.
TEST(DamagedFiles, MergesWarnAboutEachFileAsTheyLoadIt) {
  TempDir dir;
  writeFile(dir.file("task.sdm"), sdmFile(3, "\"T\"", {kGood, kOther, kGood}));
  writeFile(dir.file("s1.sdm"), sdmFile(3, kNames, {kGood, kOther}));
  writeFile(dir.file("s2.sdm"), sdmFile(3, kNames, {kGood, "", kOther}));
  const ProcessResult result = runTormel({"mergeall", dir.file("task.sdm"), dir.file("s1.sdm"),
                                          dir.file("s2.sdm"), "--save-into", dir.path().string()});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(
      result.out,
      running + "\nBrindle>  Start merging process of primary with every secondary sdm" +
          "\nBrindle>  Warning: s1.sdm: data point 3 missing (the file ends early), read as 0" +
          "\nBrindle>  Warning: s2.sdm: 1 data line(s) unreadable (data points 2), read as 0" +
          "\nBrindle>  Warning: task.sdm: 1 of 2 predictor names missing" + "\nBrindle>  Saved " +
          dir.file("task_s1.sdm") + log_lines::notEstimable("task_s1.sdm", 4, 3) +
          "\nBrindle>  Saved " + dir.file("task_s2.sdm") +
          log_lines::notEstimable("task_s2.sdm", 4, 3) + finished);
}

// Headers of a few bytes that promise a million predictors or a hundred million data points:
// refused at once, nothing the size of the promise is made.
TEST(DamagedFiles, HostileHeadersFailWithinASecondAndSixtyFourMebibytes) {
  const struct {
    const char* header;
    const char* reason;
  } cases[] = {
      {"NrOfPredictors: 1048576\r\nNrOfDataPoints: 1\r\nFirstConfoundPredictor: 1\r\n",
       "1 of 1 data points missing or unreadable"},
      {"NrOfPredictors: 2\r\nNrOfDataPoints: 134217728\r\nFirstConfoundPredictor: 3\r\n",
       "134217728 of 134217728 data points missing or unreadable"},
  };
  TempDir dir;
  const std::string path = dir.file("hostile.sdm");
  for (const auto& c : cases) {
    writeFile(path, c.header);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"sdm1corr", path},
          std::vector<std::string>{"mergesec", path, path, "--save-into", dir.path().string()}}) {
      const auto start = std::chrono::steady_clock::now();
      const ProcessResult result = runTormel(args);
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
      EXPECT_EQ(result.err, "[message] Error: Damaged SDM file: " + path + " (" + c.reason + ")\n");
      EXPECT_LT(elapsed.count(), 1.0) << args[0] << ", " << c.header;
      EXPECT_LT(result.peakRssKb, 64 * 1024) << args[0] << ", " << c.header;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  }
}

// The writer puts an empty line per data point in a file without predictors: that file reads
// back, however many lines it has (a million once ran the reader past its colours' bound); one
// whose lines are missing is damaged like any other.
TEST(WrittenFiles, WithoutPredictorsReadBackWhateverTheirDataPoints) {
  TempDir dir;
  for (const int dataPoints : {300000, 1000000}) {
    const std::string count = std::to_string(dataPoints);
    const std::string header = "NrOfPredictors: 0 NrOfDataPoints: " + count;
    // The header, a blank line, the empty colours and names lines, an empty line a data point.
    writeFile(dir.file("a.sdm"), header + " FirstConfoundPredictor: 1\n\n\n\n" +
                                     std::string(static_cast<std::size_t>(dataPoints), '\n'));
    const std::string written = dir.file("written.sdm");
    ASSERT_EQ(
        runTormel({"mergesec", dir.file("a.sdm"), dir.file("a.sdm"), "--save", written}).exitCode,
        0);
    std::string expected =
        "NrOfPredictors: 0\r\nNrOfDataPoints: " + count + "\r\nFirstConfoundPredictor: 1\r\n\r\n";
    for (int line = 0; line < dataPoints + 2; ++line) expected += "\r\n";
    ASSERT_EQ(readFile(written), expected);
    const ProcessResult again = runTormel({"sdm1corr", written, "--strict"});
    EXPECT_EQ(again.err, "") << count;
    EXPECT_EQ(again.out,
              running + "\nBrindle>  Saved Correlatios to " + dir.file("written.csv") + finished);
  }
}

// Two files of 524,289 predictors merge into more than the reader takes: the merge fails before
// it offers the result, with the reason.
TEST(WrittenFiles, AMergeBeyondTheReadersLimitsFailsBeforeSaving) {
  TempDir dir;
  std::string file = "NrOfPredictors: 524289 NrOfDataPoints: 0 FirstConfoundPredictor: 1\r\n\r\n";
  for (int p = 0; p < 524289; ++p) file += p == 0 ? "\"p\"" : " \"p\"";
  file += "\r\n";
  writeFile(dir.file("a.sdm"), file);
  writeFile(dir.file("b.sdm"), file);
  const ProcessResult result =
      runTormel({"mergesec", dir.file("a.sdm"), dir.file("b.sdm"), "--trace"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err.find("tmGetSaveFileName"), std::string::npos) << "a save dialog was shown";
  const std::string message = "[message] Error: Cannot save " + dir.file("a_b.sdm") +
                              ": 1048578 predictors, more than an SDM file may hold (1048576)\n";
  EXPECT_NE(result.err.find(message), std::string::npos)
      << result.err.substr(result.err.size() - 300);
  EXPECT_FALSE(fs::exists(dir.file("a_b.sdm")));
}

// Running out of memory shows a plain message, not the name of an exception class.
TEST(WrittenFiles, RunningOutOfMemoryShowsNotEnoughMemory) {
#ifdef BRINDLE_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
  // 16,384 x 16,384 values (1 GiB) behind a header whose file is long enough to hold them
  // (sparse: it costs no disk); the process may map 512 MiB.
  TempDir dir;
  const std::string path = dir.file("big.sdm");
  writeFile(path,
            "NrOfPredictors: 16384 NrOfDataPoints: 16384 FirstConfoundPredictor: 1\r\n"
            "\r\n\"a\"\r\n");
  fs::resize_file(path, std::uintmax_t{4} << 30);
  ProcessOptions options;
  options.addressSpaceLimit = 512L << 20;
  const ProcessResult result = runTormel({"sdm1corr", path}, options);
  EXPECT_EQ(result.err, "[message] Error: Not enough memory\n");
  EXPECT_EQ(result.exitCode, 1);
}

}  // namespace

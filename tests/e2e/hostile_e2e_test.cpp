// Hostile SDM files end to end: build/Tormel merges a good file with a truncated, corrupt,
// garbage or gigabyte-sized one. Each either loads to exactly what the format's tolerances
// say (the saved merge is compared byte for byte) or fails with the reader's message, fast and
// without holding more memory than a tiny merge does.

#include <gtest/gtest.h>

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
using e2e_fixtures::startSec;
using testing_support::crlf;
using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::runTormel;
using testing_support::TempDir;
using testing_support::writeFile;

// The good first file of every merge: one predictor "A", no confound.
const std::string kFirst = crlf(
    "NrOfPredictors:         1\n"
    "NrOfDataPoints:         3\n"
    "FirstConfoundPredictor: 2\n"
    "\n"
    "7 7 7\n"
    "\"A\"\n"
    "  0.100000\n"
    "  0.200000\n"
    "  0.300000\n");

// The file that is cut short, as the writer writes it.
const std::string kSecond = crlf(
    "FileVersion:            1\n"
    "\n"
    "NrOfPredictors:         2\n"
    "NrOfDataPoints:         3\n"
    "IncludesConstant:       0\n"
    "FirstConfoundPredictor: 3\n"
    "\n"
    "10 20 30   40 50 60\n"
    "\"B\" \"C\"\n"
    "  0.500000  -0.250000\n"
    "  1.500000   2.000000\n"
    " -1.000000   0.750000\n");

// The merge of kFirst with what the reader took from the second file.
std::string merged(const std::string& colours, const std::string& names, const std::string& rows) {
  return crlf(
      "NrOfPredictors:         3\n"
      "NrOfDataPoints:         3\n"
      "FirstConfoundPredictor: 4\n"
      "\n"
      "7 7 7   " +
      colours +
      "\n"
      "\"A\" " +
      names + "\n" + rows);
}

const std::string kZeroRows =
    "  0.100000   0.000000   0.000000\n"
    "  0.200000   0.000000   0.000000\n"
    "  0.300000   0.000000   0.000000\n";
const std::string kFullRows =
    "  0.100000   0.500000  -0.250000\n"
    "  0.200000   1.500000   2.000000\n"
    "  0.300000  -1.000000   0.750000\n";

struct CutCase {
  std::string name;
  std::string bytes;          // the second file
  std::string expected;       // the saved merge, or "Error: ..." ({S} for the second file's path)
  std::string warnings = "";  // logged right after the second file was loaded
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

// kSecond up to (and without) the first occurrence of `marker`, or up to its end with `keep`.
std::string upTo(const std::string& marker, bool keep = false) {
  const auto at = kSecond.find(marker);
  return kSecond.substr(0, at + (keep ? marker.size() : 0));
}

std::string without(const std::string& text, char dropped) {
  std::string out;
  for (char c : text) {
    if (c != dropped) out += c;
  }
  return out;
}
std::string withoutCarriageReturns(const std::string& text) { return without(text, '\r'); }
std::string withoutLineFeeds(const std::string& text) { return without(text, '\n'); }

class HostileFiles : public ::testing::TestWithParam<CutCase> {
 protected:
  TempDir dir;
};

// The peak memory of a merge of two tiny files, in KiB: what every refusal stays close to.
long tinyMergeKb() {
  static const long peak = [] {
    TempDir dir;
    writeFile(dir.file("first.sdm"), kFirst);
    return runTormel({"mergesec", dir.file("first.sdm"), dir.file("first.sdm"), "--cancel-all"})
        .peakRssKb;
  }();
  return peak;
}

// mergesec first.sdm second.sdm --save out.sdm, then the outcome. A refused file costs no
// more memory than a tiny merge and a few MiB: counts are checked before anything is made.
void expectMerge(const TempDir& dir, const std::string& expected,
                 const std::string& warnings = "") {
  const std::string second = dir.file("second.sdm");
  const ProcessResult result =
      runTormel({"mergesec", dir.file("first.sdm"), second, "--save", dir.file("out.sdm")});
  if (expected.rfind("Error: ", 0) == 0) {
    std::string message = expected;
    if (const auto at = message.find("{S}"); at != std::string::npos)
      message.replace(at, 3, second);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "[message] " + message + "\n");
    EXPECT_EQ(result.out, startSec + finished);
    EXPECT_FALSE(fs::exists(dir.file("out.sdm")));
    EXPECT_LT(result.peakRssKb, tinyMergeKb() + 16 * 1024)
        << "tiny merge " << tinyMergeKb() << " KiB";
  } else {
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // Every merge saved here holds three predictors over three data points.
    EXPECT_EQ(result.out, startSec + warnings + "\nBrindle>  Saved " + dir.file("out.sdm") +
                              log_lines::notEstimable("out.sdm", 3, 3) + finished);
    EXPECT_EQ(readFile(dir.file("out.sdm")), expected);
  }
}

TEST_P(HostileFiles, LoadAsTheTolerancesSayOrFailWithTheReadersMessage) {
  const CutCase& c = GetParam();
  writeFile(dir.file("first.sdm"), kFirst);
  writeFile(dir.file("second.sdm"), c.bytes);
  expectMerge(dir, c.expected, c.warnings);
}

const std::string kInvalidHeader = "Error: Invalid SDM header in {S}";
const std::string kHeader2x3 = "NrOfPredictors: 2 NrOfDataPoints: 3 FirstConfoundPredictor: 3\n";

// A file cut short loses data points; when more than half of them are gone it is refused.
const std::string kDamaged =
    "Error: Damaged SDM file: {S} (3 of 3 data points missing or unreadable)";

INSTANTIATE_TEST_SUITE_P(
    TruncatedAtEverySection, HostileFiles,
    ::testing::Values(
        CutCase{"Complete", kSecond, merged("10 20 30   40 50 60", "\"B\" \"C\"", kFullRows)},
        CutCase{"InsideTheHeader", upTo("FirstConfoundPredictor:"), kInvalidHeader},
        CutCase{"BeforeTheLastHeaderValue", upTo("3\r\n\r\n10"), kInvalidHeader},
        CutCase{"AfterTheHeader", upTo("\r\n\r\n10"), kDamaged},
        CutCase{"InsideTheColours", upTo(" 60"), kDamaged},
        CutCase{"AfterTheColours", upTo("\"B\""), kDamaged},
        CutCase{"InsideTheNames", upTo(" \"C\""), kDamaged},
        CutCase{"AfterTheNames", upTo("  0.5"), kDamaged},
        // A value cut inside its decimals reads as the digits that are there.
        CutCase{"InsideTheFirstDataLine", upTo("50000\r\n  1.5"),
                "Error: Damaged SDM file: {S} (2 of 3 data points missing or unreadable)"},
        CutCase{"AfterTheFirstDataLine", upTo("  1.5"),
                "Error: Damaged SDM file: {S} (2 of 3 data points missing or unreadable)"},
        CutCase{"AfterTheSecondDataLine", upTo(" -1.0"),
                merged("10 20 30   40 50 60", "\"B\" \"C\"",
                       "  0.100000   0.500000  -0.250000\n"
                       "  0.200000   1.500000   2.000000\n"
                       "  0.300000   0.000000   0.000000\n"),
                "\nBrindle>  Warning: second.sdm: data point 3 missing (the file ends early), read "
                "as 0"},
        CutCase{"WithoutTheLastLineEnd", kSecond.substr(0, kSecond.size() - 2),
                merged("10 20 30   40 50 60", "\"B\" \"C\"", kFullRows)},
        CutCase{"WithLineFeedsOnly", withoutCarriageReturns(kSecond),
                merged("10 20 30   40 50 60", "\"B\" \"C\"", kFullRows)},
        // Carriage returns alone end no line: the names line runs to the end of the file.
        CutCase{"WithCarriageReturnsOnly", withoutLineFeeds(kSecond), kDamaged},
        CutCase{"Empty", "", kInvalidHeader}),
    [](const ::testing::TestParamInfo<CutCase>& param) { return param.param.name; });

INSTANTIATE_TEST_SUITE_P(
    CorruptHeaders, HostileFiles,
    ::testing::Values(
        CutCase{"WithoutFirstConfoundPredictor",
                "NrOfPredictors: 2\r\nNrOfDataPoints: 3\r\nIncludesConstant: 0\r\n\r\n10 20 30   "
                "40 50 60\r\n"
                "\"B\" \"C\"\r\n  0.500000  -0.250000\r\n",
                kInvalidHeader},
        CutCase{"WithoutNrOfPredictors", "NrOfDataPoints: 3 FirstConfoundPredictor: 3\n",
                kInvalidHeader},
        CutCase{"NegativePredictors",
                "NrOfPredictors: -1 NrOfDataPoints: 3 FirstConfoundPredictor: 3\n", kInvalidHeader},
        CutCase{"NegativeDataPoints",
                "NrOfPredictors: 2 NrOfDataPoints: -3 FirstConfoundPredictor: 3\n", kInvalidHeader},
        CutCase{"LargestIntegerOfPredictors",
                "NrOfPredictors: 2147483647 NrOfDataPoints: 3 FirstConfoundPredictor: 3\n",
                kInvalidHeader},
        CutCase{"LargestIntegerOfDataPoints",
                "NrOfPredictors: 2 NrOfDataPoints: 2147483647 FirstConfoundPredictor: 3\n",
                kInvalidHeader},
        CutCase{"MatrixOfFourGigaValues",
                "NrOfPredictors: 65536 NrOfDataPoints: 65536 FirstConfoundPredictor: 3\n",
                kInvalidHeader},
        CutCase{"CountBeyondThirtyTwoBits",
                "NrOfPredictors: 99999999999 NrOfDataPoints: 3 FirstConfoundPredictor: 3\n",
                kInvalidHeader},
        CutCase{
            "ConstantFlagOfTwo",
            "NrOfPredictors: 2 NrOfDataPoints: 3 IncludesConstant: 2 FirstConfoundPredictor: 3\n",
            kInvalidHeader},
        CutCase{"HeaderLongerThanItsBound",
                "NrOfPredictors: 2 NrOfDataPoints: 3" + std::string(1 << 20, ' ') +
                    "FirstConfoundPredictor: 3\n",
                kInvalidHeader},
        CutCase{"ColoursLongerThanTheirBound",
                kHeader2x3 + "10" + std::string(2 << 20, ' ') + "20 30\n",
                "Error: Invalid SDM colours in {S}"},
        CutCase{"DataFieldWithoutANumber",
                kHeader2x3 + "1 2 3 4 5 6\n\"B\" \"C\"\n  x.500000   1.000000\n",
                "Error: Not a number in {S}, data line 1: 'x.500000'"},
        CutCase{"DataNumberBeyondTheDoubleRange",
                kHeader2x3 + "1 2 3 4 5 6\n\"B\" \"C\"\n  1.0e999   1.000000\n",
                "Error: Number out of range in {S}, data line 1: '1.0e999'"}),
    [](const ::testing::TestParamInfo<CutCase>& param) { return param.param.name; });

// Bytes from a fixed generator (splitmix64), the same on every run.
std::string garbage(std::size_t size, uint64_t seed) {
  std::string bytes;
  uint64_t state = seed;
  while (bytes.size() < size) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (int i = 0; i < 8 && bytes.size() < size; ++i) bytes += static_cast<char>(z >> (8 * i));
  }
  return bytes;
}

TEST(HostileGarbage, BinaryBytesAreAnInvalidHeader) {
  TempDir dir;
  writeFile(dir.file("first.sdm"), kFirst);
  writeFile(dir.file("second.sdm"), garbage(65536, 1));
  expectMerge(dir, kInvalidHeader);
}

// Behind a valid header, garbage may load (as zeros and "NoName") or fail with one of the
// reader's messages; it never crashes, and a sanitized build reports nothing.
TEST(HostileGarbage, BinaryBytesBehindAValidHeaderNeverCrash) {
  TempDir dir;
  writeFile(dir.file("first.sdm"), kFirst);
  const std::string second = dir.file("second.sdm");
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    std::string bytes = garbage(4096, seed);
    // Line feeds and points now and then, so that data lines with values turn up.
    for (std::size_t i = 0; i < bytes.size(); i += 37) bytes[i] = i % 3 == 0 ? '\n' : '.';
    writeFile(second, kHeader2x3 + bytes);
    const ProcessResult result =
        runTormel({"mergesec", dir.file("first.sdm"), second, "--save", dir.file("out.sdm")});
    ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 1)
        << "seed " << seed << ": " << result.err;
    if (result.exitCode == 1) {
      const auto startsWith = [&](const std::string& start) {
        return result.err.rfind("[message] Error: " + start + second, 0) == 0;
      };
      EXPECT_TRUE(startsWith("Damaged SDM file: ") || startsWith("Not a number in ") ||
                  startsWith("Number out of range in ") ||
                  result.err == "[message] Error: Line too long in " + second + "\n")
          << "seed " << seed << ": " << result.err;
    } else {
      EXPECT_EQ(result.err, "") << "seed " << seed;
    }
  }
}

// The file sizes below cost no disk: the bytes past the start are a hole of zeros.
constexpr std::uintmax_t kFourGiB = std::uintmax_t{4} << 30;

struct SparseCase {
  std::string name;
  std::string start;     // what the file holds before gigabytes of zero bytes
  std::string expected;  // as for CutCase
};

void PrintTo(const SparseCase& c, std::ostream* os) { *os << c.name; }

class GigabyteFiles : public ::testing::TestWithParam<SparseCase> {};

// Loading must stop at a bound, not read gigabytes: the child may hold no more than a tiny
// merge does plus a few MiB (the longest line the bounds allow here is about 1 MiB).
TEST_P(GigabyteFiles, LoadOrFailWithinTheMemoryOfATinyMerge) {
  const SparseCase& c = GetParam();
  TempDir dir;
  writeFile(dir.file("first.sdm"), kFirst);
  writeFile(dir.file("second.sdm"), kSecond);
  const ProcessResult tiny = runTormel(
      {"mergesec", dir.file("first.sdm"), dir.file("second.sdm"), "--save", dir.file("tiny.sdm")});
  ASSERT_EQ(tiny.exitCode, 0) << tiny.err;
  fs::remove(dir.file("tiny.sdm"));

  writeFile(dir.file("second.sdm"), c.start);
  fs::resize_file(dir.file("second.sdm"), kFourGiB);
  const std::string second = dir.file("second.sdm");
  const ProcessResult result =
      runTormel({"mergesec", dir.file("first.sdm"), second, "--save", dir.file("out.sdm")});
  if (c.expected.rfind("Error: ", 0) == 0) {
    std::string message = c.expected;
    if (const auto at = message.find("{S}"); at != std::string::npos)
      message.replace(at, 3, second);
    EXPECT_EQ(result.err, "[message] " + message + "\n");
    EXPECT_EQ(result.exitCode, 1);
  } else {
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(dir.file("out.sdm")), c.expected);
  }
  EXPECT_LT(result.peakRssKb, tiny.peakRssKb + 16 * 1024)
      << "tiny merge " << tiny.peakRssKb << " KiB, this one " << result.peakRssKb << " KiB";
}

INSTANTIATE_TEST_SUITE_P(
    Sparse, GigabyteFiles,
    ::testing::Values(
        SparseCase{"HeaderThatNeverEnds", "NrOfPredictors: 2\r\nNrOfDataPoints: 3\r\n",
                   kInvalidHeader},
        SparseCase{"NamesLineThatNeverEnds", upTo("\"B\""), "Error: Line too long in {S}"},
        SparseCase{"DataLineThatNeverEnds", upTo("  1.5"), "Error: Line too long in {S}"},
        SparseCase{"GigabytesAfterTheLastDataLine", kSecond,
                   merged("10 20 30   40 50 60", "\"B\" \"C\"", kFullRows)}),
    [](const ::testing::TestParamInfo<SparseCase>& param) { return param.param.name; });

}  // namespace

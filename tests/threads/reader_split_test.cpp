// The reader converts its data lines in parts on all threads: the values, the unreadable lines
// (their count and the first five, in the warnings) and the errors are those of one thread,
// with unreadable lines at the parts' edges and at the edge of the batches the lines are read
// in.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/io_error.h"
#include "base/parallel.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_repairs.h"
#include "support/sdm_text.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

const std::size_t threadCounts[] = {1, 2, 7};

// A data line in the writer's layout: K values of ten characters each.
std::string dataLine(std::size_t k, std::size_t t) {
  std::string line;
  char value[32];
  for (std::size_t p = 0; p < k; ++p) {
    const double x = static_cast<double>((t * 7919 + p * 104729) % 200001) / 1000.0 - 100.0;
    std::snprintf(value, sizeof value, " %9.6f", x);
    line += value;
  }
  return line;
}

// Unreadable forms a data line takes in the wild, by turns.
std::string damaged(std::size_t k, std::size_t t) {
  switch (t % 4) {
    case 0:
      return "";
    case 1:
      return dataLine(k, t).replace(3, 2, "NA");
    case 2: {
      std::string line = dataLine(k, t);
      line[line.find('.')] = ',';  // a decimal comma
      return line;
    }
    default:
      return dataLine(k - 1, t);  // a value short
  }
}

// An SDM of K predictors and n data points whose lines `bad` (0-based) are unreadable.
std::string sdmWith(std::size_t k, std::size_t n, const std::vector<std::size_t>& bad) {
  SdmText text;
  for (std::size_t p = 0; p < k; ++p) text.names.push_back("P" + std::to_string(p + 1));
  std::size_t next = 0;
  for (std::size_t t = 0; t < n; ++t) {
    const bool isBad = next < bad.size() && bad[next] == t;
    if (isBad) ++next;
    text.rows.push_back(isBad ? damaged(k, t) : dataLine(k, t));
  }
  return text.text();
}

// The lines at and around every edge of `parts` parts of n lines of about equal length, for
// each count of parts the reader may use with the counts compared here.
std::vector<std::size_t> linesAtPartEdges(std::size_t n) {
  std::vector<bool> chosen(n, false);
  for (const std::size_t parts : {8u, 28u}) {
    for (std::size_t q = 1; q < parts; ++q) {
      const std::size_t edge = n * q / parts;
      for (std::size_t t = edge - 1; t <= edge + 1 && t < n; ++t) chosen[t] = true;
    }
  }
  chosen[0] = chosen[n - 1] = true;
  std::vector<std::size_t> lines;
  for (std::size_t t = 0; t < n; ++t)
    if (chosen[t]) lines.push_back(t);
  return lines;
}

// The file loaded with each thread count.
std::vector<LoadedSdm> loadedWithEachCount(const std::string& path) {
  std::vector<LoadedSdm> loaded;
  for (const std::size_t threads : threadCounts) {
    forceThreadCount(threads);
    loaded.push_back(loadSdm(path, false));
  }
  forceThreadCount(0);
  return loaded;
}

void expectSameAsOneThread(const std::vector<LoadedSdm>& loaded) {
  const LoadedSdm& one = loaded[0];
  for (std::size_t c = 1; c < loaded.size(); ++c) {
    SCOPED_TRACE(std::to_string(threadCounts[c]) + " threads");
    const LoadedSdm& other = loaded[c];
    ASSERT_EQ(other.matrix.values.size(), one.matrix.values.size());
    for (std::size_t p = 0; p < one.matrix.values.size(); ++p) {
      const auto& a = other.matrix.values[p];
      const auto& b = one.matrix.values[p];
      ASSERT_EQ(a.size(), b.size());
      ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0) << "predictor " << p;
    }
    EXPECT_EQ(other.repairs.unreadable, one.repairs.unreadable);
    EXPECT_EQ(other.repairs.firstUnreadable, one.repairs.firstUnreadable);
    EXPECT_EQ(other.repairs.missingFrom, one.repairs.missingFrom);
    EXPECT_EQ(repairTexts(other.repairs), repairTexts(one.repairs));
  }
}

TEST(ThreadsReader, UnreadableLinesAtThePartEdgesGiveTheWarningsOfOneThread) {
  TempDir dir;
  const std::size_t k = 41, n = 1003;  // 41,123 values: read on every thread
  const std::vector<std::size_t> bad = linesAtPartEdges(n);
  writeFile(dir.file("edges.sdm"), sdmWith(k, n, bad));
  const std::vector<LoadedSdm> loaded = loadedWithEachCount(dir.file("edges.sdm"));
  EXPECT_EQ(loaded[0].repairs.unreadable, bad.size());
  EXPECT_EQ(loaded[0].repairs.firstUnreadable,
            (std::vector<std::size_t>{1, bad[1] + 1, bad[2] + 1, bad[3] + 1, bad[4] + 1}));
  EXPECT_EQ(loaded[0].matrix.values[3][bad[1]], 0.0f);
  EXPECT_EQ(loaded[0].matrix.values[3][bad[1] + 3],
            static_cast<float>(std::stod(dataLine(k, bad[1] + 3).substr(30, 10))));
  expectSameAsOneThread(loaded);
}

TEST(ThreadsReader, LinesReadInSeveralBatchesWithUnreadableOnesAtTheirEdgesAndAFileCutShort) {
  TempDir dir;
  // 100 values of ten characters a line: about 1,049 lines fill a batch of 1 MiB.
  const std::size_t k = 100, n = 5001;
  std::vector<std::size_t> bad;
  for (std::size_t edge = 1049; edge < n; edge += 1049) {
    for (std::size_t t = edge - 4; t < edge + 4; t += edge / 1049) bad.push_back(t);
  }
  std::string text = sdmWith(k, n, bad);
  text.resize(text.size() - 3 * (dataLine(k, 0).size() + 2));  // the last three lines gone
  writeFile(dir.file("batches.sdm"), text);
  const std::vector<LoadedSdm> loaded = loadedWithEachCount(dir.file("batches.sdm"));
  EXPECT_EQ(loaded[0].repairs.unreadable, bad.size());
  EXPECT_EQ(loaded[0].repairs.firstUnreadable,
            (std::vector<std::size_t>{1046, 1047, 1048, 1049, 1050}));
  EXPECT_EQ(loaded[0].repairs.missingFrom, n - 2);
  expectSameAsOneThread(loaded);
}

// The message of what loading the file throws with `threads` threads.
std::string failureWith(const std::string& path, std::size_t threads) {
  forceThreadCount(threads);
  std::string what = "nothing thrown";
  try {
    loadSdm(path, false);
  } catch (const std::out_of_range& error) {
    what = std::string("out of range: ") + error.what();
  } catch (const std::invalid_argument& error) {
    what = std::string("invalid: ") + error.what();
  } catch (const IOError& error) {
    what = std::string("IOError: ") + error.what();
  }
  forceThreadCount(0);
  return what;
}

TEST(ThreadsReader, TheFirstFailingLineDecidesTheErrorAsOnOneThread) {
  TempDir dir;
  const std::size_t k = 40, n = 1000;
  const std::string overflow = " 1.0e999" + dataLine(k - 1, 0);  // beyond the range of a double
  const std::string noNumber = dataLine(k - 2, 0) + " 1.5ab.5";  // a cut field without a number
  const std::string tooLong = std::string(7000, ' ') + dataLine(k, 0);
  struct Case {
    std::size_t first, second;
    std::string firstLine, secondLine, expected;
  };
  const Case cases[] = {
      {100, 900, overflow, noNumber, "out of range: stof argument out of range"},
      {130, 870, noNumber, overflow, "invalid: invalid stof argument"},
      {990, 999, noNumber, overflow, "invalid: invalid stof argument"},
      {500, 600, overflow, tooLong, "out of range: stof argument out of range"},
      {500, 600, tooLong, overflow, "IOError: Line too long in " + dir.file("bad.sdm")},
  };
  for (const Case& c : cases) {
    SdmText text;
    for (std::size_t p = 0; p < k; ++p) text.names.push_back("P" + std::to_string(p + 1));
    for (std::size_t t = 0; t < n; ++t)
      text.rows.push_back(t == c.first    ? c.firstLine
                          : t == c.second ? c.secondLine
                                          : dataLine(k, t));
    writeFile(dir.file("bad.sdm"), text.text());
    for (const std::size_t threads : threadCounts) {
      EXPECT_EQ(failureWith(dir.file("bad.sdm"), threads), c.expected)
          << "lines " << c.first << " and " << c.second << ", " << threads << " threads";
    }
  }
}

}  // namespace

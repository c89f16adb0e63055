// The reader converts its data lines in parts on all threads: the values, the unreadable lines
// (their count and the first five, in the warnings) and the errors are those of one thread,
// with unreadable lines at the parts' edges and at the edge of the batches the lines are read
// in.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "sdm/design_matrix.h"
#include "sdm/io_error.h"
#include "sdm/sdm_repairs.h"
#include "support/sdm_text.h"
#include "support/temp_dir.h"
#include "threads/threads_support.h"

using namespace sdm;

namespace {

using testing_support::TempDir;
using testing_support::writeFile;
using threads_support::sameForEveryCount;

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

// Unreadable forms a data line takes in the wild, by turns: empty, "NA", a decimal comma, a
// value short.
std::string damaged(std::size_t k, std::size_t t) {
  std::string line = dataLine(k - (t % 4 == 3 ? 1 : 0), t);
  if (t % 4 == 1) line.replace(3, 2, "NA");
  if (t % 4 == 2) line[line.find('.')] = ',';
  return t % 4 == 0 ? "" : line;
}

// An SDM of K predictors and n data points whose lines `bad` (0-based) are unreadable.
SdmText sdmWith(std::size_t k, std::size_t n, const std::vector<std::size_t>& bad = {}) {
  SdmText text;
  for (std::size_t p = 0; p < k; ++p) text.names.push_back("P" + std::to_string(p + 1));
  for (std::size_t t = 0; t < n; ++t) text.rows.push_back(dataLine(k, t));
  for (const std::size_t t : bad) text.rows[t] = damaged(k, t);
  return text;
}

// The first and last of n lines of about equal length, and those at and around every edge of
// the parts the reader may split them into for the counts compared here.
std::vector<std::size_t> linesAtPartEdges(std::size_t n) {
  std::set<std::size_t> lines = {0, n - 1};
  for (const std::size_t parts : {8u, 28u}) {
    for (std::size_t q = 1; q < parts; ++q) {
      for (std::size_t t = n * q / parts - 1; t <= n * q / parts + 1 && t < n; ++t) lines.insert(t);
    }
  }
  return {lines.begin(), lines.end()};
}

// The file loaded with 1, 2 and 7 threads: the values and repairs of 1 thread every time, which
// it returns.
LoadedSdm loadedAlike(const std::string& path) {
  return sameForEveryCount(
      path, [&] { return loadSdm(path, false); },
      [](const LoadedSdm& l) {
        const SdmRepairs& r = l.repairs;
        std::vector<std::vector<float>> values;
        for (const Predictor& p : l.matrix.predictors) values.push_back(p.values);
        return std::make_tuple(values, r.dataPoints, r.predictors, r.missingFrom, r.unreadable,
                               r.firstUnreadable, r.namesMissing);
      });
}

TEST(ThreadsReader, UnreadableLinesAtThePartEdgesGiveTheWarningsOfOneThread) {
  TempDir dir;
  const std::size_t k = 41, n = 1003;  // 41,123 values: read on every thread
  const std::vector<std::size_t> bad = linesAtPartEdges(n);
  writeFile(dir.file("edges.sdm"), sdmWith(k, n, bad).text());
  const LoadedSdm one = loadedAlike(dir.file("edges.sdm"));
  EXPECT_EQ(one.repairs.unreadable, bad.size());
  EXPECT_EQ(one.repairs.firstUnreadable,
            (std::vector<std::size_t>{1, bad[1] + 1, bad[2] + 1, bad[3] + 1, bad[4] + 1}));
  EXPECT_EQ(one.matrix.predictors[3].values[bad[1]], 0.0f);
  EXPECT_EQ(one.matrix.predictors[3].values[bad[1] + 3],
            static_cast<float>(std::stod(dataLine(k, bad[1] + 3).substr(30, 10))));
}

TEST(ThreadsReader, LinesReadInSeveralBatchesWithUnreadableOnesAtTheirEdgesAndAFileCutShort) {
  TempDir dir;
  // 100 values of ten characters a line: about 1,049 lines fill a batch of 1 MiB.
  const std::size_t k = 100, n = 5001;
  std::vector<std::size_t> bad;
  for (std::size_t edge = 1049; edge < n; edge += 1049) {
    for (std::size_t t = edge - 4; t < edge + 4; t += edge / 1049) bad.push_back(t);
  }
  std::string text = sdmWith(k, n, bad).text();
  text.resize(text.size() - 3 * (dataLine(k, 0).size() + 2));  // the last three lines gone
  writeFile(dir.file("batches.sdm"), text);
  const LoadedSdm one = loadedAlike(dir.file("batches.sdm"));
  EXPECT_EQ(one.repairs.unreadable, bad.size());
  EXPECT_EQ(one.repairs.firstUnreadable, (std::vector<std::size_t>{1046, 1047, 1048, 1049, 1050}));
  EXPECT_EQ(one.repairs.missingFrom, n - 2);
}

TEST(ThreadsReader, TheFirstFailingLineDecidesTheErrorAsOnOneThread) {
  TempDir dir;
  const std::string path = dir.file("bad.sdm");
  const std::size_t k = 40, n = 1000;
  const std::string overflow = " 1.0e999" + dataLine(k - 1, 0);  // beyond the range of a double
  const std::string noNumber = dataLine(k - 2, 0) + " 1.5ab.5";  // a cut field without a number
  const std::string tooLong = std::string(7000, ' ') + dataLine(k, 0);
  struct Case {
    std::size_t first, second;
    std::string firstLine, secondLine, expected;
  };
  const std::string outOfRange = "Number out of range in " + path + ", data line ";
  const std::string notANumber = "Not a number in " + path + ", data line ";
  const Case cases[] = {
      {100, 900, overflow, noNumber, outOfRange + "101: '1.0e999'"},
      {130, 870, noNumber, overflow, notANumber + "131: 'ab.5'"},
      {990, 999, noNumber, overflow, notANumber + "991: 'ab.5'"},
      {500, 600, overflow, tooLong, outOfRange + "501: '1.0e999'"},
      {500, 600, tooLong, overflow, "Line too long in " + path},
  };
  // What loading the file throws.
  const auto thrown = [&]() -> std::string {
    try {
      loadSdm(path, false);
    } catch (const IOError& error) {
      return error.what();
    }
    return "nothing thrown";
  };
  for (const Case& c : cases) {
    SdmText text = sdmWith(k, n);
    text.rows[c.first] = c.firstLine;
    text.rows[c.second] = c.secondLine;
    writeFile(path, text.text());
    const std::string lines =
        "lines " + std::to_string(c.first) + " and " + std::to_string(c.second);
    EXPECT_EQ(sameForEveryCount(lines, thrown), c.expected) << lines;
  }
}

}  // namespace

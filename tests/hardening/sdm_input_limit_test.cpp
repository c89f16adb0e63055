// The byte limit of the SDM input, which stops a header or colour section that runs on for
// gigabytes. It is checked once per 64 KiB buffer, so limits on and around the buffer's
// edges matter most.

#include "sdm/sdm_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "sdm/io_error.h"
#include "support/temp_dir.h"

using namespace sdm;

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

constexpr std::size_t kBuffer = 64 * 1024;

// Bytes consumed with peek/advance until the end of the file or the limit's error.
std::size_t consume(SdmInput& in, bool& stopped) {
  std::size_t consumed = 0;
  stopped = false;
  try {
    while (in.peek() >= 0) {
      in.advance();
      ++consumed;
    }
  } catch (const IOError& error) {
    EXPECT_EQ(std::string(error.what()), "section too long");
    stopped = true;
  }
  return consumed;
}

TEST(SdmInputLimit, StopsAtExactlyTheLimitWhereverItFalls) {
  TempDir dir;
  const std::size_t size = 2 * kBuffer + 100;
  writeFile(dir.file("bytes"), std::string(size, 'x'));
  const std::size_t offsets[] = {0, 1, 10};
  const std::size_t limits[] = {
      0, 1, kBuffer - 11, kBuffer - 10, kBuffer - 9, kBuffer, 2 * kBuffer + 90, size, size + 1};
  for (const std::size_t offset : offsets) {
    for (const std::size_t limit : limits) {
      SdmInput in(dir.file("bytes"));
      for (std::size_t i = 0; i < offset; ++i) {
        in.peek();
        in.advance();
      }
      in.limit(limit, "section too long");
      bool stopped = false;
      const std::size_t consumed = consume(in, stopped);
      EXPECT_EQ(consumed, std::min(limit, size - offset)) << offset << " + " << limit;
      EXPECT_EQ(stopped, offset + limit < size) << offset << " + " << limit;
    }
  }
}

TEST(SdmInputLimit, UnlimitReadsOnToTheEndAndANewLimitReplacesTheOld) {
  TempDir dir;
  writeFile(dir.file("bytes"), std::string(3 * kBuffer, 'x') + "\nend\n");
  SdmInput in(dir.file("bytes"));
  in.limit(kBuffer, "section too long");
  bool stopped = false;
  EXPECT_EQ(consume(in, stopped), kBuffer);
  EXPECT_TRUE(stopped);
  in.limit(10, "section too long");  // counted from here
  EXPECT_EQ(consume(in, stopped), 10u);
  in.unlimit();
  std::string line;
  ASSERT_TRUE(in.readLine(line, 3 * kBuffer));
  EXPECT_EQ(line.size(), 2 * kBuffer - 10);
  ASSERT_TRUE(in.readLine(line, 10));
  EXPECT_EQ(line, "end");
}

TEST(SdmInputLimit, LinesAndTokensStopAtTheLimitToo) {
  TempDir dir;
  writeFile(dir.file("bytes"), "token " + std::string(kBuffer, 'y') + "\n");
  SdmInput in(dir.file("bytes"));
  in.limit(100, "section too long");
  std::string token;
  ASSERT_TRUE(in.readToken(token, 10));
  EXPECT_EQ(token, "token");
  EXPECT_THROW(in.readToken(token, 10), IOError);
  SdmInput again(dir.file("bytes"));
  again.limit(kBuffer, "section too long");
  std::string line;
  EXPECT_THROW(again.readLine(line, 2 * kBuffer), IOError);
}

}  // namespace

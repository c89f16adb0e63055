#include "host/trml_log.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> received;
void recordLog(const char* text) { received.emplace_back(text); }

class TrmlLogTest : public ::testing::Test {
 protected:
  void SetUp() override { received.clear(); }
};

TEST_F(TrmlLogTest, EachFlushHandsThePendingTextOverInOneCall) {
  TRMLLog log(recordLog);
  log << "\nBrindle"
      << ">  Saved " << 42 << ' ' << 0.5;
  log.flush();
  log << "\nBrindle>  second\nline" << std::endl;
  EXPECT_EQ(received,
            (std::vector<std::string>{"\nBrindle>  Saved 42 0.5", "\nBrindle>  second\nline\n"}));
}

TEST_F(TrmlLogTest, FlushingNothingSendsTheEmptyText) {
  TRMLLog log(recordLog);
  log.flush();
  log.flush();
  EXPECT_EQ(received, (std::vector<std::string>{"", ""}));
}

TEST_F(TrmlLogTest, TwoMessagesWithoutFlushArriveAsOne) {
  TRMLLog log(recordLog);
  log << "\nBrindle>  a";
  log << "\nBrindle>  b";
  log.flush();
  EXPECT_EQ(received, (std::vector<std::string>{"\nBrindle>  a\nBrindle>  b"}));
}

TEST_F(TrmlLogTest, DestructionForwardsPendingTextExactlyOnce) {
  {
    TRMLLog log(recordLog);
    log << "pending";
  }
  EXPECT_EQ(received, (std::vector<std::string>{"pending"}));
}

TEST_F(TrmlLogTest, DestructionRightAfterAFlushSendsTheEmptyTextOnce) {
  {
    TRMLLog log(recordLog);
    log << "x" << std::flush;
  }
  EXPECT_EQ(received, (std::vector<std::string>{"x", ""}));
}

TEST_F(TrmlLogTest, StreamStaysGoodAndFormatsNumbersInTheClassicLocale) {
  struct CommaPoint : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
  {
    TRMLLog log(recordLog);
    log << 1234567 << ' ' << 0.25 << std::flush;
    EXPECT_TRUE(log.good());
  }
  std::locale::global(previous);
  EXPECT_EQ(received.front(), "1234567 0.25");
}

}  // namespace

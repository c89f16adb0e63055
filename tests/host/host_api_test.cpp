#include "host/host_api.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/fake_host.h"

namespace {

using testing_support::FakeHost;

// Every entry of the table with its name, in lookup order.
std::vector<std::pair<std::string, void*>> entries() {
  std::vector<std::pair<std::string, void*>> all;
#define BRINDLE_ENTRY(name, type) all.emplace_back(#name, reinterpret_cast<void*>(HostApi::name));
  BRINDLE_HOST_FUNCTIONS(BRINDLE_ENTRY)
#undef BRINDLE_ENTRY
  return all;
}

void clearTable() {
#define BRINDLE_CLEAR(name, type) HostApi::name = nullptr;
  BRINDLE_HOST_FUNCTIONS(BRINDLE_CLEAR)
#undef BRINDLE_CLEAR
}

class HostApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeHost::get().reset();
    clearTable();
  }
  void TearDown() override { FakeHost::get().reset(); }
};

TEST_F(HostApiTest, TableHas190EntriesStartingWithTheVersionFunction) {
  const auto all = entries();
  ASSERT_EQ(all.size(), 190u);
  EXPECT_EQ(all.front().first, "tmGetVersionOfTormel");
  EXPECT_EQ(all[5].first, "tmLogText");
  EXPECT_EQ(all.back().first, "tmLaunchICADialog");
}

TEST_F(HostApiTest, ResolvesEveryNameOnceInTableOrder) {
  ASSERT_TRUE(resolveHostApi());
  std::vector<std::string> names;
  for (const auto& [name, address] : entries()) {
    names.push_back(name);
    EXPECT_EQ(address, testing_support::fakeExport(name)) << name;
  }
  EXPECT_EQ(FakeHost::get().lookedUp, names);
  EXPECT_EQ(FakeHost::get().moduleQueries, std::vector<std::string>{"Tormel"});
}

TEST_F(HostApiTest, MissingHostModuleFailsAndLeavesTheTableAlone) {
  ASSERT_TRUE(resolveHostApi());
  const auto before = entries();
  FakeHost::get().moduleLoaded = false;
  EXPECT_FALSE(resolveHostApi());
  EXPECT_EQ(entries(), before);
  EXPECT_TRUE(FakeHost::get().calls.empty());
}

TEST_F(HostApiTest, MissingVersionFunctionFailsTouchingOnlyThatEntry) {
  ASSERT_TRUE(resolveHostApi());
  auto expected = entries();
  expected.front().second = nullptr;
  FakeHost::get().lookedUp.clear();
  FakeHost::get().missingNames = {"tmGetVersionOfTormel"};
  EXPECT_FALSE(resolveHostApi());
  EXPECT_EQ(entries(), expected);
  EXPECT_EQ(FakeHost::get().lookedUp, std::vector<std::string>{"tmGetVersionOfTormel"});
}

TEST_F(HostApiTest, AnyOtherMissingNameLeavesJustThatEntryEmpty) {
  FakeHost::get().missingNames = {"tmLaunchICADialog"};
  ASSERT_TRUE(resolveHostApi());
  for (const auto& [name, address] : entries()) {
    if (name == "tmLaunchICADialog")
      EXPECT_EQ(address, nullptr);
    else
      EXPECT_NE(address, nullptr) << name;
  }
}

TEST_F(HostApiTest, SecondResolveLooksEverythingUpAgainAndOverwrites) {
  ASSERT_TRUE(resolveHostApi());
  FakeHost::get().missingNames = {"tmLogText"};
  ASSERT_TRUE(resolveHostApi());
  EXPECT_EQ(FakeHost::get().lookedUp.size(), 380u);
  EXPECT_EQ(HostApi::tmLogText, nullptr);
}

}  // namespace

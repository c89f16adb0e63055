// Nothing unwinds into the host: every entry of the plug-in, driven into a failure (memory
// running out, a host call that throws), returns its failure value or shows an error, and the
// test process (standing in for the host) goes on.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/plugin_deleter.h"
#include "plugin/brindle.h"
#include "support/failing_allocation.h"
#include "support/fake_host.h"
#include "support/log_lines.h"

extern "C" TRMLPluginInterface* createPlugin();

namespace {

using testing_support::failAllocations;
using testing_support::FakeHost;
using Calls = std::vector<std::string>;

class ExceptionSafety : public ::testing::Test {
 protected:
  void SetUp() override { FakeHost::get().reset(); }
  void TearDown() override {
    failAllocations(false);
    FakeHost::get().reset();
  }
  static Calls& calls() { return FakeHost::get().calls; }
};

TEST_F(ExceptionSafety, CreatePluginReturnsNullWhenMemoryRunsOut) {
  failAllocations(true);
  TRMLPluginInterface* plugin = createPlugin();
  failAllocations(false);
  EXPECT_EQ(plugin, nullptr);
  PluginPointer owned(plugin);
}

struct InitCase {
  const char* name;
  std::string throwIn;  // the host call that throws ("" for memory running out)
  bool nonStandard;
  Calls expected;
};

class InitPluginFailure : public ExceptionSafety, public ::testing::WithParamInterface<InitCase> {};

TEST_P(InitPluginFailure, ReturnsFalseAfterSayingWhy) {
  const InitCase& c = GetParam();
  FakeHost::get().throwIn = c.throwIn;
  FakeHost::get().throwNonStandard = c.nonStandard;
  FakeHost::get().minor = c.throwIn == "tmMessageBox" ? 7 : 0;  // refused: 3.7 > 2.8 is not
  FakeHost::get().major = c.throwIn == "tmMessageBox" ? 2 : 3;
  brindle plugin;
  failAllocations(c.throwIn.empty());
  const bool result = plugin.initPlugin();
  failAllocations(false);
  EXPECT_FALSE(result);
  EXPECT_EQ(calls(), c.expected);
  calls().clear();
  EXPECT_FALSE(plugin.execute());  // a plug-in that did not start runs nothing
  EXPECT_TRUE(calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitPluginFailure,
    ::testing::Values(
        InitCase{"MemoryRunsOut", "", false, {"tmMessageBox(Error: Not enough memory)"}},
        InitCase{"VersionCallThrows",
                 "tmGetVersionOfTormel",
                 false,
                 {"tmGetVersionOfTormel()", "tmMessageBox(Error: the host call failed)"}},
        InitCase{
            "LogTabCallThrowsSomethingOdd",
            "tmShowLogTab",
            true,
            {"tmGetVersionOfTormel()", "tmShowLogTab()", "tmMessageBox(Error: unknown error)"}},
        InitCase{"RefusalMessageThrows",
                 "tmMessageBox",
                 false,
                 {"tmGetVersionOfTormel()",
                  std::string("tmMessageBox(") + log_lines::versionRefusal + ")",
                  "tmMessageBox(Error: the host call failed)"}}),
    [](const auto& param) { return std::string(param.param.name); });

struct ExecuteCase {
  const char* name;
  std::string throwIn;
  bool nonStandard;
  Calls expected;  // from the read of "task" on
};

class ExecuteFailure : public ExceptionSafety, public ::testing::WithParamInterface<ExecuteCase> {};

TEST_P(ExecuteFailure, ShowsTheErrorAndReturnsTrue) {
  const ExecuteCase& c = GetParam();
  FakeHost::get().stringParameters["task"] = "mergesec";
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  calls().clear();
  FakeHost::get().throwIn = c.throwIn;
  FakeHost::get().throwNonStandard = c.nonStandard;
  failAllocations(c.throwIn.empty());
  const bool result = plugin.execute();
  failAllocations(false);
  EXPECT_TRUE(result);
  EXPECT_EQ(calls(), c.expected);
}

const std::string startLine = std::string("tmLogText(") + log_lines::startMergeSec + ")";

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecuteFailure,
    ::testing::Values(
        ExecuteCase{"MemoryRunsOut", "", false, {"tmMessageBox(Error: Not enough memory)"}},
        ExecuteCase{"ParameterCallThrowsSomethingOdd",
                    "tmGetIntParameter",
                    true,
                    {"tmGetStringParameter(task)", "tmShowBusyCursor()", startLine,
                     "tmGetIntParameter(ztans)", "tmStopBusyCursor()",
                     "tmMessageBox(Error: unknown error)"}},
        // The log stream absorbs what its host function throws; the task goes on.
        ExecuteCase{"LogCallThrows",
                    "tmLogText",
                    false,
                    {"tmGetStringParameter(task)", "tmShowBusyCursor()", startLine,
                     "tmGetIntParameter(ztans)", "tmGetIntParameter(baseline)",
                     "tmGetIntParameter(allcorr)", "tmGetStringParameter(sdms2)",
                     "tmStopBusyCursor()", "tmMessageBox(Error: No secondary SDMs available)"}},
        ExecuteCase{"ErrorMessageItselfThrows",
                    "tmMessageBox",
                    false,
                    {"tmGetStringParameter(task)", "tmShowBusyCursor()", startLine,
                     "tmGetIntParameter(ztans)", "tmGetIntParameter(baseline)",
                     "tmGetIntParameter(allcorr)", "tmGetStringParameter(sdms2)",
                     "tmStopBusyCursor()", "tmMessageBox(Error: No secondary SDMs available)"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ExceptionSafety, DestructorSwallowsAFailingGoodbye) {
  for (const bool nonStandard : {false, true}) {
    FakeHost::get().throwIn.clear();
    auto plugin = std::make_unique<brindle>();
    ASSERT_TRUE(plugin->initPlugin());
    FakeHost::get().throwIn = "tmLogText";
    FakeHost::get().throwNonStandard = nonStandard;
    calls().clear();
    plugin.reset();  // an exception out of here would end the test program
    const std::string goodbye = std::string("tmLogText(") + log_lines::finished + ")";
    EXPECT_EQ(calls(), (Calls{goodbye, goodbye}));  // the flush, then the buffer's last forward
    calls().clear();
  }
}

}  // namespace

#include "plugin/brindle.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/plugin_deleter.h"
#include "support/e2e_fixtures.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

extern "C" {
TRMLPluginInterface* createPlugin();
const char* getPluginName();
const char* getPluginDescription();
const char* getPluginVersion();
const char* getAuthor();
const char* getHelpFile();
const char* getGUIScript();
}

namespace {

using testing_support::FakeHost;
using Calls = std::vector<std::string>;

const std::string running = "tmLogText(\nBrindle>  Running...)";
const std::string finished = "tmLogText(\nBrindle>  Plugin finished!\n)";
const std::string refusal =
    "tmMessageBox(Can not execute this plugin - Tormel version 2.8 or higher required.)";

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { FakeHost::get().reset(); }
  void TearDown() override { FakeHost::get().reset(); }
  Calls& calls() { return FakeHost::get().calls; }
};

TEST_F(PluginTest, MetadataTextsAreTheDocumentedConstants) {
  EXPECT_STREQ(getPluginName(), "Brindle");
  EXPECT_STREQ(getPluginDescription(),
               "Offers 2 ways to efficiently merge SDMs and also check the correlations between "
               "the predictors.");
  EXPECT_STREQ(getPluginVersion(), "1.0");
  EXPECT_STREQ(getAuthor(), "<i>BR</i>");
  EXPECT_STREQ(getHelpFile(), "HelpFolder/index.html");
  EXPECT_STREQ(getGUIScript(), "Brindle.js");
  EXPECT_EQ(getPluginName(), getPluginName());  // the same static text every time
}

TEST_F(PluginTest, CreatedPluginCallsNoHostFunctionUntilInitialised) {
  PluginPointer plugin(createPlugin());
  EXPECT_EQ(static_cast<brindle*>(plugin.get())->logStream, nullptr);
  plugin.reset();
  EXPECT_TRUE(calls().empty());
}

TEST_F(PluginTest, InitialisationChecksTheVersionThenLogsTheStartLine) {
  {
    brindle plugin;
    ASSERT_TRUE(plugin.initPlugin());
  }
  EXPECT_EQ(calls(),
            (Calls{"tmGetVersionOfTormel()", "tmShowLogTab()", running, finished, "tmLogText()"}));
}

struct VersionCase {
  int major, minor, third;
  bool accepted;
};

class VersionCheckTest : public PluginTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionCheckTest, AcceptsTormel280AndLater) {
  const auto version = GetParam();
  FakeHost::get().major = version.major;
  FakeHost::get().minor = version.minor;
  FakeHost::get().third = version.third;
  {
    brindle plugin;
    EXPECT_EQ(plugin.initPlugin(), version.accepted);
  }
  if (version.accepted) {
    EXPECT_EQ(calls(), (Calls{"tmGetVersionOfTormel()", "tmShowLogTab()", running, finished,
                              "tmLogText()"}));
  } else {
    // A refused plug-in keeps its log stream, so it still says goodbye.
    EXPECT_EQ(calls(), (Calls{"tmGetVersionOfTormel()", refusal, finished, "tmLogText()"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionCheckTest,
    ::testing::Values(VersionCase{2, 8, 0, true}, VersionCase{2, 8, 7, true},
                      VersionCase{2, 9, 0, true}, VersionCase{3, 0, 0, true},
                      VersionCase{3, -5, -5, true}, VersionCase{2, 7, 0, false},
                      VersionCase{2, 7, 99, false}, VersionCase{2, 8, -1, false},
                      VersionCase{1, 99, 99, false}, VersionCase{-3, 9, 9, false}));

TEST_F(PluginTest, UnresolvedHostMeansNothingIsShownOrLogged) {
  FakeHost::get().moduleLoaded = false;
  {
    brindle plugin;
    EXPECT_FALSE(plugin.initPlugin());
    EXPECT_EQ(plugin.logStream, nullptr);
    EXPECT_FALSE(plugin.execute());
  }
  EXPECT_TRUE(calls().empty());
}

TEST_F(PluginTest, MissingVersionFunctionMeansNothingIsShownOrLogged) {
  FakeHost::get().missingNames = {"tmGetVersionOfTormel"};
  {
    brindle plugin;
    EXPECT_FALSE(plugin.initPlugin());
  }
  EXPECT_TRUE(calls().empty());
}

TEST_F(PluginTest, ExecuteBeforeInitialisationCallsNoHostFunction) {
  brindle plugin;
  EXPECT_FALSE(plugin.execute());
  FakeHost::get().major = 2;
  FakeHost::get().minor = 7;
  EXPECT_FALSE(plugin.initPlugin());
  calls().clear();
  EXPECT_FALSE(plugin.execute());
  EXPECT_TRUE(calls().empty());
}

TEST_F(PluginTest, SecondInitialisationReplacesTheLogStreamAfterForwardingItsText) {
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  *plugin.logStream << "pending";
  ASSERT_TRUE(plugin.initPlugin());
  EXPECT_EQ(calls(),
            (Calls{"tmGetVersionOfTormel()", "tmShowLogTab()", running, "tmLogText(pending)",
                   "tmGetVersionOfTormel()", "tmShowLogTab()", running}));
  EXPECT_EQ(FakeHost::get().lookedUp.size(), 380u);
}

struct DispatchCase {
  std::string task;
  Calls calls;  // after "tmGetStringParameter(task)"
};

class DispatchTest : public PluginTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(DispatchTest, UnknownTaskNamesRunNothingUnderOneBusyCursor) {
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  calls().clear();
  FakeHost::get().stringParameters["task"] = GetParam().task;
  EXPECT_TRUE(plugin.execute());
  Calls expected{"tmGetStringParameter(task)"};
  expected.insert(expected.end(), GetParam().calls.begin(), GetParam().calls.end());
  EXPECT_EQ(calls(), expected);
}

const Calls busyOnly{"tmShowBusyCursor()", "tmStopBusyCursor()"};
INSTANTIATE_TEST_SUITE_P(TaskNames, DispatchTest,
                         ::testing::Values(DispatchCase{"", busyOnly},
                                           DispatchCase{"Open_sdm", busyOnly},
                                           DispatchCase{"open_sdm ", busyOnly},
                                           DispatchCase{"SDM1CORR", busyOnly},
                                           DispatchCase{"mergeall\n", busyOnly}));

TEST_F(PluginTest, OpenSdmStoresTheChosenPathWithoutBusyCursor) {
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  calls().clear();
  FakeHost::get().stringParameters["task"] = "open_sdm";
  FakeHost::get().openAnswer = "/data/run 1.sdm";
  EXPECT_TRUE(plugin.execute());
  EXPECT_EQ(calls(), (Calls{"tmGetStringParameter(task)",
                            "tmGetOpenFileName(Select an SDM:||Design Matrix (*.sdm))",
                            "tmSetStringParameter(sdmfile|/data/run 1.sdm)"}));
}

TEST_F(PluginTest, OpenSdmStoresTheEmptyTextWhenCancelled) {
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  FakeHost::get().stringParameters["task"] = "open_sdm";
  FakeHost::get().stringParameters["sdmfile"] = "/old/choice.sdm";
  EXPECT_TRUE(plugin.execute());
  EXPECT_EQ(FakeHost::get().callsOf("tmSetStringParameter"),
            Calls{"tmSetStringParameter(sdmfile|)"});
}

TEST_F(PluginTest, FailedTaskStopsTheBusyCursorBeforeShowingTheError) {
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  calls().clear();
  FakeHost::get().stringParameters["task"] = "mergesec";
  EXPECT_TRUE(plugin.execute());
  EXPECT_EQ(calls(),
            (Calls{"tmGetStringParameter(task)", "tmShowBusyCursor()",
                   "tmLogText(\nBrindle>  Start merging process of all secondary sdms)",
                   "tmGetIntParameter(ztans)", "tmGetIntParameter(baseline)",
                   "tmGetIntParameter(allcorr)", "tmGetStringParameter(sdms2)",
                   "tmStopBusyCursor()", "tmMessageBox(Error: No secondary SDMs available)"}));
}

TEST_F(PluginTest, LongTaskNameAndPathsFitTheBuffers) {
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  FakeHost::get().stringParameters["task"] = std::string(4000, 'x');
  EXPECT_TRUE(plugin.execute());
  FakeHost::get().stringParameters["task"] = "open_sdm";
  FakeHost::get().openAnswer = "/" + std::string(4000, 'p');
  EXPECT_TRUE(plugin.execute());
  EXPECT_EQ(FakeHost::get().stringParameters["sdmfile"], FakeHost::get().openAnswer);
}

}  // namespace

// The host learns of refused outputs from the parameter "refused", which a later task of the same
// plug-in object empties again; a task that refuses nothing after one that did not leaves it be.
TEST_F(PluginTest, RefusedOutputsAreToldInTheirParameterUntilATaskRefusesNone) {
  const testing_support::TempDir dir;
  const std::string a = dir.write("a.sdm", e2e_fixtures::collinearSdm);
  const std::string b = dir.write("b.sdm", e2e_fixtures::collinearSdm);
  brindle plugin;
  ASSERT_TRUE(plugin.initPlugin());
  FakeHost& host = FakeHost::get();
  host.stringParameters["task"] = "mergesec";
  host.stringParameters["sdms2"] = a + "\n" + b;
  const std::string answers[] = {a, dir.file("ab.sdm"), dir.file("ab2.sdm")};
  for (const std::string& answer : answers) {
    host.saveAnswers = {answer};
    EXPECT_TRUE(plugin.execute());
  }
  EXPECT_EQ(host.callsOf("tmSetStringParameter"),
            (Calls{"tmSetStringParameter(refused|Cannot Create file: " + a +
                       " (it is an input of this task))",
                   "tmSetStringParameter(refused|)"}));
  EXPECT_EQ(testing_support::readFile(a), e2e_fixtures::collinearSdm);
}

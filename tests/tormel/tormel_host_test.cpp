// The stand-in host's answers to the plug-in, driven in-process: the parameters, the scripted
// file dialogs and the command line. The end-to-end tests cover the program around them.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_state.h"
#include "options.h"

namespace {

using tormel::DialogAnswer;
using tormel::HostSetup;
using tormel::HostState;
using tormel::SavePolicy;

constexpr const char* saveTitle = "Choose a name for saving the resulting SDM";
constexpr const char* filter = "Design Matrix (*.sdm)";

// One in-memory stream (open_memstream) standing in for standard output or error.
class MemoryStream {
 public:
  MemoryStream() : file_(::open_memstream(&data_, &size_)) {}
  ~MemoryStream() {
    std::fclose(file_);
    std::free(data_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  std::FILE* file() const { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

struct Host {
  explicit Host(HostSetup setup) : state(std::move(setup), log.file(), diagnostics.file()) {}
  MemoryStream log;
  MemoryStream diagnostics;
  HostState state;
};

// A plug-in sized buffer that starts with a marker, to see whether the host wrote into it.
std::vector<char> markedBuffer(std::size_t size = tormel::maxListLength + 1) {
  std::vector<char> buffer(size, '\0');
  buffer[0] = '#';
  return buffer;
}

TEST(TormelIntParameter, ReadsWholeNumbersWithBlanksAroundAndZeroForEverythingElse) {
  const struct {
    const char* text;
    int value;
  } cases[] = {
      {"1", 1},
      {" 12 ", 12},
      {"\t-7\r\n", -7},
      {"+3", 3},
      {"0", 0},
      {"", 0},
      {"   ", 0},
      {"abc", 0},
      {"12abc", 0},
      {"1 2", 0},
      {"1.5", 0},
      {"+", 0},
      {"-", 0},
      {"+-4", 0},
      {"2147483647", 2147483647},
      {"2147483648", 0},
      {"-2147483648", -2147483647 - 1},
      {"0x10", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tormel::parseIntParameter(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(TormelHost, ReadsParametersAsTextAndAbsentOnesAsEmptyOrZero) {
  HostSetup setup;
  setup.parameters = {{"task", "open_sdm"}, {"ztans", " 1 "}, {"baseline", "yes"}, {"sdm1", ""}};
  Host host(setup);

  auto buffer = markedBuffer();
  host.state.getStringParameter("task", buffer.data());
  EXPECT_STREQ(buffer.data(), "open_sdm");
  buffer = markedBuffer();
  host.state.getStringParameter("missing", buffer.data());
  EXPECT_STREQ(buffer.data(), "");
  buffer = markedBuffer();
  host.state.getStringParameter("sdm1", buffer.data());
  EXPECT_STREQ(buffer.data(), "");

  EXPECT_EQ(host.state.getIntParameter("ztans"), 1);
  EXPECT_EQ(host.state.getIntParameter("baseline"), 0);
  EXPECT_EQ(host.state.getIntParameter("allcorr"), 0);
  EXPECT_EQ(host.state.getIntParameter("task"), 0);

  host.state.setStringParameter("sdmfile", "/data/run1.sdm");
  EXPECT_EQ(host.state.parameter("sdmfile"), std::optional<std::string>("/data/run1.sdm"));
  EXPECT_EQ(host.state.parameter("never"), std::nullopt);
  EXPECT_EQ(host.log.text(), "");
  EXPECT_EQ(host.diagnostics.text(), "");
}

TEST(TormelHost, AnswersSaveDialogsFromTheQueueThenByThePolicy) {
  const struct {
    const char* name;
    std::deque<DialogAnswer> queue;
    SavePolicy policy;
    std::vector<DialogAnswer> expected;  // for the offers /a/b_c.sdm, /a/d.sdm, C:\x\e.sdm
  } cases[] = {
      {"accept offered", {}, SavePolicy::acceptOffered, {"/a/b_c.sdm", "/a/d.sdm", "C:\\x\\e.sdm"}},
      {"into folder", {}, SavePolicy::intoFolder, {"out/b_c.sdm", "out/d.sdm", "out/e.sdm"}},
      {"cancel all", {}, SavePolicy::cancel, {std::nullopt, std::nullopt, std::nullopt}},
      {"queue first",
       {"/q/one.sdm", std::nullopt},
       SavePolicy::acceptOffered,
       {"/q/one.sdm", std::nullopt, "C:\\x\\e.sdm"}},
      {"queue then folder",
       {std::nullopt},
       SavePolicy::intoFolder,
       {std::nullopt, "out/d.sdm", "out/e.sdm"}},
      {"queue then cancel",
       {"/q/one.sdm", "/q/two.sdm"},
       SavePolicy::cancel,
       {"/q/one.sdm", "/q/two.sdm", std::nullopt}},
  };
  const char* offers[] = {"/a/b_c.sdm", "/a/d.sdm", "C:\\x\\e.sdm"};
  for (const auto& c : cases) {
    HostSetup setup;
    setup.saveAnswers = c.queue;
    setup.savePolicy = c.policy;
    setup.saveFolder = "out/";
    Host host(setup);
    for (std::size_t i = 0; i < 3; ++i) {
      auto buffer = markedBuffer();
      const int chosen = host.state.getSaveFileName(saveTitle, offers[i], filter, buffer.data());
      EXPECT_EQ(chosen != 0, c.expected[i].has_value()) << c.name << ' ' << i;
      // A cancelled dialog leaves the buffer as it was.
      EXPECT_STREQ(buffer.data(), c.expected[i].value_or("#").c_str()) << c.name << ' ' << i;
    }
  }
}

TEST(TormelHost, PutsTheOfferedFileNameIntoTheFolder) {
  const struct {
    const char* folder;
    const char* offered;
    const char* path;
  } cases[] = {
      {"out", "/a/b_c.sdm", "out/b_c.sdm"},
      {"out/", "/a/b_c.sdm", "out/b_c.sdm"},
      {"out//", "b.sdm", "out/b.sdm"},
      {"/", "/a/b.sdm", "/b.sdm"},
      {"out", "C:\\data\\x y.sdm", "out/x y.sdm"},
      {"out", "a\\b/c.sdm", "out/c.sdm"},
      {"out", "/a/folder/", "out/"},
      {"out", "", "out/"},
      {"C:\\res\\", "/a/b.sdm", "C:\\res/b.sdm"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tormel::pathInFolder(c.folder, c.offered), c.path) << c.folder << " + " << c.offered;
  }
}

TEST(TormelHost, AnswersTheOpenDialogInOrderAndCancelsWhenNoAnswerIsLeft) {
  HostSetup setup;
  setup.openAnswers = {"/data/run1.sdm", std::nullopt};
  Host host(setup);
  const std::vector<std::pair<int, std::string>> expected = {
      {1, "/data/run1.sdm"}, {0, "#"}, {0, "#"}};
  for (const auto& [result, text] : expected) {
    auto buffer = markedBuffer();
    EXPECT_EQ(host.state.getOpenFileName("Select an SDM:", "", filter, buffer.data()), result);
    EXPECT_EQ(std::string(buffer.data()), text);
  }
}

TEST(TormelHost, RefusesTextsLongerThanThePluginsBuffers) {
  const std::string longestPath(tormel::maxPathLength, 'p');
  const std::string longestList(tormel::maxListLength, 'l');
  HostSetup setup;
  setup.parameters = {{"sdm1", longestPath},
                      {"task", longestPath + "x"},
                      {"sdms2", longestList},
                      {"events", longestList},
                      {"other", longestList}};
  setup.saveAnswers = {longestPath, longestPath + "x"};
  setup.openAnswers = {longestPath + "x"};
  Host host(setup);

  auto buffer = markedBuffer();
  host.state.getStringParameter("sdm1", buffer.data());
  EXPECT_EQ(std::string(buffer.data()), longestPath);
  host.state.getStringParameter("task", buffer.data());
  EXPECT_STREQ(buffer.data(), "");
  host.state.getStringParameter("sdms2", buffer.data());
  EXPECT_EQ(std::string(buffer.data()), longestList);
  host.state.getStringParameter("events", buffer.data());
  EXPECT_EQ(std::string(buffer.data()), longestList);
  host.state.getStringParameter("other", buffer.data());
  EXPECT_STREQ(buffer.data(), "");

  buffer = markedBuffer();
  EXPECT_EQ(host.state.getSaveFileName(saveTitle, "/a.sdm", filter, buffer.data()), 1);
  EXPECT_EQ(std::string(buffer.data()), longestPath);
  buffer = markedBuffer();
  EXPECT_EQ(host.state.getSaveFileName(saveTitle, "/a.sdm", filter, buffer.data()), 0);
  EXPECT_STREQ(buffer.data(), "#");
  EXPECT_EQ(host.state.getOpenFileName("Select an SDM:", "", filter, buffer.data()), 0);
  EXPECT_STREQ(buffer.data(), "#");

  EXPECT_EQ(host.diagnostics.text(),
            "Tormel: parameter \"task\" holds 4096 bytes, more than the plug-in's buffer takes "
            "(4095); it reads as empty\n"
            "Tormel: parameter \"other\" holds 65535 bytes, more than the plug-in's buffer takes "
            "(4095); it reads as empty\n"
            "Tormel: tmGetSaveFileName: the answer holds 4096 bytes, more than the plug-in's "
            "buffer takes (4095); the dialog is cancelled\n"
            "Tormel: tmGetOpenFileName: the answer holds 4096 bytes, more than the plug-in's "
            "buffer takes (4095); the dialog is cancelled\n");
}

TEST(TormelHost, WritesLogTextUnchangedAndMessageBoxesAsLines) {
  Host host(HostSetup{});
  host.state.logText("\nBrindle>  Running...");
  host.state.logText("");
  host.state.logText("\nBrindle>  Plugin finished!\n");
  host.state.endLog();
  EXPECT_FALSE(host.state.messageShown());
  host.state.messageBox("Error: two\nlines");
  EXPECT_TRUE(host.state.messageShown());
  EXPECT_EQ(host.log.text(), "\nBrindle>  Running...\nBrindle>  Plugin finished!\n\n");
  EXPECT_EQ(host.diagnostics.text(), "[message] Error: two\nlines\n");
}

TEST(TormelHost, TracesEveryCallAsOneLine) {
  HostSetup setup;
  setup.trace = true;
  setup.version = {2, 8, -1};
  setup.parameters = {{"ztans", "1"}};
  setup.saveAnswers = {std::nullopt};
  setup.savePolicy = SavePolicy::intoFolder;
  setup.saveFolder = "/out";
  Host host(setup);
  int major = 0, minor = 0, third = 0;
  host.state.getVersion(&major, &minor, &third);
  EXPECT_EQ(std::vector<int>({major, minor, third}), std::vector<int>({2, 8, -1}));
  host.state.showLogTab();
  host.state.logText("\nBrindle>  Running...");
  host.state.showBusyCursor();
  auto buffer = markedBuffer();
  host.state.getStringParameter("sdm1", buffer.data());
  host.state.getIntParameter("ztans");
  host.state.setStringParameter("sdmfile", "");
  host.state.getOpenFileName("Select an SDM:", "", filter, buffer.data());
  host.state.getSaveFileName(saveTitle, "/a/b_c.sdm", filter, buffer.data());
  host.state.getSaveFileName(saveTitle, "/a/b_c.sdm", filter, buffer.data());
  host.state.messageBox("Error: x");
  host.state.stopBusyCursor();
  host.state.traceLine("[plugin] execute() -> true");
  EXPECT_EQ(host.diagnostics.text(),
            "[host] tmGetVersionOfTormel()\n"
            "[host] tmShowLogTab()\n"
            "[host] tmLogText(\\nBrindle>  Running...)\n"
            "[host] tmShowBusyCursor()\n"
            "[host] tmGetStringParameter(sdm1)\n"
            "[host] tmGetIntParameter(ztans)\n"
            "[host] tmSetStringParameter(sdmfile | )\n"
            "[host] tmGetOpenFileName(Select an SDM: |  | Design Matrix (*.sdm)) -> cancel\n"
            "[host] tmGetSaveFileName(Choose a name for saving the resulting SDM | /a/b_c.sdm | "
            "Design Matrix (*.sdm)) -> cancel\n"
            "[host] tmGetSaveFileName(Choose a name for saving the resulting SDM | /a/b_c.sdm | "
            "Design Matrix (*.sdm)) -> /out/b_c.sdm\n"
            "[host] tmMessageBox(Error: x)\n"
            "[message] Error: x\n"
            "[host] tmStopBusyCursor()\n"
            "[plugin] execute() -> true\n");
  EXPECT_EQ(host.state.busyCursorsShown(), 1);
  EXPECT_EQ(host.state.busyCursorsStopped(), 1);
}

using Parameters = std::map<std::string, std::string>;

TEST(TormelOptions, TurnsTaskWordsAndParameterOptionsIntoParameters) {
  const struct {
    std::vector<std::string> args;
    Parameters parameters;
  } cases[] = {
      {{"open_sdm"}, {{"task", "open_sdm"}}},
      {{"sdm1corr", "a.sdm"}, {{"task", "sdm1corr"}, {"sdm1", "a.sdm"}}},
      {{"mergeall", "p.sdm", "s1.sdm", "s2.sdm", "--ztrans", "--baseline", "--corr"},
       {{"task", "mergeall"},
        {"sdm1", "p.sdm"},
        {"sdms2", "s1.sdm\ns2.sdm"},
        {"ztans", "1"},
        {"baseline", "1"},
        {"allcorr", "1"}}},
      {{"mergeall", "p.sdm"}, {{"task", "mergeall"}, {"sdm1", "p.sdm"}}},
      {{"--baseline", "mergesec", "s1.sdm", "--", "-s2.sdm"},
       {{"task", "mergesec"}, {"sdms2", "s1.sdm\n-s2.sdm"}, {"baseline", "1"}}},
      {{"mergesec", "s1.sdm", "--add", "sdms2=s2.sdm", "--add=sdms2=", "--add", "sdms2=s3.sdm"},
       {{"task", "mergesec"}, {"sdms2", "s1.sdm\ns2.sdm\n\ns3.sdm"}}},
      {{"--task", "nosuch"}, {{"task", "nosuch"}}},
      {{"--task="}, {{"task", ""}}},
      {{"--set", "task=mergesec", "--add", "sdms2=a", "--add", "sdms2=b", "--set",
        "conditioncolumn=y=z"},
       {{"task", "mergesec"}, {"sdms2", "a\nb"}, {"conditioncolumn", "y=z"}}},
      {{"--set", "sdms2=", "--add", "sdms2=a", "--task", "mergesec"},
       {{"task", "mergesec"}, {"sdms2", "\na"}}},
      {{"--int", "ztans=-2", "--task", "t", "--int=allcorr=0"},
       {{"task", "t"}, {"ztans", "-2"}, {"allcorr", "0"}}},
      {{"sdm1corr", "a.sdm", "--set", "sdm1=b.sdm", "--task", "open_sdm"},
       {{"task", "open_sdm"}, {"sdm1", "b.sdm"}}},
      {{"--info"}, {}},
      {{"mergesec", "a", "b", "--plot", "--warn", "1", "--set", "allcorr=1"},
       {{"task", "mergesec"},
        {"sdms2", "a\nb"},
        {"corrplot", "1"},
        {"corrwarn", "1"},
        {"allcorr", "1"}}},
      {{"convert", "in.tsv", "--confounds", "motion24, wm_csf"},
       {{"task", "convert"}, {"sdm1", "in.tsv"}, {"confounds", "motion24, wm_csf"}}},
      {{"mergeall", "p", "s", "--corr", "--contrast", "faces - houses", "--contrast=f = [a, b]",
        "--red-vif", "20", "--red-scrubbed", "0.1"},
       {{"task", "mergeall"},
        {"sdm1", "p"},
        {"sdms2", "s"},
        {"allcorr", "1"},
        {"contrasts", "faces - houses\nf = [a, b]"},
        {"redvif", "20"},
        {"redscrubbed", "0.1"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tormel::parseOptions(c.args).host.parameters, c.parameters) << c.args.front();
  }
}

TEST(TormelOptions, ReadsDialogAnswersVersionAndOutputChoices) {
  const auto options = tormel::parseOptions(
      {"open_sdm",           "--save", "/o/a.sdm", "--save",    "cancel",        "--save=./cancel",
       "--save-into",        ".",      "--open",   "cancel",    "--open",        "/d/x.sdm",
       "--host-version",     "2.8.-1", "--plugin", "/lib/p.so", "--print-param", "sdmfile",
       "--print-param=task", "--trace"});
  EXPECT_EQ(options.host.saveAnswers,
            (std::deque<DialogAnswer>{"/o/a.sdm", std::nullopt, "./cancel"}));
  EXPECT_EQ(options.host.savePolicy, SavePolicy::intoFolder);
  EXPECT_EQ(options.host.saveFolder, ".");
  EXPECT_EQ(options.host.openAnswers, (std::deque<DialogAnswer>{std::nullopt, "/d/x.sdm"}));
  EXPECT_EQ(options.host.version, (std::array<int, 3>{2, 8, -1}));
  EXPECT_EQ(options.pluginPath, "/lib/p.so");
  EXPECT_EQ(options.printParameters, (std::vector<std::string>{"sdmfile", "task"}));
  EXPECT_TRUE(options.host.trace);
  EXPECT_FALSE(options.info);

  const auto defaults = tormel::parseOptions({"open_sdm"});
  EXPECT_EQ(defaults.host.version, (std::array<int, 3>{3, 0, 0}));
  EXPECT_EQ(defaults.host.savePolicy, SavePolicy::acceptOffered);
  EXPECT_TRUE(defaults.pluginPath.empty());
  EXPECT_EQ(tormel::parseOptions({"open_sdm", "--cancel-all"}).host.savePolicy, SavePolicy::cancel);
  EXPECT_TRUE(tormel::parseOptions({"--help"}).help);

  // convert's OUT answers the first save dialog, ahead of every --save.
  EXPECT_EQ(
      tormel::parseOptions({"--save", "cancel", "convert", "a.sdm", "b.tsv"}).host.saveAnswers,
      (std::deque<DialogAnswer>{"b.tsv", std::nullopt}));
}

TEST(TormelOptions, RejectsWrongCommandLinesWithAMessageNamingTheProblem) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{},
       "no task given: name one (open_sdm, sdm1corr, mergeall, mergesec, convert, design) or use "
       "--task NAME"},
      {{"--trace"},
       "no task given: name one (open_sdm, sdm1corr, mergeall, mergesec, convert, design) or use "
       "--task NAME"},
      {{"nosuch"},
       "unknown task \"nosuch\"; the task words are open_sdm, sdm1corr, mergeall, mergesec, "
       "convert and design (--task NAME sends any other name)"},
      {{"design", "--tr", "2"},
       "design wants events files: Tormel design EVENTS.tsv... --tr SECONDS"},
      {{"design", "a_events.tsv", "--volumes", "12.5"},
       "--volumes wants a whole number from 1 to 268435456, not \"12.5\""},
      {{"design", "a_events.tsv", "--tr", "2,5"},
       "--tr wants a number from 0.001 to 100, such as 2, not \"2,5\""},
      {{"design", "a_events.tsv", "--volumes", "12"},
       "design needs --tr SECONDS: the repetition time of its runs"},
      {{"design", "a_events.tsv", "--tr", "2"},
       "design needs --volumes N or --volumes-from FILE: the volumes of its runs"},
      {{"convert"}, "convert takes one file and where to save it: Tormel convert IN [OUT]"},
      {{"convert", "a", "b", "c"},
       "convert takes one file and where to save it: Tormel convert IN [OUT]"},
      {{"open_sdm", "a.sdm"}, "open_sdm takes no files (answer its dialog with --open PATH)"},
      {{"sdm1corr"}, "sdm1corr takes exactly one file: Tormel sdm1corr FILE.sdm"},
      {{"sdm1corr", "a", "b"}, "sdm1corr takes exactly one file: Tormel sdm1corr FILE.sdm"},
      {{"mergeall"}, "mergeall wants a primary SDM: Tormel mergeall PRIMARY.sdm SECONDARY.sdm..."},
      {{"mergesec"}, "mergesec wants secondary SDMs: Tormel mergesec S1.sdm S2.sdm..."},
      {{"open_sdm", "--bogus"}, "unknown option \"--bogus\""},
      {{"open_sdm", "--set", "novalue"}, "--set wants NAME=TEXT, not \"novalue\""},
      {{"open_sdm", "--add", "=x"}, "--add wants NAME=TEXT, not \"=x\""},
      {{"open_sdm", "--int", "ztans=on"}, "--int wants a whole number for ztans, not \"on\""},
      {{"open_sdm", "--int", "ztans="}, "--int wants a whole number for ztans, not \"\""},
      {{"open_sdm", "--save"}, "--save needs a value"},
      {{"open_sdm", "--trace=1"}, "--trace takes no value"},
      {{"open_sdm", "--ztrans=0"}, "--ztrans takes no value"},
      {{"open_sdm", "--host-version", "2.8"},
       "--host-version wants three whole numbers like 3.0.0 or 2.8.-1, not \"2.8\""},
      {{"open_sdm", "--host-version", "2.8.0.1"},
       "--host-version wants three whole numbers like 3.0.0 or 2.8.-1, not \"2.8.0.1\""},
      {{"open_sdm", "--host-version", "2.x.0"},
       "--host-version wants three whole numbers like 3.0.0 or 2.8.-1, not \"2.x.0\""},
      {{"open_sdm", "--save-into", "out", "--cancel-all"},
       "--save-into and --cancel-all exclude each other"},
      {{"open_sdm", "--plugin="}, "--plugin needs a path"},
      {{"mergesec", "a", "b", "--plot"},
       "--plot needs --corr in a merge: the heatmap is drawn beside each result's correlation "
       "report"},
      {{"mergeall", "p", "s", "--warn", "0.8", "--int", "allcorr=0"},
       "--warn needs --corr in a merge: the pairs are listed with each result's correlation "
       "report"},
      {{"--task", "mergeall", "--warn=0.5"},
       "--warn needs --corr in a merge: the pairs are listed with each result's correlation "
       "report"},
      {{"sdm1corr", "a", "--contrast", "f = faces -"},
       "--contrast: contrast \"f = faces -\": \"-\" is not followed by a predictor; write terms "
       "as [+|-] [NUMBER [*]] PREDICTOR joined by + or -, a predictor name with blanks, + - * = , "
       "[ ] in double quotes, as in faces - 0.5 \"left hand\""},
      {{"sdm1corr", "a", "--contrast", "f = faces", "--contrast", "f = houses"},
       "--contrast: contrast \"f\" is defined twice; give each contrast its own name"},
      {{"mergeall", "p", "s", "--contrast", "faces"},
       "--contrast needs --corr in a merge: the contrasts are tested with each result's "
       "correlation report"},
      {{"mergeall", "p", "s", "--events-file", "e.tsv"},
       "--events-file needs --corr in a merge: the onsets are marked in the design picture "
       "beside each result's correlation report"},
      {{"mergeall", "p", "s", "--corr", "--events-file="},
       "--events-file needs a file: the run's events (.tsv)"},
      {{"design", "e.tsv", "--tr", "2", "--volumes", "9", "--red-vif", "20"},
       "--red-vif needs --corr in a design: the mark is given in the summary beside each result's "
       "correlation report"},
      {{"sdm1corr", "a", "--amber-vif", "0.5"},
       "--amber-vif wants a number from 1 to 1000000, such as 5, not \"0.5\""},
      {{"sdm1corr", "a", "--warn", "0,8"},
       "--warn wants a correlation above 0 and at most 1, such as 0.8, not \"0,8\""},
      {{"sdm1corr", "a", "--warn", "0.8x"},
       "--warn wants a correlation above 0 and at most 1, such as 0.8, not \"0.8x\""},
      {{"sdm1corr", "a", "--warn", "-0.5"},
       "--warn wants a correlation above 0 and at most 1, such as 0.8, not \"-0.5\""},
      {{"sdm1corr", "a", "--warn", "1e40"},
       "--warn wants a correlation above 0 and at most 1, such as 0.8, not \"1e40\""},
  };
  for (const auto& c : cases) {
    try {
      tormel::parseOptions(c.args);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const tormel::UsageError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

}  // namespace

// The plug-in spine end to end: build/Tormel runs build/libbrindle.so as a child process, and
// standard output, standard error (with --trace) and the exit status are compared whole.

#include <gtest/gtest.h>

#include <cxxabi.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e_fixtures.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using e2e_fixtures::finished;
using e2e_fixtures::running;
using testing_support::ProcessResult;
using testing_support::runProcess;
using testing_support::runTormel;
using testing_support::TempDir;

const std::string runLog = running + finished;
const std::string refusedLog = finished;
const std::string refusal = "Can not execute this plugin - Tormel version 2.8 or higher required.";
const std::string notRunning =
    "Tormel: initPlugin returned false: the plug-in does not run in this host\n";

// The trace of initPlugin in a host that passes the version check.
const std::string initTrace =
    "[host] tmGetVersionOfTormel()\n"
    "[host] tmShowLogTab()\n"
    "[host] tmLogText(\\nBrindle>  Running...)\n"
    "[plugin] initPlugin() -> true\n";
// The trace of deleting a plug-in object that has a log stream.
const std::string deleteTrace =
    "[host] tmLogText(\\nBrindle>  Plugin finished!\\n)\n"
    "[host] tmLogText()\n"
    "[plugin] deleted\n";

std::string describe(const std::vector<std::string>& args) {
  std::string text = "Tormel";
  for (const auto& arg : args) text += " [" + arg + "]";
  return text;
}

TEST(TormelHostE2E, InfoPrintsTheSixMetadataTextsAndCreatesNoPlugin) {
  const ProcessResult result = runTormel({"--info", "--trace"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out,
            "Name: Brindle\n"
            "Description: Offers 2 ways to efficiently merge SDMs and also check the correlations "
            "between the predictors.\n"
            "Version: 1.0\n"
            "Author: <i>BR</i>\n"
            "Help file: HelpFolder/index.html\n"
            "GUI script: Brindle.js\n");
  EXPECT_EQ(result.err, "");  // no plug-in object, so not a single host call
}

TEST(TormelHostE2E, OpenSdmStoresTheOpenDialogsAnswerAsSdmfileWithoutBusyCursor) {
  const struct {
    std::vector<std::string> answer;
    std::string sdmfile;
  } cases[] = {
      {{"--open", "/data/run 1.sdm"}, "/data/run 1.sdm"},
      {{"--open", "cancel"}, ""},
      {{}, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"open_sdm", "--trace", "--print-param", "sdmfile"};
    args.insert(args.end(), c.answer.begin(), c.answer.end());
    const ProcessResult result = runTormel(args);
    const std::string answerText = c.sdmfile.empty() ? "cancel" : c.sdmfile;
    EXPECT_EQ(result.exitCode, 0) << describe(args);
    EXPECT_EQ(result.out, runLog) << describe(args);
    EXPECT_EQ(result.err,
              initTrace +
                  "[host] tmGetStringParameter(task)\n"
                  "[host] tmGetOpenFileName(Select an SDM: |  | Design Matrix (*.sdm)) -> " +
                  answerText + "\n[host] tmSetStringParameter(sdmfile | " + c.sdmfile + ")\n" +
                  "[plugin] execute() -> true\n[param] sdmfile=" + c.sdmfile + "\n" + deleteTrace)
        << describe(args);
  }
}

TEST(TormelHostE2E, OtherTaskNamesRunNothingBetweenOneBusyCursorShowAndStop) {
  const std::vector<std::vector<std::string>> taskArgs = {
      {"--task", "nosuch"},   {"--task", ""},          {"--set", "task="},
      {"--task", "Open_sdm"}, {"--task", "open_sdm "}, {"--task", "MERGEALL"},
  };
  for (auto args : taskArgs) {
    args.push_back("--trace");
    const ProcessResult result = runTormel(args);
    EXPECT_EQ(result.exitCode, 0) << describe(args);
    EXPECT_EQ(result.out, runLog) << describe(args);
    EXPECT_EQ(result.err, initTrace +
                              "[host] tmGetStringParameter(task)\n"
                              "[host] tmShowBusyCursor()\n"
                              "[host] tmStopBusyCursor()\n"
                              "[plugin] execute() -> true\n" +
                              deleteTrace)
        << describe(args);
  }
}

TEST(TormelHostE2E, HostVersionBelow2_8_0IsRefusedButStillLogsTheClosingLine) {
  const struct {
    const char* version;
    bool runs;
  } cases[] = {
      {"2.8.0", true},    {"2.8.7", true},   {"2.9.0", true},    {"3.0.0", true},
      {"10.0.-5", true},  {"2.7.9", false},  {"2.7.100", false}, {"2.8.-1", false},
      {"1.99.99", false}, {"-3.9.0", false},
  };
  for (const auto& c : cases) {
    const ProcessResult result = runTormel({"--host-version", c.version, "--task", "nosuch"});
    if (c.runs) {
      EXPECT_EQ(result.exitCode, 0) << c.version;
      EXPECT_EQ(result.out, runLog) << c.version;
      EXPECT_EQ(result.err, "") << c.version;
    } else {
      EXPECT_EQ(result.exitCode, 2) << c.version;
      EXPECT_EQ(result.out, refusedLog) << c.version;
      EXPECT_EQ(result.err, "[message] " + refusal + "\n" + notRunning) << c.version;
    }
  }
}

TEST(TormelHostE2E, RefusedHostShowsNoLogTabAndNeverExecutes) {
  const ProcessResult result =
      runTormel({"--host-version", "2.7.9", "open_sdm", "--trace", "--print-param", "sdmfile"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err,
            "[host] tmGetVersionOfTormel()\n"
            "[host] tmMessageBox(" +
                refusal +
                ")\n"
                "[message] " +
                refusal +
                "\n"
                "[plugin] initPlugin() -> false\n" +
                notRunning + deleteTrace);
}

// A copy of the host program under another file name, with the plug-in beside it.
TEST(TormelHostE2E, OnlyAHostProgramNamedTormelIsFoundByThePlugin) {
  const struct {
    const char* programName;
    int exitCode;
    std::string out;
    std::string err;
  } cases[] = {
      {"Host", 2, "\n", "[plugin] initPlugin() -> false\n" + notRunning + "[plugin] deleted\n"},
      {"Tormel.bin", 2, "\n",
       "[plugin] initPlugin() -> false\n" + notRunning + "[plugin] deleted\n"},
      {"Tormel", 0, runLog,
       initTrace +
           "[host] tmGetStringParameter(task)\n[host] tmShowBusyCursor()\n"
           "[host] tmStopBusyCursor()\n[plugin] execute() -> true\n" +
           deleteTrace},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const fs::path program = dir.path() / c.programName;
    fs::copy_file(testing_support::tormelPath(), program);
    fs::copy_file(fs::path(testing_support::buildDir()) / "libbrindle.so",
                  dir.path() / "libbrindle.so");
    // Without --plugin the copy loads the library beside itself.
    const ProcessResult result = runProcess(program.string(), {"--task", "nosuch", "--trace"});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.programName;
    EXPECT_EQ(result.out, c.out) << c.programName;
    EXPECT_EQ(result.err, c.err) << c.programName;
  }
}

TEST(TormelHostE2E, MissingPluginLibraryExitsWith2AndNamesThePath) {
  TempDir dir;
  const std::string missing = dir.file("none.so");
  const ProcessResult result = runTormel({"--plugin", missing, "open_sdm"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.rfind("Tormel: cannot load the plug-in " + missing + ": ", 0), 0u)
      << result.err;

  // A copy of the host with no library beside it looks for one there.
  const fs::path program = dir.path() / "Tormel";
  fs::copy_file(testing_support::tormelPath(), program);
  const ProcessResult alone = runProcess(program.string(), {"--info"});
  EXPECT_EQ(alone.exitCode, 2);
  EXPECT_EQ(
      alone.err.rfind("Tormel: cannot load the plug-in " + dir.file("libbrindle.so") + ": ", 0), 0u)
      << alone.err;
}

TEST(TormelHostE2E, LibraryWithoutThePluginExportsExitsWith2AndNamesEveryMissingOne) {
  // The C library is loaded in every process and exports none of the seven.
  Dl_info info{};
  ASSERT_NE(::dladdr(reinterpret_cast<void*>(&std::puts), &info), 0);
  const std::string library = info.dli_fname;
  const ProcessResult result = runTormel({"--plugin", library, "open_sdm"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Tormel: the plug-in " + library +
                            " does not export: createPlugin, getPluginName, getPluginDescription, "
                            "getPluginVersion, getAuthor, getHelpFile, getGUIScript\n");
}

TEST(TormelHostE2E, WrongCommandLinesExitWith64BeforeLoadingAnything) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"nosuch"},
      {"open_sdm", "--bogus"},
      {"open_sdm", "extra.sdm"},
      {"--int", "ztans=on", "--task", "mergesec"},
      {"open_sdm", "--host-version", "3"},
      {"open_sdm", "--save"},
      {"--plugin", "/nonexistent/lib.so", "open_sdm", "--set", "task"},
      {"mergeall", "nosuch.sdm", "none.sdm", "--plot", "--save-into", "/nonexistent"},
      {"mergesec", "nosuch.sdm", "none.sdm", "--warn", "0.8"},
      {"sdm1corr", "nosuch.sdm", "--warn", "abc"},
  };
  for (const auto& args : cases) {
    const ProcessResult result = runTormel(args);
    EXPECT_EQ(result.exitCode, 64) << describe(args);
    EXPECT_EQ(result.out, "") << describe(args);
    EXPECT_EQ(result.err.rfind("Tormel: ", 0), 0u) << describe(args) << result.err;
    EXPECT_TRUE(result.err.ends_with("\nTry 'Tormel --help'.\n")) << describe(args) << result.err;
  }
}

TEST(TormelHostE2E, HelpShowsAnExampleForEveryTaskAndExitsWith0) {
  const ProcessResult result = runTormel({"--help"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out.rfind("Usage: Tormel ", 0), 0u);
  for (const char* example :
       {"\n  Tormel --info\n", "\n  Tormel open_sdm --open ", "\n  Tormel sdm1corr ",
        "\n  Tormel mergeall ", "\n  Tormel mergesec ", "\n  Tormel convert ", "\n  Tormel design ",
        "\n  Tormel --task "}) {
    EXPECT_NE(result.out.find(example), std::string::npos) << example;
  }
}

// --- The plug-in library's dynamic symbol table ---------------------------------------------

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const fs::path candidate = fs::path(folder.empty() ? "." : folder) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return {};
}

std::string demangled(const std::string& symbol) {
  int status = 0;
  const std::unique_ptr<char, void (*)(void*)> text(
      abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status), std::free);
  return status == 0 && text ? std::string(text.get()) : symbol;
}

bool belongsToThePluginClasses(const std::string& name) {
  for (const char* cls : {"TRMLPluginInterface", "brindle"}) {
    const std::string c = cls;
    if (name.rfind(c + "::", 0) == 0 || name == "vtable for " + c || name == "typeinfo for " + c ||
        name == "typeinfo name for " + c) {
      return true;
    }
  }
  return false;
}

TEST(PluginLibrarySymbols, ExportsTheSevenFunctionsPlainAndNothingButThePluginClasses) {
  const std::string nm = findOnPath("nm");
  if (nm.empty()) GTEST_SKIP() << "nm is not installed";
  const std::string library = testing_support::buildDir() + "/libbrindle.so";
  const ProcessResult result = runProcess(nm, {"-D", "--defined-only", library});
  ASSERT_EQ(result.exitCode, 0) << result.err;

  std::vector<std::string> functions;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    // "ADDRESS TYPE NAME", the name possibly with a version ("name@@V1").
    std::istringstream fields(line);
    std::string address, type, symbol;
    fields >> address >> type >> symbol;
    if (symbol.empty()) continue;
    symbol = symbol.substr(0, symbol.find('@'));
    const std::string name = demangled(symbol);
    if (name == symbol && type == "T") {
      functions.push_back(symbol);
    } else {
      EXPECT_TRUE(belongsToThePluginClasses(name)) << "stray export: " << line << " = " << name;
    }
  }
  std::sort(functions.begin(), functions.end());
  EXPECT_EQ(functions, (std::vector<std::string>{"createPlugin", "getAuthor", "getGUIScript",
                                                 "getHelpFile", "getPluginDescription",
                                                 "getPluginName", "getPluginVersion"}));
}

}  // namespace

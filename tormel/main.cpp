// Tormel, the headless stand-in host: reads the command line, loads the plug-in, and runs its
// lifecycle once with the host calls answered by HostState.

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "contract/parameters.h"
#include "host/plugin_deleter.h"
#include "host_functions.h"
#include "host_state.h"
#include "options.h"
#include "plugin_loader.h"
#include "system.h"

namespace {

constexpr int exitDone = 0;
constexpr int exitTaskFailed = 1;  // execute returned false, or a message box was shown
constexpr int exitNotRunning = 2;  // not loaded, or initPlugin returned false
constexpr int exitUsage = 64;
// An output was refused to protect an input or an earlier result: by Tormel's save guard, or by
// the plug-in, which tells its refusals in the parameter "refused".
constexpr int exitNotSaved = 73;

void printLine(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void printMetadata(const tormel::PluginMetadata& data) {
  printLine(stdout, "Name: " + data.name);
  printLine(stdout, "Description: " + data.description);
  printLine(stdout, "Version: " + data.version);
  printLine(stdout, "Author: " + data.author);
  printLine(stdout, "Help file: " + data.helpFile);
  printLine(stdout, "GUI script: " + data.guiScript);
}

const char* yesNo(bool value) { return value ? "true" : "false"; }

// Says on diagnostics what the plug-in refused to write in its task, one line each ("Tormel:
// refused by the plug-in: Cannot Create file: ..."); returns how many.
int tellPluginRefusals(tormel::HostState& host) {
  const std::string refused = host.parameter(contract::parameter::refused).value_or("");
  int count = 0;
  for (std::size_t start = 0; start < refused.size(); ++count) {
    const std::size_t end = std::min(refused.find('\n', start), refused.size());
    host.complain("refused by the plug-in: " + refused.substr(start, end - start));
    start = end + 1;
  }
  return count;
}

// createPlugin, initPlugin, at most one execute, deletion. Returns the exit status.
int runLifecycle(const tormel::PluginLibrary& library, const tormel::Options& options) {
  tormel::HostState host(options.host, stdout, stderr);
  tormel::installHost(&host);

  PluginPointer plugin = library.createPlugin();
  if (!plugin) {
    host.complain("createPlugin returned no plug-in object");
    tormel::installHost(nullptr);
    return exitNotRunning;
  }
  const bool initialised = plugin->initPlugin();
  host.traceLine(std::string("[plugin] initPlugin() -> ") + yesNo(initialised));
  bool executed = false;
  int refused = 0;
  if (initialised) {
    executed = plugin->execute();
    host.traceLine(std::string("[plugin] execute() -> ") + yesNo(executed));
    refused = tellPluginRefusals(host);
    for (const auto& name : options.printParameters) {
      const auto value = host.parameter(name);
      printLine(stderr, "[param] " + name + (value ? "=" + *value : " (not set)"));
    }
    if (host.busyCursorsShown() != host.busyCursorsStopped()) {
      host.complain("the busy cursor was shown " + std::to_string(host.busyCursorsShown()) +
                    " times but stopped " + std::to_string(host.busyCursorsStopped()) + " times");
    }
  } else {
    host.complain("initPlugin returned false: the plug-in does not run in this host");
  }
  plugin.reset();
  host.traceLine("[plugin] deleted");
  host.endLog();
  tormel::installHost(nullptr);

  if (!initialised) return exitNotRunning;
  if (!executed || host.messageShown()) return exitTaskFailed;
  return host.savesRefused() > 0 || refused > 0 ? exitNotSaved : exitDone;
}

}  // namespace

int main(int argc, char** argv) {
  tormel::os::useBinaryStandardStreams();
  tormel::os::ignoreFileSizeSignal();
  tormel::Options options;
  try {
    options = tormel::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const tormel::UsageError& error) {
    printLine(stderr, std::string("Tormel: ") + error.what());
    printLine(stderr, "Try 'Tormel --help'.");
    return exitUsage;
  }
  if (options.help) {
    std::fputs(tormel::helpText(), stdout);
    return exitDone;
  }
  // GNU style: the program, then the plug-in as its metadata tells (after loading it).
  if (options.version) printLine(stdout, std::string("Tormel (Brindle) ") + BRINDLE_VERSION);

  // Before the plug-in is loaded, so that it sees the count from its first call on.
  if (options.threads > 0)
    tormel::os::setEnvironment("BRINDLE_THREADS", std::to_string(options.threads));
  try {
    const tormel::PluginLibrary library(options.pluginPath.empty() ? tormel::defaultPluginPath()
                                                                   : options.pluginPath);
    // The host asks for the metadata before it creates the plug-in object.
    const tormel::PluginMetadata metadata = library.metadata();
    if (options.version) {
      printLine(stdout, "Plug-in: " + metadata.name + " " + metadata.version);
      return exitDone;
    }
    if (options.info) {
      printMetadata(metadata);
      return exitDone;
    }
    return runLifecycle(library, options);
  } catch (const tormel::PluginLoadError& error) {
    printLine(stderr, std::string("Tormel: ") + error.what());
    return exitNotRunning;
  }
}

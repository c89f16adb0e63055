#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_services.h"
#include "save_guard.h"

// The stand-in host's side of the eleven host calls the plug-in makes: dialog parameters kept as
// text, scripted answers for the file dialogs, and the log pane and message boxes as output.
// Single-threaded, like the real host: every call arrives on the main thread, one at a time.
namespace tormel {

// The largest texts the host writes into the plug-in's buffers (it is not told their sizes):
// a single path or parameter text, and the list parameters "sdms2" and "events". One more byte
// holds the NUL.
inline constexpr std::size_t maxPathLength = host::pathBufferSize - 1;
inline constexpr std::size_t maxListLength = host::listBufferSize - 1;

// The longest text the plug-in reads for the parameter `name`: maxListLength for its lists and
// JSON objects, else maxPathLength.
std::size_t parameterLimit(const std::string& name);

// What a save dialog answers once the queue of explicit answers is used up.
enum class SavePolicy {
  acceptOffered,  // the offered initial path, as a user who presses Save
  intoFolder,     // the offered file name inside HostSetup::saveFolder
  cancel,         // every further save dialog is cancelled
};

// One scripted dialog answer: a path, or nothing for "cancel".
using DialogAnswer = std::optional<std::string>;

// Everything the command line decides about the host before the plug-in runs.
struct HostSetup {
  std::array<int, 3> version{3, 0, 0};            // major, minor, third number
  std::map<std::string, std::string> parameters;  // dialog parameters, all kept as text
  std::deque<DialogAnswer> saveAnswers;           // answered in order
  SavePolicy savePolicy = SavePolicy::acceptOffered;
  std::string saveFolder;                // for SavePolicy::intoFolder
  std::deque<DialogAnswer> openAnswers;  // answered in order; none left: cancel
  bool trace = false;                    // every host call as a line on diagnostics
};

// The integer value of a parameter text: blanks around a decimal number (optional sign) are
// allowed; anything else, and a number outside int, reads as 0.
int parseIntParameter(std::string_view text);

// The answer of a save dialog under SavePolicy::intoFolder: the offered path's file name (the
// text after its last '/' or '\\') inside `folder` (trailing separators of `folder` dropped).
std::string pathInFolder(std::string_view folder, std::string_view offeredPath);

// Appends `line` to a list parameter: `line` alone when the parameter is absent, otherwise
// the old text, "\n" and `line` (so an empty old text gives a leading blank line).
void appendLine(std::map<std::string, std::string>& parameters, const std::string& name,
                const std::string& line);

class HostState {
 public:
  // `log` receives the log pane's text, `diagnostics` the message boxes, the trace and the
  // host's own complaints. Neither is owned; both must outlive the object. Each write is
  // flushed at once so the two streams keep the order of the calls.
  HostState(HostSetup setup, std::FILE* log, std::FILE* diagnostics);

  // The host calls, with the argument shapes the plug-in uses. Null texts read as empty; a
  // null buffer is left alone. A text too long for the plug-in's buffer is refused with a
  // complaint on diagnostics and handled as empty (parameters) or as a cancel (dialogs).
  void getVersion(int* major, int* minor, int* third);
  void showLogTab();
  void logText(const char* text);
  void messageBox(const char* text);
  void getStringParameter(const char* name, char* buffer);
  int getIntParameter(const char* name);
  void setStringParameter(const char* name, const char* text);
  // Takes the next --open answer; none left or "cancel": returns 0 and writes nothing.
  int getOpenFileName(const char* title, const char* initialPath, const char* filter, char* buffer);
  // Takes the next --save answer, or follows the SavePolicy when none is left. Returns 1 and
  // writes the path, or returns 0 and writes nothing for a cancel. A path the host chose
  // itself (the offered one, or one in the --save-into folder) that is an input of the task
  // or a path saved to earlier in this run is refused: the dialog is cancelled with the
  // complaint "not saving PATH: " and the reason. An explicit --save answer is always taken.
  int getSaveFileName(const char* title, const char* initialPath, const char* filter, char* buffer);
  void showBusyCursor();
  void stopBusyCursor();

  // A line on diagnostics when tracing, e.g. "[plugin] initPlugin() -> true".
  void traceLine(std::string_view line);
  // A complaint of the host itself on diagnostics: "Tormel: " + text.
  void complain(std::string_view text);
  // Ends the log output with its final line feed.
  void endLog();

  bool messageShown() const { return messagesShown_ > 0; }
  // Save dialogs cancelled to keep an input or an earlier result of the run from being replaced.
  int savesRefused() const { return savesRefused_; }
  int busyCursorsShown() const { return busyShown_; }
  int busyCursorsStopped() const { return busyStopped_; }
  // The parameter's current text, or nothing when it was never set.
  std::optional<std::string> parameter(const std::string& name) const;

 private:
  void write(std::FILE* stream, std::string_view text);
  // "[host] " + call on diagnostics when tracing.
  void traceCall(std::string_view call);
  // Writes the answer into the buffer (1) or leaves it alone (0: cancelled or refused).
  int answerDialog(const char* function, const char* title, const char* initialPath,
                   const char* filter, char* buffer, const DialogAnswer& answer);
  // The next answer, and whether the host chose it itself (true) or the command line named it.
  std::pair<DialogAnswer, bool> nextSaveAnswer(std::string_view offeredPath);
  // The files the current task reads: the lines of "events" for design; otherwise "sdm1" (not
  // for mergesec), the lines of "sdms2" (not for sdm1corr) and "eventsfile" when set.
  std::vector<std::string> taskInputs() const;
  // Every file the plug-in writes for a result saved at `sdmPath`: the SDM, then, when the task
  // writes reports (a merge with "allcorr"), its correlation report and the heatmap, design
  // picture and summary asked for, named as the plug-in names them. A design writes the SDM
  // alone.
  std::vector<std::string> filesWrittenFor(const std::string& sdmPath) const;
  // True when the parameter `name` reads as a non-zero whole number.
  bool flag(const std::string& name) const;

  HostSetup setup_;
  std::FILE* log_;
  std::FILE* diagnostics_;
  int messagesShown_ = 0;
  int busyShown_ = 0;
  int busyStopped_ = 0;
  int savesRefused_ = 0;
  SaveGuard saveGuard_;
};

}  // namespace tormel

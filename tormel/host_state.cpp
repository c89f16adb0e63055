#include "host_state.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "contract/parameters.h"
#include "contract/report_files.h"

namespace tormel {

namespace {

std::string_view textOf(const char* text) { return text == nullptr ? std::string_view() : text; }

// Trace lines stay one line each: line breaks in arguments are shown as "\n" and "\r".
std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

std::string callText(std::string_view function, std::initializer_list<std::string_view> args) {
  std::string text(function);
  text += '(';
  bool first = true;
  for (const auto arg : args) {
    if (!first) text += " | ";
    text += escaped(arg);
    first = false;
  }
  text += ')';
  return text;
}

// The lines of a list parameter, one path each, as the plug-in splits them.
void appendLines(std::vector<std::string>& lines, const std::string& list) {
  for (std::size_t start = 0; start < list.size();) {
    const auto end = std::min(list.find('\n', start), list.size());
    lines.push_back(list.substr(start, end - start));
    start = end + 1;
  }
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

int parseIntParameter(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  // from_chars takes a '-' but no '+'; a '+' must still be followed by a digit.
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
  return value;
}

std::size_t parameterLimit(const std::string& name) {
  const contract::ParameterRule* rule = contract::parameterRule(name);
  const bool longText = rule != nullptr && (rule->kind == contract::ParameterKind::list ||
                                            rule->kind == contract::ParameterKind::jsonObject);
  return longText ? maxListLength : maxPathLength;
}

std::string pathInFolder(std::string_view folder, std::string_view offeredPath) {
  const auto cut = offeredPath.find_last_of("/\\");
  const std::string_view name =
      cut == std::string_view::npos ? offeredPath : offeredPath.substr(cut + 1);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
    folder.remove_suffix(1);
  std::string path(folder);
  if (path != "/") path += '/';
  path += name;
  return path;
}

void appendLine(std::map<std::string, std::string>& parameters, const std::string& name,
                const std::string& line) {
  const auto found = parameters.find(name);
  if (found == parameters.end()) {
    parameters.emplace(name, line);
  } else {
    found->second += '\n';
    found->second += line;
  }
}

HostState::HostState(HostSetup setup, std::FILE* log, std::FILE* diagnostics)
    : setup_(std::move(setup)), log_(log), diagnostics_(diagnostics) {}

void HostState::write(std::FILE* stream, std::string_view text) {
  // Unbuffered in effect: a crash of the plug-in must not swallow what it already logged.
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void HostState::traceCall(std::string_view call) {
  if (!setup_.trace) return;
  std::string line = "[host] ";
  line += call;
  line += '\n';
  write(diagnostics_, line);
}

void HostState::traceLine(std::string_view line) {
  if (!setup_.trace) return;
  std::string text(line);
  text += '\n';
  write(diagnostics_, text);
}

void HostState::complain(std::string_view text) {
  std::string line = "Tormel: ";
  line += text;
  line += '\n';
  write(diagnostics_, line);
}

void HostState::endLog() { write(log_, "\n"); }

std::optional<std::string> HostState::parameter(const std::string& name) const {
  const auto found = setup_.parameters.find(name);
  if (found == setup_.parameters.end()) return std::nullopt;
  return found->second;
}

void HostState::getVersion(int* major, int* minor, int* third) {
  traceCall(callText("tmGetVersionOfTormel", {}));
  if (major != nullptr) *major = setup_.version[0];
  if (minor != nullptr) *minor = setup_.version[1];
  if (third != nullptr) *third = setup_.version[2];
}

void HostState::showLogTab() { traceCall(callText("tmShowLogTab", {})); }

void HostState::logText(const char* text) {
  traceCall(callText("tmLogText", {textOf(text)}));
  write(log_, textOf(text));
}

void HostState::messageBox(const char* text) {
  traceCall(callText("tmMessageBox", {textOf(text)}));
  ++messagesShown_;
  std::string line = "[message] ";
  line += textOf(text);
  line += '\n';
  write(diagnostics_, line);
}

void HostState::getStringParameter(const char* name, char* buffer) {
  const std::string key(textOf(name));
  traceCall(callText("tmGetStringParameter", {key}));
  if (buffer == nullptr) return;
  std::string value = parameter(key).value_or(std::string());
  const std::size_t limit = parameterLimit(key);
  if (value.size() > limit) {
    complain("parameter \"" + key + "\" holds " + std::to_string(value.size()) +
             " bytes, more than the plug-in's buffer takes (" + std::to_string(limit) +
             "); it reads as empty");
    value.clear();
  }
  std::memcpy(buffer, value.c_str(), value.size() + 1);
}

int HostState::getIntParameter(const char* name) {
  const std::string key(textOf(name));
  traceCall(callText("tmGetIntParameter", {key}));
  return parseIntParameter(parameter(key).value_or(std::string()));
}

void HostState::setStringParameter(const char* name, const char* text) {
  traceCall(callText("tmSetStringParameter", {textOf(name), textOf(text)}));
  setup_.parameters[std::string(textOf(name))] = std::string(textOf(text));
}

int HostState::answerDialog(const char* function, const char* title, const char* initialPath,
                            const char* filter, char* buffer, const DialogAnswer& answer) {
  bool accepted = answer.has_value() && buffer != nullptr;
  const std::string path = answer.value_or(std::string());
  if (accepted && path.size() > maxPathLength) {
    complain(std::string(function) + ": the answer holds " + std::to_string(path.size()) +
             " bytes, more than the plug-in's buffer takes (" + std::to_string(maxPathLength) +
             "); the dialog is cancelled");
    accepted = false;
  }
  traceCall(callText(function, {textOf(title), textOf(initialPath), textOf(filter)}) + " -> " +
            (accepted ? escaped(path) : std::string("cancel")));
  if (!accepted) return 0;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return 1;
}

int HostState::getOpenFileName(const char* title, const char* initialPath, const char* filter,
                               char* buffer) {
  DialogAnswer answer;
  if (!setup_.openAnswers.empty()) {
    answer = std::move(setup_.openAnswers.front());
    setup_.openAnswers.pop_front();
  }
  return answerDialog("tmGetOpenFileName", title, initialPath, filter, buffer, answer);
}

std::pair<DialogAnswer, bool> HostState::nextSaveAnswer(std::string_view offeredPath) {
  if (!setup_.saveAnswers.empty()) {
    DialogAnswer answer = std::move(setup_.saveAnswers.front());
    setup_.saveAnswers.pop_front();
    return {std::move(answer), false};
  }
  switch (setup_.savePolicy) {
    case SavePolicy::acceptOffered:
      return {std::string(offeredPath), true};
    case SavePolicy::intoFolder:
      return {pathInFolder(setup_.saveFolder, offeredPath), true};
    case SavePolicy::cancel:
      return {std::nullopt, true};
  }
  return {std::nullopt, true};
}

std::vector<std::string> HostState::taskInputs() const {
  const std::string task = parameter(contract::parameter::task).value_or(std::string());
  std::vector<std::string> inputs;
  if (task == contract::taskWord(contract::Task::design)) {
    appendLines(inputs, parameter(contract::parameter::events).value_or(std::string()));
    return inputs;
  }
  if (task != contract::taskWord(contract::Task::mergesec))
    inputs.push_back(parameter(contract::parameter::primary).value_or(std::string()));
  if (task != contract::taskWord(contract::Task::sdm1corr))
    appendLines(inputs, parameter(contract::parameter::secondaries).value_or(std::string()));
  // A merge's events file gives the design picture its onsets: no result may replace it.
  if (const auto events = parameter(contract::parameter::eventsFile); events && !events->empty())
    inputs.push_back(*events);
  return inputs;
}

bool HostState::flag(const std::string& name) const {
  return parseIntParameter(parameter(name).value_or(std::string())) != 0;
}

std::vector<std::string> HostState::filesWrittenFor(const std::string& sdmPath) const {
  std::vector<std::string> files{sdmPath};
  const auto task = contract::taskNamed(parameter(contract::parameter::task).value_or(""));
  if (!task || !contract::reportsWithResults(*task) || !flag(contract::parameter::reports))
    return files;
  // The plug-in's own naming, seen from the host.
  const contract::ReportFiles reports{
      flag(contract::parameter::plots), flag(contract::parameter::summary),
      parameter(contract::parameter::reportFolder).value_or(std::string()),
      flag(contract::parameter::runPage)};
  for (std::string& report : contract::reportFilePaths(sdmPath, reports))
    files.push_back(std::move(report));
  return files;
}

int HostState::getSaveFileName(const char* title, const char* initialPath, const char* filter,
                               char* buffer) {
  auto [answer, chosenByHost] = nextSaveAnswer(textOf(initialPath));
  if (!saveGuard_.hasInputs()) saveGuard_.setInputs(taskInputs());
  const std::vector<std::string> written =
      answer ? filesWrittenFor(*answer) : std::vector<std::string>();
  if (answer && chosenByHost) {
    for (const std::string& file : written) {
      const char* reason = saveGuard_.refusal(file);
      if (reason == nullptr) continue;
      complain("not saving " + *answer + ": " +
               (file == *answer ? "" : "its report " + file + ": ") + reason);
      ++savesRefused_;
      answer.reset();
      break;
    }
  }
  const int accepted =
      answerDialog("tmGetSaveFileName", title, initialPath, filter, buffer, answer);
  if (accepted != 0) {
    for (const std::string& file : written) saveGuard_.saved(file);
  }
  return accepted;
}

void HostState::showBusyCursor() {
  traceCall(callText("tmShowBusyCursor", {}));
  ++busyShown_;
}

void HostState::stopBusyCursor() {
  traceCall(callText("tmStopBusyCursor", {}));
  ++busyStopped_;
}

}  // namespace tormel

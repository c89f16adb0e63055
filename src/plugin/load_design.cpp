#include "plugin/load_design.h"

#include <algorithm>
#include <utility>

#include "base/paths.h"
#include "confounds/confound_input.h"
#include "confounds/confound_reader.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "sdm/sdm_repairs.h"

namespace {

constexpr std::string_view messageStart = "\nBrindle>  ";

// The messages of a log text made of whole messages, each "\nBrindle>  " + its text.
std::vector<std::string> messagesOf(const std::string& text) {
  std::vector<std::string> messages;
  std::size_t start = text.find(messageStart);
  while (start != std::string::npos) {
    const std::size_t from = start + messageStart.size();
    const std::size_t next = text.find(messageStart, from);
    messages.push_back(text.substr(from, next == std::string::npos ? next : next - from));
    start = next;
  }
  return messages;
}

}  // namespace

DesignLoader::DesignLoader(TRMLLog* log, bool strict, const std::vector<std::string>& paths)
    : log_(log), strict_(strict) {
  if (std::any_of(paths.begin(), paths.end(), isConfoundFile)) selection();
}

DesignMatrix DesignLoader::load(const std::string& path) {
  lastWarnings_.clear();
  if (!isConfoundFile(path)) {
    LoadedSdm loaded = loadSdm(path, strict_);
    for (const std::string& warning : repairWarnings(path, loaded.repairs)) {
      if (log_ != nullptr) logMessage(*log_, warning);
      lastWarnings_.push_back(warning.substr(3));  // without its ">  "
    }
    return std::move(loaded.matrix);
  }
  ConfoundInput input = loadConfounds(path, selection());
  for (std::string& message : messagesOf(input.log)) {
    if (message.starts_with("Warning: ")) lastWarnings_.push_back(message);
    if (log_ != nullptr) logMessage(*log_, ">  " + message);
  }
  return std::move(input.matrix);
}

const std::string& DesignLoader::selection() {
  if (!selection_) selection_ = host::stringParameter("confounds");
  return *selection_;
}

std::string sdmNameBeside(const std::string& path) {
  const std::string name = baseName(path);
  const auto dot = name.rfind('.');
  const std::string folder = path.substr(0, path.size() - name.size());
  return folder + (dot == std::string::npos ? name : name.substr(0, dot)) + ".sdm";
}

std::string offeredSdmName(const std::string& path) {
  return isConfoundFile(path) ? sdmNameBeside(path) : path;
}

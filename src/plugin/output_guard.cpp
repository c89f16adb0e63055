#include "plugin/output_guard.h"

#include <algorithm>
#include <utility>

#include "plugin/log_message.h"
#include "sdm/protected_inputs.h"

namespace plugin {

OutputGuard::OutputGuard(std::vector<std::string> inputs, TRMLLog* log,
                         std::vector<std::string>& refusals)
    : inputs_(std::move(inputs)), log_(log), refusals_(refusals) {}

bool OutputGuard::admits(std::initializer_list<std::string> paths) {
  try {
    for (const std::string& path : paths) sdm::refuseToReplaceInputs(path, inputs_, written_);
  } catch (const sdm::InputProtectedError& refusal) {
    refuse(refusal.what());
    return false;
  }
  return true;
}

void OutputGuard::refuse(const std::string& message) {
  if (log_ != nullptr) logMessage(*log_, message);
  refusals_.push_back(message);
}

void OutputGuard::wrote(const std::string& path) {
  if (std::find(written_.begin(), written_.end(), path) == written_.end()) written_.push_back(path);
}

}  // namespace plugin

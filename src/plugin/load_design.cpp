#include "plugin/load_design.h"

#include <algorithm>
#include <utility>

#include "base/paths.h"
#include "confounds/confound_input.h"
#include "confounds/confound_reader.h"
#include "contract/parameters.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "plugin/log_message.h"
#include "sdm/sdm_repairs.h"

namespace plugin {

DesignLoader::DesignLoader(TRMLLog* log, bool strict, const std::vector<std::string>& paths)
    : log_(log), strict_(strict) {
  // Told by the names alone: a file is opened once, when it is loaded.
  if (std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
        return confounds::confoundFormatOf(path) != confounds::ConfoundFormat::sdm;
      }))
    selection();
}

sdm::DesignMatrix DesignLoader::load(const std::string& path) {
  std::vector<base::Notice> notices;
  sdm::DesignMatrix matrix;
  lastDisplacement_.reset();
  // Opened once and its kind told from the bytes read ahead, so a pipe is read once.
  sdm::SdmInput in(path);
  if (const confounds::ConfoundFormat format = confounds::formatOf(in, path);
      format != confounds::ConfoundFormat::sdm) {
    confounds::ConfoundInput input =
        confounds::loadConfounds(in, path, format, selection(), strict_);
    matrix = std::move(input.matrix);
    notices = std::move(input.notices);
    lastDisplacement_ = input.meanFramewiseDisplacement;
  } else {
    sdm::LoadedSdm loaded = sdm::loadSdm(in, path, strict_);
    matrix = std::move(loaded.matrix);
    notices = sdm::repairNotices(path, loaded.repairs);
  }
  if (log_ != nullptr) {
    for (const base::Notice& notice : notices) logMessage(*log_, base::noticeText(notice));
  }
  lastNotices_ = std::move(notices);
  return matrix;
}

const std::string& DesignLoader::selection() {
  if (!selection_) selection_ = host::stringParameter(contract::parameter::confounds);
  return *selection_;
}

std::string sdmNameBeside(const std::string& path) {
  const std::string name = base::baseName(path);
  const auto dot = name.rfind('.');
  const std::string folder = path.substr(0, path.size() - name.size());
  return folder + (dot == std::string::npos ? name : name.substr(0, dot)) + ".sdm";
}

std::string offeredSdmName(const std::string& path) {
  return confounds::isConfoundFile(path) ? sdmNameBeside(path) : path;
}

}  // namespace plugin

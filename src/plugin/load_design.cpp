#include "plugin/load_design.h"

#include <algorithm>
#include <utility>

#include "confounds/confound_input.h"
#include "confounds/confound_reader.h"
#include "host/host_services.h"
#include "host/trml_log.h"
#include "sdm/paths.h"

DesignMatrix loadDesign(const std::string& path, const std::string& confoundSpec, TRMLLog* log) {
  if (!isConfoundFile(path)) return DesignMatrix::load(path);
  ConfoundInput input = loadConfounds(path, confoundSpec);
  if (log != nullptr) {
    // The text holds whole log messages, each starting with its line feed and the plug-in's
    // name; a stream left bad by an earlier failure starts afresh, as for every message.
    log->clear();
    *log << input.log;
    log->flush();
  }
  return std::move(input.matrix);
}

DesignLoader::DesignLoader(TRMLLog* log, const std::vector<std::string>& paths) : log_(log) {
  if (std::any_of(paths.begin(), paths.end(), isConfoundFile)) selection();
}

DesignMatrix DesignLoader::load(const std::string& path) {
  return loadDesign(path, isConfoundFile(path) ? selection() : std::string(), log_);
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

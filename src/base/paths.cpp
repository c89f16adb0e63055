#include "base/paths.h"

std::string baseName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stripExtension(const std::string& text) {
  const auto dot = text.rfind('.');
  return dot == std::string::npos ? text : text.substr(0, dot);
}

std::string insertSuffix(const std::string& path, const std::string& suffix) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos) return path + suffix;
  std::string result = path;
  result.insert(dot, suffix);
  return result;
}

std::string reportPath(const std::string& sdmPath, const std::string& extension,
                       const std::string& folder) {
  const std::string name = baseName(sdmPath);
  const std::string fileName = stripExtension(name) + extension;
  if (folder.empty()) return sdmPath.substr(0, sdmPath.size() - name.size()) + fileName;
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + fileName;
  // The folder's own separator: a Windows path keeps its backslashes.
  const bool backslashes =
      folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
  return folder + (backslashes ? '\\' : '/') + fileName;
}

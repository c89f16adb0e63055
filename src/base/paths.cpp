#include "base/paths.h"

#include <filesystem>
#include <system_error>

namespace base {

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

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ignored;
  return a == b || std::filesystem::equivalent(a, b, ignored);
}

}  // namespace base

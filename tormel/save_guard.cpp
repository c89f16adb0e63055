#include "save_guard.h"

#include <filesystem>
#include <system_error>

namespace tormel {

namespace {

namespace fs = std::filesystem;

std::string normalised(const std::string& text) {
  try {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(text), error);
    if (error) absolute = fs::path(text);
    const fs::path resolved = fs::weakly_canonical(absolute, error);
    return (error ? absolute : resolved).lexically_normal().string();
  } catch (const std::exception&) {
    return text;  // a path the system cannot represent stays as written
  }
}

}  // namespace

void SaveGuard::setInputs(const std::vector<std::string>& paths) {
  inputsSet_ = true;
  inputs_.clear();
  for (const auto& path : paths) {
    if (!path.empty()) inputs_.push_back({path, true, fileIdentity(path), std::nullopt});
  }
}

bool SaveGuard::same(Known& a, Known& b) {
  for (Known* known : {&a, &b}) {
    if (!known->looked) {
      known->identity = fileIdentity(known->path);
      known->looked = true;
    }
  }
  if (a.identity && b.identity) return *a.identity == *b.identity;
  // An existing file is never a path where there is none.
  if (a.identity || b.identity) return false;
  for (Known* known : {&a, &b}) {
    if (!known->normal) known->normal = normalised(known->path);
  }
  return *a.normal == *b.normal;
}

const char* SaveGuard::refusal(const std::string& path) {
  Known candidate{path, false, std::nullopt, std::nullopt};
  for (auto& input : inputs_) {
    if (same(candidate, input)) return "it is an input of this task";
  }
  for (auto& result : saved_) {
    if (same(candidate, result)) return "an earlier result of this run was saved there";
  }
  return nullptr;
}

void SaveGuard::saved(const std::string& path) {
  // Looked up at the next dialog, when the plug-in has written it.
  saved_.push_back({path, false, std::nullopt, std::nullopt});
}

}  // namespace tormel

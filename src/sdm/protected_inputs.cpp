#include "sdm/protected_inputs.h"

#include <algorithm>

#include "base/paths.h"

namespace sdm {

namespace {

// The opening of OutputFile's own refusal, so that both read alike in the log.
constexpr const char* cannotCreate = "Cannot Create file: ";

}  // namespace

void refuseToReplaceTheSdm(const std::string& path, const std::string& sdmPath) {
  if (base::sameFile(path, sdmPath))
    throw std::runtime_error(cannotCreate + path + " (it is the SDM itself)");
}

void refuseToReplaceInputs(const std::string& path, std::span<const std::string> inputs,
                           std::span<const std::string> written) {
  const auto reaches = [&](std::span<const std::string> files) {
    return std::any_of(files.begin(), files.end(), [&](const std::string& file) {
      return !file.empty() && base::sameFile(path, file);
    });
  };
  if (reaches(inputs))
    throw InputProtectedError(path, cannotCreate + path + " (it is an input of this task)");
  if (reaches(written)) {
    throw InputProtectedError(path,
                              cannotCreate + path + " (an earlier result of this task wrote it)");
  }
}

void refuseToReplace(const std::string& path, const std::string& sdmPath,
                     std::span<const std::string> inputs, std::span<const std::string> written) {
  refuseToReplaceTheSdm(path, sdmPath);
  refuseToReplaceInputs(path, inputs, written);
}

}  // namespace sdm

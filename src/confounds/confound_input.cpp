#include "confounds/confound_input.h"

#include <string>
#include <vector>

#include "confounds/confound_messages.h"
#include "confounds/confound_reader.h"
#include "confounds/confound_selection.h"

ConfoundInput loadConfounds(const std::string& path, std::string_view selection) {
  const ConfoundFile file = readConfoundFile(path);
  std::vector<std::string> leftOut;
  ConfoundInput input{selectConfounds(file.matrix, selection, &leftOut), {}};
  if (auto warning = unreadableNotice(path, file.unreadable))
    input.notices.push_back(std::move(*warning));
  input.notices.push_back(confoundsTakenNotice(input.matrix, leftOut));
  return input;
}

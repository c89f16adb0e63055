#include "confounds/confound_input.h"

#include "confounds/confound_messages.h"
#include "confounds/confound_reader.h"
#include "confounds/confound_selection.h"

ConfoundInput loadConfounds(const std::string& path, std::string_view selection) {
  const ConfoundFile file = readConfoundFile(path);
  ConfoundInput input{selectConfounds(file.matrix, selection), {}};
  if (auto warning = unreadableNotice(path, file.unreadable))
    input.notices.push_back(std::move(*warning));
  input.notices.push_back(confoundsTakenNotice(input.matrix));
  return input;
}

#include "confounds/confound_input.h"

#include <optional>
#include <utility>
#include <vector>

#include "confounds/confound_messages.h"
#include "confounds/confound_reader.h"
#include "confounds/confound_selection.h"
#include "confounds/tsv_sidecar.h"

ConfoundInput loadConfounds(const std::string& path, std::string_view selection) {
  ConfoundFile file = readConfoundFile(path);
  std::optional<Notice> sidecarWarning;
  std::optional<Sidecar> sidecar;
  if (confoundFormatOf(path) == ConfoundFormat::tsv)
    sidecar = readSidecar(sidecarPath(path), file.matrix.names.size(), sidecarWarning);
  std::vector<std::string> leftOut;
  ConfoundInput input{sidecar ? designFromSidecar(std::move(file.matrix), *sidecar)
                              : selectConfounds(file.matrix, selection, &leftOut),
                      {}};
  if (auto warning = unreadableNotice(path, file.unreadable))
    input.notices.push_back(std::move(*warning));
  if (sidecarWarning) input.notices.push_back(std::move(*sidecarWarning));
  input.notices.push_back(confoundsTakenNotice(input.matrix, leftOut));
  return input;
}

#pragma once

#include <initializer_list>
#include <string>
#include <vector>

class TRMLLog;

namespace plugin {

// What one task may write, whatever the host's save dialog answers: no output replaces a file
// the task reads, nor one it wrote before. A refused output is logged ("Cannot Create file: " +
// path + " (it is an input of this task)") and kept; the task goes on with its other results,
// and brindle::execute tells the host of every refusal through the parameter "refused".
class OutputGuard {
 public:
  // `inputs`: the files the task reads (empty paths are passed over). `log` (may be null) gets
  // each refusal; `refusals` keeps their texts. Both must outlive the guard.
  OutputGuard(std::vector<std::string> inputs, TRMLLog* log, std::vector<std::string>& refusals);

  // True when none of `paths` reaches an input or a file written before (through links too:
  // sdm/protected_inputs.h); otherwise refuses the first that does and returns false.
  bool admits(std::initializer_list<std::string> paths);

  // Logs and keeps a refusal the task found itself: the whole message.
  void refuse(const std::string& message);

  // `path` was written: no later output of the task may replace it. A path given twice is kept
  // once.
  void wrote(const std::string& path);

  const std::vector<std::string>& inputs() const { return inputs_; }
  const std::vector<std::string>& written() const { return written_; }

 private:
  std::vector<std::string> inputs_;
  std::vector<std::string> written_;
  TRMLLog* log_;
  std::vector<std::string>& refusals_;
};

}  // namespace plugin

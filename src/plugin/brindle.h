#pragma once

#include <memory>

#include "host/export.h"
#include "host/plugin_interface.h"
#include "host/trml_log.h"

// The plug-in. The host creates it with createPlugin, calls initPlugin, then execute once per
// dialog action, and deletes it; all on the host's thread, one call at a time.
class BRINDLE_EXPORT brindle : public TRMLPluginInterface {
 public:
  // An object with no log stream. Calls no host function.
  brindle();
  // Logs "\nBrindle>  Plugin finished!\n" when a log stream exists, then destroys it.
  ~brindle() override;

  // Runs the task named by the dialog parameter "task": "open_sdm", "sdm1corr", "mergeall",
  // "mergesec" (any other name runs nothing). Shows "Error: " + message for a failed task
  // ("Error: Not enough memory" when memory ran out).
  // Returns true, except for the merge tasks' own false and for a call before initPlugin has
  // succeeded, which calls no host function and returns false.
  bool execute() override;

  // Resolves the host functions, creates a new log stream (destroying the old one) and checks
  // that the host is version 2.8.0 or later. True when the plug-in can run.
  bool initPlugin() override;

  // "open_sdm": the open-file dialog; its answer goes back to the dialog as "sdmfile".
  void openSdmTask();
  // "mergeall" (withPrimary) and "mergesec": merges SDMs and saves the results. False when the
  // SDMs have different numbers of data points (a message box has said so).
  bool mergeTask(bool withPrimary);
  // "sdm1corr": writes the correlation report of the SDM named by "sdm1" beside it.
  void correlationTask();

  // The log stream, created by initPlugin once the host functions are resolved.
  std::unique_ptr<TRMLLog> logStream;

 private:
  bool running_ = false;  // initPlugin returned true
};

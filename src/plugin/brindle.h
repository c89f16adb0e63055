#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/export.h"
#include "host/plugin_interface.h"
#include "host/trml_log.h"

// The plug-in. The host creates it with createPlugin, calls initPlugin, then execute once per
// dialog action, and deletes it; all on the host's thread, one call at a time.
class BRINDLE_EXPORT brindle final : public TRMLPluginInterface {
 public:
  // An object with no log stream. Calls no host function.
  brindle();
  // Logs "\nBrindle>  Plugin finished!\n" when a log stream exists, then destroys it. Never
  // throws: a goodbye that cannot be written is dropped.
#if BRINDLE_SCALAR_DELETING_DESTRUCTOR
  ~brindle();
  // Slot 0: the destructor, then `delete` when bit 0 of `flags` is set. Returns this.
  void* scalarDeletingDestructor(unsigned int flags) noexcept override;
#else
  ~brindle() override;
#endif

  // Runs the task named by the dialog parameter "task": "open_sdm", "sdm1corr", "mergeall",
  // "mergesec", "convert", "design" (any other name runs nothing). Shows "Error: " + message for a
  // failed task ("Error: Not enough memory" when memory ran out, "Error: unknown error" for
  // anything that is no standard exception). Returns true, except for the merge tasks' own false
  // and for a call before initPlugin has succeeded, which calls no host function and returns false.
  // When the task refused an output (one that would replace its input or a file it wrote before),
  // sets the parameter "refused" to the refusals, one a line; a later task that refuses nothing
  // empties it again. Never throws.
  bool execute() noexcept override;

  // Resolves the host functions, creates a new log stream (destroying the old one) and checks
  // that the host is version 2.8.0 or later. True when the plug-in can run. Never throws: any
  // failure returns false, after an "Error: " message box once the host functions are known.
  bool initPlugin() noexcept override;

  // "open_sdm": the open-file dialog; its answer goes back to the dialog as "sdmfile".
  void openSdmTask();
  // "mergeall" (withPrimary) and "mergesec": merges SDMs and saves the results; a save answer
  // that would replace an input or an earlier output of the task is refused (logged and told
  // through "refused") and drops that result. False when the SDMs have different numbers of
  // data points (a message box has said so).
  bool mergeTask(bool withPrimary);
  // "sdm1corr": writes the correlation report of the SDM named by "sdm1" beside it.
  void correlationTask();
  // "convert": reads "sdm1" (an SDM or a confound file, with the selection "confounds") and
  // saves it under the name chosen in the save dialog, which offers the input's name with
  // ".sdm": as a tab-separated table when the name ends in ".tsv", else as an SDM. A name that
  // would replace the input, or a table whose sidecar path holds another file than a sidecar of
  // Brindle's (a summary above all: confounds::sidecarRefusal), is refused and nothing is saved.
  void convertTask();
  // "design": the task predictors of each events file of "events" (one path a line), modelled
  // by "tr" (seconds, as text), "volumes", "hrf" ("spm", the default, or "glover"),
  // "derivatives" (non-zero: each condition's time derivative too), "sliceref" (the fraction of
  // the TR at which a volume is taken, as text; default 0), "conditions" (condition names with
  // "*" and "?"; all when empty), "modulators" (events columns weighting each condition,
  // events/modulators.h), "conditioncolumn" (the events column of the conditions; empty:
  // trial_type), "conditionlist" (the exact conditions, one a line, absent ones all 0) and
  // "highpass" (seconds, as text: the cosine drifts of that cut-off and the constant; empty or 0:
  // neither), all read before any file; with "allcorr", the report's parameters and "provenance"
  // too (readRunSettings). Each design is offered in the save dialog under designPathOf of its
  // events file, after the log has its warnings; a cancelled dialog, or an answer refused as
  // replacing an input or an earlier output, skips that file. Throws "Invalid repetition time: "
  // + text (and likewise for "hrf", "sliceref", "modulators", "highpass" and "provenance"), the
  // problem of a condition term (contract/confound_terms.h: "Condition term too long: ...") and
  // "No events files available" before any file is read.
  void designTask();

  // The log stream, created by initPlugin once the host functions are resolved.
  std::unique_ptr<TRMLLog> logStream;

 private:
  // Sets "refused" as execute describes; a failure to do so is dropped.
  void tellRefusals() noexcept;

  bool running_ = false;              // initPlugin returned true
  std::vector<std::string> refused_;  // the refusals of the task being run
  bool refusalsTold_ = false;         // "refused" holds the refusals of an earlier task
};

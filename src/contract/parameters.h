#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The dialog parameters of the plug-in's tasks, each written once: their names, how the plug-in
// reads each one, the texts it takes and the limits of its numbers. The plug-in reads them, Tormel
// sets them from its options and brindle-bids passes them on; all three judge a text by the rules
// here, so a text one of them takes, the others take too.
namespace contract {

// The names of the dialog parameters, as the host's dialog script and the plug-in spell them.
namespace parameter {
inline constexpr char task[] = "task";
inline constexpr char sdmFile[] = "sdmfile";       // the open dialog's answer of "open_sdm"
inline constexpr char primary[] = "sdm1";          // the primary SDM; the one SDM of a task
inline constexpr char secondaries[] = "sdms2";     // the secondary SDMs, one path a line
inline constexpr char zTransform[] = "ztans";      // sic: the host dialog's own spelling
inline constexpr char constant[] = "baseline";     // add (1) or remove (0) the constant
inline constexpr char reports[] = "allcorr";       // a merge writes each result's report
inline constexpr char reportFolder[] = "corrdir";  // the folder of every report file
inline constexpr char plots[] = "corrplot";        // the heatmap and the design picture
inline constexpr char threshold[] = "corrwarn";    // the correlation that flags a pair
inline constexpr char summary[] = "corrjson";      // the summary file
inline constexpr char runPage[] = "corrhtml";      // the run's page (HTML) beside the report
inline constexpr char confounds[] = "confounds";   // the confound terms of a confound file
inline constexpr char strict[] = "strict";         // refuse any SDM the reader had to repair
inline constexpr char events[] = "events";         // the design's events files, one a line
inline constexpr char repetitionTime[] = "tr";
inline constexpr char volumes[] = "volumes";
inline constexpr char volumesFrom[] = "volumesfrom";  // a table whose rows give "volumes"
inline constexpr char hrf[] = "hrf";
inline constexpr char derivatives[] = "derivatives";
inline constexpr char sliceReference[] = "sliceref";
inline constexpr char conditions[] = "conditions";
inline constexpr char modulators[] = "modulators";  // events columns that modulate the conditions
inline constexpr char contrasts[] = "contrasts";    // the contrasts tested, one definition a line
// The limits of the mark (contract/marks.h).
inline constexpr char amberVif[] = "ambervif";
inline constexpr char redVif[] = "redvif";
inline constexpr char amberCost[] = "ambercost";
inline constexpr char redCost[] = "redcost";
inline constexpr char redScrubbed[] = "redscrubbed";
inline constexpr char highPass[] = "highpass";                // seconds: the cosine drifts' cut-off
inline constexpr char conditionColumn[] = "conditioncolumn";  // the events column of conditions
inline constexpr char conditionList[] = "conditionlist";  // every condition modelled, one a line
inline constexpr char provenance[] = "provenance";        // a JSON object: the summary's "settings"
inline constexpr char eventsFile[] = "eventsfile";  // a merge's events: the design picture's onsets
// Set by the plug-in, never read: the outputs it refused to write in its last task (one that
// would replace an input or a file written earlier in the task), one log text a line ("Cannot
// Create file: PATH (it is an input of this task)"). Set only when something was refused, and
// emptied by the next task of the same plug-in object.
inline constexpr char refused[] = "refused";
}  // namespace parameter

// How the plug-in reads a parameter, and so which texts it takes.
enum class ParameterKind {
  path,            // a path as given (the empty text: none)
  list,            // lines, one path each
  flag,            // a whole number; not 0 means on
  wholeNumber,     // a whole number within the rule's range
  decimal,         // a decimal number in the classic notation within the rule's range
  threshold,       // a correlation threshold (contract/threshold.h)
  choice,          // one of the rule's words
  terms,           // comma-separated condition terms (contract/confound_terms.h)
  confoundTerms,   // comma-separated confound terms: presets and column names
  jsonObject,      // one JSON object (contract/json_object.h); the empty text: none
  modulatorTerms,  // comma-separated modulator columns (contract/modulators.h)
};

struct ParameterRule {
  const char* name;
  ParameterKind kind;
  double minimum = 0.0;          // wholeNumber, decimal: the least value taken
  double maximum = 0.0;          // ... and the largest
  std::string_view choices;      // choice: the words, blank-separated; the first is the default
  std::string_view example;      // a text it takes, for messages ("0.8")
  std::string_view defaultText;  // what an empty text means; empty: a number is needed
};

// Every parameter's rule, in the order the dialog lists them.
std::span<const ParameterRule> parameterRules();

// The rule of the parameter `name`, or null for a name the plug-in does not read.
const ParameterRule* parameterRule(std::string_view name);

// What `text` must be for `rule`, as the end of a sentence: "a number above 0 and at most 1,
// such as 0.8", "a whole number from 1 to 268435456", "spm or glover".
std::string parameterWants(const ParameterRule& rule);

// True when the plug-in can use `text` for `rule`. Blanks (space, tab, CR, LF) around a number or
// a word are allowed, as the plug-in trims them. An empty text means the parameter's default
// (off, none, the first choice, a number's defaultText); a number without a default needs one.
bool parameterTakes(const ParameterRule& rule, std::string_view text);

// Why the plug-in cannot use `text` for a rule of terms, naming the first term it refuses
// (contract/confound_terms.h: "unknown confound preset \"motion25\" (presets: ...)"); empty for a
// text it takes and for the other kinds, whose texts parameterWants describes well enough.
std::string termsProblem(const ParameterRule& rule, std::string_view text);

// For a name that must stay on one line (a column, a label): "wants " + `wants` + ", without a tab
// or a line break, not \"TEXT\"", TEXT with its tabs and line breaks shown as \t, \r and \n;
// empty when `text` holds none.
std::string oneLineProblem(std::string_view wants, std::string_view text);

// The number a flag, whole-number, decimal or threshold `text` reads as for `rule`, within the
// rule's range; none for an empty or unusable text and for the other kinds.
std::optional<double> parameterNumber(const ParameterRule& rule, std::string_view text);

// The finite number `text` holds in the classic notation ("2", "0.5", "1e-1"; blanks around it
// allowed), whatever its range, read without regard to any locale; none for any other text.
std::optional<double> decimalValue(std::string_view text);

// The plug-in's tasks, by the word the dialog sends as "task".
enum class Task { openSdm, sdm1corr, mergeall, mergesec, convert, design };

// The task named `word`, or none for a word that runs no task.
std::optional<Task> taskNamed(std::string_view word);

// The word of `task` ("sdm1corr").
const char* taskWord(Task task);

// Every task word, in the order help texts list them.
std::span<const char* const> taskWords();

// True for the tasks that save results and write each result's report when "allcorr" asks: the
// merges and the design.
bool reportsWithResults(Task task);

}  // namespace contract

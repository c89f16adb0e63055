#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The grammar of the terms in the dialog's "confounds" and "conditions" fields (split by
// contract/terms.h): the confound presets, the scrub term and the bounds of a term, written once
// for the plug-in, which reads them, and for Tormel and brindle-bids, which refuse a term the
// plug-in would refuse before any work starts.
namespace contract {

// The confound presets, in the order help texts list them.
enum class ConfoundPreset {
  motion6,
  motion12,
  motion24,
  wmCsf,
  global,
  compcor5,
  cosine,
  outliers,
  scrub
};

// The word of every preset, in the order of ConfoundPreset ("motion6", ..., "wm_csf", ...).
std::span<const char* const> confoundPresetWords();

// The preset `term` names, its letters in any case ("Motion24"); none for any other term,
// "scrub:0.2" included (scrubThresholds reads that).
std::optional<ConfoundPreset> confoundPresetNamed(std::string_view term);

// A term holds at most this many bytes: matching a pattern costs its length times each name's.
inline constexpr std::size_t maxTermBytes = 256;

// What scrubbing flags: a volume whose framewise displacement (mm) exceeds `displacement`, or
// whose standardised DVARS exceeds `dvars`.
struct ScrubThresholds {
  float displacement = 0.5f;
  float dvars = 1.5f;
};

// The thresholds of a scrub term: "scrub" (letters in any case) the defaults, "scrub:0.2:1.5"
// both, "scrub:0.2" the first. None for a term that is no scrub term and for a malformed one
// (any other text after "scrub:"; confoundTermProblem says why).
std::optional<ScrubThresholds> scrubThresholds(std::string_view term);

// Why the plug-in cannot use the confound term `term` (one term, without the blanks around it),
// as a phrase that names it; empty when it can:
//   "confound term too long: 300 bytes (at most 256)"
//   "invalid scrub term \"scrub:x\": give scrub or scrub:FD:DVARS with numbers above 0, such as
//    scrub:0.5:1.5"
//   "unknown confound preset \"motion25\" (did you mean motion24?)" for a term taken as a
//    mistyped preset, ending "(presets: motion6, ..., scrub)" when no preset is within two edits
//    of it: the letters of a numbered preset (motion, compcor, any case) and digits that name
//    none; a word and digits near a numbered preset ("motoin24"); a word without digits near
//    another preset that does not begin with it ("globl"). No pipeline names a column so.
// Any other term is a column name, with "*" and "?" for any text and one byte.
std::string confoundTermProblem(std::string_view term);

// The problem of the first term of the comma-separated `terms` that has one; empty when none has.
std::string confoundTermsProblem(std::string_view terms);

// The same for the condition terms of `terms`: "condition term too long: ..." as above, and
// "condition term \"a\\tb\" holds a tab or a line break, which no condition of an events file
// holds" (shown with \t, \r and \n).
std::string conditionTermsProblem(std::string_view terms);

}  // namespace contract

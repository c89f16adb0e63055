#include "contract/confound_terms.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "contract/nearest_name.h"
#include "contract/terms.h"

namespace contract {

namespace {

constexpr const char* presetWords[] = {"motion6",  "motion12", "motion24", "wm_csf", "global",
                                       "compcor5", "cosine",   "outliers", "scrub"};

constexpr std::string_view scrubPrefix = "scrub:";

// The letters A to Z of `text` made lower case, nothing else changed (whatever the locale).
std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// A threshold above 0 written in the classic notation, the whole text of it, finite as a float.
std::optional<float> threshold(std::string_view text) {
  float value = 0.0f;
  const char* const last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value, std::chars_format::general);
  if (error != std::errc() || end != last || !(value > 0.0f) || !std::isfinite(value))
    return std::nullopt;
  return value;
}

constexpr std::string_view digits = "0123456789";
constexpr std::string_view numberedStems[] = {"motion", "compcor"};
constexpr std::string_view unnumberedPresets[] = {"wm_csf", "global", "cosine", "outliers",
                                                  "scrub"};

// True for "motion25", "COMPCOR", "motion": the letters of a numbered preset, then digits only.
bool looksLikeNumberedPreset(std::string_view lower) {
  for (const std::string_view stem : numberedStems) {
    if (lower.starts_with(stem) &&
        lower.find_first_not_of(digits, stem.size()) == std::string_view::npos)
      return true;
  }
  return false;
}

// True for a mistyped preset that no pipeline names a column like: a word and digits near a
// numbered preset ("motoin24", "compcr5"), or a word without digits near another preset that
// does not begin with it ("globl", "wmcsf"; not "cosine00", "global_signal", "tcompcor").
// A pattern with * or ? is never one, so a column of such a name can still be asked for.
bool looksLikeMistypedPreset(std::string_view lower) {
  if (lower.find_first_not_of("abcdefghijklmnopqrstuvwxyz_0123456789") != std::string_view::npos)
    return false;
  const std::size_t stemEnd = lower.find_last_not_of(digits) + 1;
  if (stemEnd == 0) return false;
  const bool numbered = stemEnd < lower.size();
  const auto near = [&](std::string_view preset) {
    return editDistance(lower, preset, maxSuggestionDistance) <= maxSuggestionDistance;
  };
  if (numbered) {
    for (const char* word : presetWords)
      if (std::string_view(word).find_first_of(digits) != std::string_view::npos && near(word))
        return true;
    return false;
  }
  for (const std::string_view preset : unnumberedPresets)
    if (near(preset) && !lower.starts_with(preset)) return true;
  return false;
}

std::string presetList() {
  std::string list;
  for (const char* word : presetWords) list += (list.empty() ? "" : ", ") + std::string(word);
  return list;
}

std::string tooLong(const char* what, std::string_view term) {
  if (term.size() <= maxTermBytes) return {};
  return std::string(what) + " term too long: " + std::to_string(term.size()) + " bytes (at most " +
         std::to_string(maxTermBytes) + ")";
}

// `text` with its tabs and line breaks shown as \t, \r and \n.
std::string shown(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\t' || c == '\r' || c == '\n')
      out += c == '\t' ? "\\t" : c == '\r' ? "\\r" : "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::span<const char* const> confoundPresetWords() { return presetWords; }

std::optional<ConfoundPreset> confoundPresetNamed(std::string_view term) {
  const std::string lower = lowerCase(term);
  for (std::size_t i = 0; i < std::size(presetWords); ++i)
    if (lower == presetWords[i]) return static_cast<ConfoundPreset>(i);
  return std::nullopt;
}

std::optional<ScrubThresholds> scrubThresholds(std::string_view term) {
  if (confoundPresetNamed(term) == ConfoundPreset::scrub) return ScrubThresholds{};
  if (!lowerCase(term.substr(0, scrubPrefix.size())).starts_with(scrubPrefix)) return std::nullopt;
  const std::string_view rest = term.substr(scrubPrefix.size());
  const std::size_t colon = rest.find(':');
  const std::optional<float> displacement = threshold(rest.substr(0, colon));
  const std::optional<float> dvars = colon == std::string_view::npos
                                         ? std::optional<float>(ScrubThresholds{}.dvars)
                                         : threshold(rest.substr(colon + 1));
  if (!displacement || !dvars) return std::nullopt;
  return ScrubThresholds{*displacement, *dvars};
}

std::string confoundTermProblem(std::string_view term) {
  if (std::string problem = tooLong("confound", term); !problem.empty()) return problem;
  const std::string lower = lowerCase(term);
  if (lower.starts_with(scrubPrefix) && !scrubThresholds(term)) {
    return "invalid scrub term \"" + std::string(term) +
           "\": give scrub or scrub:FD:DVARS with numbers above 0, such as scrub:0.5:1.5";
  }
  if (!confoundPresetNamed(term) &&
      (looksLikeNumberedPreset(lower) || looksLikeMistypedPreset(lower)))
    return "unknown confound preset \"" + std::string(term) + "\"" +
           suggestion(lower, presetWords, " (presets: " + presetList() + ")");
  return {};
}

std::string confoundTermsProblem(std::string_view terms) {
  for (const std::string_view term : splitTerms(terms)) {
    if (std::string problem = confoundTermProblem(term); !problem.empty()) return problem;
  }
  return {};
}

std::string conditionTermsProblem(std::string_view terms) {
  for (const std::string_view term : splitTerms(terms)) {
    if (std::string problem = tooLong("condition", term); !problem.empty()) return problem;
    if (term.find_first_of("\t\r\n") != std::string_view::npos) {
      return "condition term \"" + shown(term) +
             "\" holds a tab or a line break, which no condition of an events file holds";
    }
  }
  return {};
}

}  // namespace contract

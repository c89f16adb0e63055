#include "confounds/confound_selection.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "confounds/confound_matrix.h"
#include "confounds/letter_case.h"
#include "confounds/scrub.h"

namespace {

constexpr std::string_view derivativeSuffix = "_derivative1";
constexpr std::string_view powerSuffix = "_power2";
constexpr std::size_t namesInError = 10;
const std::vector<std::string> motionBaseNames = {"trans_x", "trans_y", "trans_z",
                                                  "rot_x",   "rot_y",   "rot_z"};

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool hasWildcard(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

// "*" matches any text, "?" one character. The last "*" is retried one character further on
// each mismatch, which bounds the work by the product of the lengths.
bool matches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<float> derivative(const std::vector<float>& x) {
  std::vector<float> d(x.size(), 0.0f);
  for (std::size_t t = 1; t < x.size(); ++t) d[t] = x[t] - x[t - 1];
  return d;
}

std::vector<float> power(std::vector<float> x) {
  for (float& v : x) v = v * v;
  return x;
}

// One element of a preset, or a term as written: an exact name (computed when missing) or a
// pattern; `optional` ones may match nothing.
struct Wanted {
  std::string text;
  bool optional = false;
};

std::vector<Wanted> motionTerms(std::initializer_list<std::string_view> suffixes) {
  std::vector<Wanted> wanted;
  for (const std::string_view suffix : suffixes) {
    for (const auto& name : motionBaseNames) wanted.push_back({name + std::string(suffix)});
  }
  return wanted;
}

// The columns a term stands for: a preset's, or the term itself.
std::vector<Wanted> expand(std::string_view term) {
  const std::string preset = lowerCase(term);
  if (preset == "motion6") return motionTerms({""});
  if (preset == "motion12") return motionTerms({"", derivativeSuffix});
  if (preset == "motion24")
    return motionTerms({"", derivativeSuffix, powerSuffix, "_derivative1_power2"});
  if (preset == "wm_csf") return {{"white_matter"}, {"csf"}};
  if (preset == "global") return {{"global_signal"}};
  if (preset == "compcor5") {
    return {{"a_comp_cor_00"},
            {"a_comp_cor_01"},
            {"a_comp_cor_02"},
            {"a_comp_cor_03"},
            {"a_comp_cor_04"}};
  }
  if (preset == "cosine") return {{"cosine*"}};
  if (preset == "outliers") return {{"motion_outlier*", true}, {"non_steady_state_outlier*", true}};
  return {{std::string(term)}};
}

class Selection {
 public:
  explicit Selection(const DesignMatrix& table) : table_(table), taken_(table.names.size()) {
    for (std::size_t p = 0; p < table.names.size(); ++p) index_[table.names[p]].push_back(p);
  }

  bool hasColumn(const std::string& name) const { return index_.contains(name); }

  // Takes what `wanted` names; false when that is nothing (columns taken before count).
  bool take(const Wanted& wanted) {
    if (hasWildcard(wanted.text)) {
      bool found = false;
      for (std::size_t p = 0; p < table_.names.size(); ++p) {
        if (!matches(wanted.text, table_.names[p])) continue;
        found = true;
        takeColumn(p);
      }
      return found;
    }
    if (const auto at = index_.find(wanted.text); at != index_.end()) {
      for (const std::size_t p : at->second) takeColumn(p);
      return true;
    }
    if (computed_.contains(wanted.text)) return true;
    std::optional<std::vector<float>> values = compute(wanted.text);
    if (!values) return false;
    computed_.insert(wanted.text);
    names_.push_back(wanted.text);
    columns_.push_back(std::move(*values));
    return true;
  }

  // Takes a column made from the table (a spike regressor), once a name.
  void takeMade(const std::string& name, std::vector<float> values) {
    if (!computed_.insert(name).second) return;
    names_.push_back(name);
    columns_.push_back(std::move(values));
  }

  void takeAll() {
    for (std::size_t p = 0; p < table_.names.size(); ++p) takeColumn(p);
  }

  DesignMatrix result() {
    return confoundMatrix(table_.fileName, std::move(names_), std::move(columns_));
  }

 private:
  void takeColumn(std::size_t p) {
    if (taken_[p]) return;
    taken_[p] = true;
    names_.push_back(table_.names[p]);
    columns_.push_back(table_.values[p]);
  }

  // The values of `name`: the file's first column of that name, or computed from the name
  // without its last "_derivative1" or "_power2". Each step shortens the name, so this ends.
  std::optional<std::vector<float>> compute(std::string_view name) const {
    if (const auto at = index_.find(std::string(name)); at != index_.end())
      return table_.values[at->second.front()];
    if (name.ends_with(powerSuffix)) {
      auto base = compute(name.substr(0, name.size() - powerSuffix.size()));
      if (base) return power(std::move(*base));
    } else if (name.ends_with(derivativeSuffix)) {
      auto base = compute(name.substr(0, name.size() - derivativeSuffix.size()));
      if (base) return derivative(*base);
    }
    return std::nullopt;
  }

  const DesignMatrix& table_;
  std::unordered_map<std::string, std::vector<std::size_t>> index_;
  std::vector<bool> taken_;
  std::unordered_set<std::string> computed_;
  std::vector<std::string> names_;
  std::vector<std::vector<float>> columns_;
};

std::runtime_error noMatch(const std::string& term, const DesignMatrix& table) {
  std::string message =
      "No confound column matches \"" + term + "\" in " + table.fileName + " (columns: ";
  const std::size_t listed = std::min(table.names.size(), namesInError);
  for (std::size_t p = 0; p < listed; ++p) {
    if (p > 0) message += ", ";
    message += table.names[p];
  }
  if (table.names.size() > namesInError) message += ", ...";
  message += ")";
  return std::runtime_error(message);
}

}  // namespace

SelectedConfounds chooseConfounds(const DesignMatrix& table, std::string_view terms) {
  Selection selection(table);
  std::vector<std::string> notes;
  bool anyTerm = false;
  for (std::size_t start = 0; start <= terms.size();) {
    const std::size_t comma = std::min(terms.find(',', start), terms.size());
    const std::string_view term = trimBlanks(terms.substr(start, comma - start));
    start = comma + 1;
    if (term.empty()) continue;
    if (term.size() > maxTermBytes) {
      throw std::runtime_error("Confound term too long: " + std::to_string(term.size()) +
                               " bytes (at most " + std::to_string(maxTermBytes) + ")");
    }
    anyTerm = true;
    if (const std::optional<ScrubTerm> scrub = scrubTermOf(term)) {
      Scrubbing spikes = scrubRegressors(table, *scrub);
      for (std::size_t s = 0; s < spikes.names.size(); ++s)
        selection.takeMade(spikes.names[s], std::move(spikes.regressors[s]));
      notes.push_back(std::move(spikes.note));
      continue;
    }
    for (const Wanted& wanted : expand(term)) {
      if (!selection.take(wanted) && !wanted.optional) throw noMatch(wanted.text, table);
    }
  }
  if (!anyTerm) {
    const bool hasMotion =
        std::all_of(motionBaseNames.begin(), motionBaseNames.end(),
                    [&](const std::string& n) { return selection.hasColumn(n); });
    if (hasMotion) {
      for (const auto& name : motionBaseNames) selection.take({name});
    } else {
      selection.takeAll();
    }
  }
  return {selection.result(), std::move(notes)};
}

DesignMatrix selectConfounds(const DesignMatrix& table, std::string_view terms) {
  return chooseConfounds(table, terms).matrix;
}

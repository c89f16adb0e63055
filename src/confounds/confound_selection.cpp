#include "confounds/confound_selection.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "confounds/confound_matrix.h"
#include "confounds/scrub.h"
#include "contract/confound_terms.h"
#include "contract/terms.h"

namespace confounds {

namespace {

constexpr std::string_view derivativeSuffix = "_derivative1";
constexpr std::string_view powerSuffix = "_power2";
constexpr std::size_t namesInError = 10;
const std::vector<std::string> motionBaseNames = {"trans_x", "trans_y", "trans_z",
                                                  "rot_x",   "rot_y",   "rot_z"};

bool hasWildcard(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
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

using Kind = sdm::PredictorKind;

// One element of a preset, or a term as written: an exact name (computed when missing) or a
// pattern; `optional` ones may match nothing. A preset says what its columns are; a term as
// written leaves that to each column's name (kindOfNamed).
struct Wanted {
  std::string text;
  bool optional = false;
  std::optional<Kind> kind;
};

// The kind of a column taken by its name rather than by a preset: the families preprocessing
// pipelines name their columns by (their derivatives and squares too), and the spike regressors
// Brindle itself names "scrub_" and digits when it writes a table; confound for any other.
Kind kindOfNamed(std::string_view name) {
  const auto isDigits = [](std::string_view digits) {
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (name.starts_with("trans_") || name.starts_with("rot_")) return Kind::motion;
  if (name.find("comp_cor") != std::string_view::npos) return Kind::compcor;
  if (name.starts_with("white_matter") || name.starts_with("csf") ||
      name.starts_with("global_signal"))
    return Kind::signal;
  if (name.starts_with("cosine")) return Kind::cosine;
  if (name.starts_with("motion_outlier") || name.starts_with("non_steady_state_outlier"))
    return Kind::outlier;
  if (name.starts_with("scrub_") && isDigits(name.substr(6))) return Kind::scrub;
  return Kind::confound;
}

std::vector<Wanted> motionTerms(std::initializer_list<std::string_view> suffixes) {
  std::vector<Wanted> wanted;
  for (const std::string_view suffix : suffixes) {
    for (const auto& name : motionBaseNames)
      wanted.push_back({name + std::string(suffix), false, Kind::motion});
  }
  return wanted;
}

// The columns a term stands for: a preset's, or the term itself.
std::vector<Wanted> expand(std::string_view term) {
  using contract::ConfoundPreset;
  switch (contract::confoundPresetNamed(term).value_or(ConfoundPreset::scrub)) {
    case ConfoundPreset::motion6:
      return motionTerms({""});
    case ConfoundPreset::motion12:
      return motionTerms({"", derivativeSuffix});
    case ConfoundPreset::motion24:
      return motionTerms({"", derivativeSuffix, powerSuffix, "_derivative1_power2"});
    case ConfoundPreset::wmCsf:
      return {{"white_matter", false, Kind::signal}, {"csf", false, Kind::signal}};
    case ConfoundPreset::global:
      return {{"global_signal", false, Kind::signal}};
    case ConfoundPreset::compcor5: {
      std::vector<Wanted> components;
      for (int c = 0; c < 5; ++c)
        components.push_back({"a_comp_cor_0" + std::to_string(c), false, Kind::compcor});
      return components;
    }
    case ConfoundPreset::cosine:
      return {{"cosine*", false, Kind::cosine}};
    case ConfoundPreset::outliers:
      return {{"motion_outlier*", true, Kind::outlier},
              {"non_steady_state_outlier*", true, Kind::outlier}};
    case ConfoundPreset::scrub:
      break;  // scrub terms make their columns (scrubRegressors); the rest are names
  }
  return {{std::string(term), false, std::nullopt}};
}

class Selection {
 public:
  explicit Selection(const sdm::DesignMatrix& table)
      : table_(table), taken_(table.predictors.size()) {
    for (std::size_t p = 0; p < table.predictors.size(); ++p)
      index_[table.predictors[p].name].push_back(p);
  }

  bool hasColumn(const std::string& name) const { return index_.contains(name); }

  // The columns left out as copies of earlier ones: "copy = earlier", in the order met. Moved
  // out, as result() moves the columns: the selection is done with after both.
  std::vector<std::string> leftOut() { return std::move(leftOut_); }

  // Takes what `wanted` names; false when that is nothing (columns taken before count).
  bool take(const Wanted& wanted) {
    if (hasWildcard(wanted.text)) {
      bool found = false;
      for (std::size_t p = 0; p < table_.predictors.size(); ++p) {
        if (!contract::matchesWildcard(wanted.text, table_.predictors[p].name)) continue;
        found = true;
        takeColumn(p, wanted.kind);
      }
      return found;
    }
    if (const auto at = index_.find(wanted.text); at != index_.end()) {
      for (const std::size_t p : at->second) takeColumn(p, wanted.kind);
      return true;
    }
    if (computed_.contains(wanted.text)) return true;
    std::optional<std::vector<float>> values = compute(wanted.text);
    if (!values) return false;
    computed_.insert(wanted.text);
    add(wanted.text, wanted.kind.value_or(kindOfNamed(wanted.text)), std::move(*values));
    return true;
  }

  // Takes a column made from the table (a spike regressor), once a name.
  void takeMade(const std::string& name, Kind kind, std::vector<float> values) {
    if (!computed_.insert(name).second) return;
    add(name, kind, std::move(values));
  }

  void takeAll() {
    for (std::size_t p = 0; p < table_.predictors.size(); ++p) takeColumn(p, std::nullopt);
  }

  sdm::DesignMatrix result() {
    return confoundMatrix(table_.fileName, std::move(columns_), table_.nrOfDataPoints);
  }

 private:
  // Takes the table's column `p`, of the kind `kind` or, without one, the kind its name tells.
  void takeColumn(std::size_t p, std::optional<Kind> kind) {
    if (taken_[p]) return;
    taken_[p] = true;
    const sdm::Predictor& column = table_.predictors[p];
    add(column.name, kind.value_or(kindOfNamed(column.name)), column.values);
  }

  // Adds a column unless it is identical, value for value (bit for bit), to one taken before:
  // fMRIPrep's outlier columns repeat one another, and a copy would make the design singular.
  void add(const std::string& name, Kind kind, std::vector<float> values) {
    std::vector<std::size_t>& same = byValues_[valuesKey(values)];
    for (const std::size_t earlier : same) {
      if (identical(columns_[earlier].values, values)) {
        leftOut_.push_back(name + " = " + columns_[earlier].name);
        return;
      }
    }
    same.push_back(columns_.size());
    columns_.push_back({name, {}, kind, std::move(values)});
  }

  static bool identical(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](float x, float y) {
             return std::bit_cast<uint32_t>(x) == std::bit_cast<uint32_t>(y);
           });
  }

  // A hash of the values' bits (FNV-1a), so that only columns of equal hash are compared.
  static uint64_t valuesKey(const std::vector<float>& values) {
    uint64_t hash = 14695981039346656037u;
    for (const float v : values) hash = (hash ^ std::bit_cast<uint32_t>(v)) * 1099511628211u;
    return hash;
  }

  // The values of `name`: the file's first column of that name, or computed from the name
  // without its last "_derivative1" or "_power2". Each step shortens the name, so this ends.
  std::optional<std::vector<float>> compute(std::string_view name) const {
    if (const auto at = index_.find(std::string(name)); at != index_.end())
      return table_.predictors[at->second.front()].values;
    if (name.ends_with(powerSuffix)) {
      auto base = compute(name.substr(0, name.size() - powerSuffix.size()));
      if (base) return power(std::move(*base));
    } else if (name.ends_with(derivativeSuffix)) {
      auto base = compute(name.substr(0, name.size() - derivativeSuffix.size()));
      if (base) return derivative(*base);
    }
    return std::nullopt;
  }

  const sdm::DesignMatrix& table_;
  std::unordered_map<std::string, std::vector<std::size_t>> index_;
  std::vector<bool> taken_;
  std::unordered_set<std::string> computed_;
  std::vector<sdm::Predictor> columns_;
  std::unordered_map<uint64_t, std::vector<std::size_t>> byValues_;
  std::vector<std::string> leftOut_;
};

std::runtime_error noMatch(const std::string& term, const sdm::DesignMatrix& table) {
  std::string message =
      "No confound column matches \"" + term + "\" in " + table.fileName + " (columns: ";
  const std::size_t listed = std::min(table.predictors.size(), namesInError);
  for (std::size_t p = 0; p < listed; ++p) {
    if (p > 0) message += ", ";
    message += table.predictors[p].name;
  }
  if (table.predictors.size() > namesInError) message += ", ...";
  message += ")";
  return std::runtime_error(message);
}

}  // namespace

SelectedConfounds chooseConfounds(const sdm::DesignMatrix& table, std::string_view terms) {
  Selection selection(table);
  std::vector<std::string> notes;
  bool anyTerm = false;
  if (std::string problem = contract::confoundTermsProblem(terms); !problem.empty()) {
    problem[0] = static_cast<char>(problem[0] - 'a' + 'A');  // the message begins the sentence
    throw std::runtime_error(problem);
  }
  for (const std::string_view term : contract::splitTerms(terms)) {
    anyTerm = true;
    if (const std::optional<ScrubTerm> scrub = contract::scrubThresholds(term)) {
      Scrubbing spikes = scrubRegressors(table, *scrub);
      for (std::size_t s = 0; s < spikes.names.size(); ++s)
        selection.takeMade(spikes.names[s], Kind::scrub, std::move(spikes.regressors[s]));
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
      for (const auto& name : motionBaseNames) selection.take({name, false, Kind::motion});
    } else {
      selection.takeAll();
    }
  }
  return {selection.result(), std::move(notes), selection.leftOut()};
}

sdm::DesignMatrix selectConfounds(const sdm::DesignMatrix& table, std::string_view terms) {
  return chooseConfounds(table, terms).matrix;
}

}  // namespace confounds

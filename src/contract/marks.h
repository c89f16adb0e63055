#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The mark of a run, one rule in one place: the plug-in marks each design it reports on and
// writes the mark and its reasons into the summary; brindle-bids shows them as they are written.
// The rule looks at what the researcher will test, never at the conditioning of all the
// regressors together.
namespace contract {

// The limits of the marks, with their defaults (the dialog parameters "ambervif", "redvif",
// "ambercost", "redcost" and "redscrubbed" give others).
struct MarkLimits {
  double amberVif = 5.0;     // a predictor of interest's variance inflation factor
  double redVif = 10.0;      // ... from which the design breaks
  double amberCost = 1.5;    // a contrast's confound cost
  double redCost = 2.0;      // ... from which the design breaks
  double redScrubbed = 0.2;  // more than this share of the volumes scrubbed breaks the design
};

// What the rule looks at of a run, by name, as the report found it.
struct RunMeasures {
  struct Factor {
    std::string predictor;  // a predictor of interest
    double vif = 0.0;       // its variance inflation factor; +inf in a dependency, NaN: none
  };
  struct Contrast {
    std::string name;
    bool estimable = true;
    double confoundCost = 0.0;  // NaN when there is none
    std::string reason;         // why it cannot be estimated, in words
  };
  struct Pair {
    std::string first, second;
    double r = 0.0;  // the signed correlation
  };
  std::vector<Factor> interestFactors;  // the predictors of interest, in the design's order
  std::vector<Contrast> contrasts;      // in the order they are tested
  std::vector<Pair> interestPairs;      // the flagged pairs with a predictor of interest in them
  std::size_t scrubbedVolumes = 0;
  std::size_t volumes = 0;
  // How many flagged pairs have a predictor of interest, when more than interestPairs holds (the
  // first of a long list).
  std::size_t interestPairCount = 0;
};

enum class Mark { ok, amber, red };

// A run's mark and the reasons for it, each naming what it is about.
struct RunMark {
  Mark mark = Mark::ok;
  std::vector<std::string> reasons;
  bool operator==(const RunMark&) const = default;
};

// At most this many flagged pairs are named among the reasons; one more reason counts the rest.
inline constexpr std::size_t maxMarkedPairs = 10;

// Red for a contrast that cannot be estimated ("faces - houses cannot be estimated (houses has no
// events)"), a predictor of interest whose factor reaches redVif ("faces VIF 44.5"), a contrast
// whose confound cost reaches redCost ("faces - houses costs x2.3 with the confounds") or more
// than redScrubbed of the volumes scrubbed ("scrubbed 25 %"); amber for a factor from amberVif,
// a cost from amberCost, or a flagged pair with a predictor of interest ("faces ~ houses r =
// 0.97"); else ok with no reason. The red reasons come first, then the amber ones, each kind in
// the order above; factors largest first. Factors and costs are written with three significant
// digits ("inf" for an infinite factor), r with two decimals, the share as a percentage to a
// tenth.
RunMark markRun(const RunMeasures& run, const MarkLimits& limits = {});

// "ok", "amber" or "red".
const char* markWord(Mark mark);

// The mark of `word` ("ok", "amber", "red"); none for any other word.
std::optional<Mark> markNamed(std::string_view word);

}  // namespace contract

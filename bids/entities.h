#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// BIDS file names: key-value entities joined by "_", a suffix and an extension, as in
// "sub-01_ses-1_task-faces_run-1_events.tsv".
namespace bids {

struct Entity {
  std::string key;    // "sub"
  std::string value;  // "01"
  bool operator==(const Entity&) const = default;
};

struct FileName {
  std::vector<Entity> entities;  // in the order of the name
  std::string suffix;            // "events", "bold", "timeseries"
  std::string extension;         // ".tsv", ".json", ".nii.gz": from the first "." on

  // The value of entity `key`, or null when the name has none.
  const std::string* value(std::string_view key) const;
  // The name again: entities, suffix, extension.
  std::string text() const;
};

// The parts of a file name (no folder); none when it is not a BIDS name: every part before the
// suffix must be KEY-VALUE with letters and digits only on both sides, the suffix letters and
// digits, and no key may repeat.
std::optional<FileName> parseFileName(std::string_view name);

// True when `a` and `b` are the same entity as BIDS compares them: the same key, and for an
// index (run, echo, flip, inv, split, chunk) the same number, so "run-01" is "run-1"; else the
// same text.
bool sameEntity(const Entity& a, const Entity& b);

// True when every entity of `part` appears in `whole` (sameEntity): the test of the inheritance
// principle for a sidecar (`part`) and a data file (`whole`).
bool entitiesSubset(const std::vector<Entity>& part, const std::vector<Entity>& whole);

// `entities` without the entity `key`.
std::vector<Entity> withoutEntity(std::vector<Entity> entities, std::string_view key);

// True when the two lists hold the same entities (sameEntity), in any order.
bool sameEntities(const std::vector<Entity>& a, const std::vector<Entity>& b);

// `entities` in the order BIDS gives them (sub, ses, task, acq, ce, rec, dir, run, echo, ...,
// desc); keys BIDS does not know keep their order, before "desc".
std::vector<Entity> inBidsOrder(std::vector<Entity> entities);

}  // namespace bids

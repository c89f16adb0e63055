#include "entities.h"

#include <algorithm>
#include <array>

namespace bids {

namespace {

bool alphanumeric(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

// "key-value" as an entity; none when it is not one.
std::optional<Entity> entityOf(std::string_view part) {
  const auto dash = part.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  Entity entity{std::string(part.substr(0, dash)), std::string(part.substr(dash + 1))};
  if (!alphanumeric(entity.key) || !alphanumeric(entity.value)) return std::nullopt;
  return entity;
}

// The entities of BIDS in the order its file names put them.
constexpr std::array<std::string_view, 31> bidsOrder{
    "sub",       "ses",   "sample", "task", "tracksys", "acq",   "nuc",   "voi",
    "ce",        "trc",   "stain",  "rec",  "dir",      "run",   "mod",   "echo",
    "flip",      "inv",   "mt",     "part", "proc",     "hemi",  "space", "split",
    "recording", "chunk", "seg",    "res",  "den",      "label", "desc"};

constexpr std::array<std::string_view, 6> indexKeys{"run", "echo", "flip", "inv", "split", "chunk"};

// Where `key` goes among the entities; the unknown ones just before "desc".
std::size_t rank(const std::string& key) {
  const auto found = std::find(bidsOrder.begin(), bidsOrder.end(), key);
  if (found == bidsOrder.end()) return bidsOrder.size() - 1;
  return static_cast<std::size_t>(found - bidsOrder.begin()) + (key == "desc" ? 1 : 0);
}

// The digits of an index without its leading zeros ("007" -> "7", "0" -> "0").
std::string_view withoutLeadingZeros(std::string_view digits) {
  const auto first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? digits.substr(digits.size() - 1) : digits.substr(first);
}

bool digitsOnly(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

const std::string* FileName::value(std::string_view key) const {
  for (const Entity& entity : entities) {
    if (entity.key == key) return &entity.value;
  }
  return nullptr;
}

std::string FileName::text() const {
  std::string name;
  for (const Entity& entity : entities) name += entity.key + "-" + entity.value + "_";
  return name + suffix + extension;
}

std::optional<FileName> parseFileName(std::string_view name) {
  const auto dot = name.find('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  FileName file;
  file.extension = std::string(name.substr(dot));
  std::string_view stem = name.substr(0, dot);
  for (auto underscore = stem.find('_'); underscore != std::string_view::npos;
       underscore = stem.find('_')) {
    const auto entity = entityOf(stem.substr(0, underscore));
    if (!entity || file.value(entity->key) != nullptr) return std::nullopt;
    file.entities.push_back(*entity);
    stem.remove_prefix(underscore + 1);
  }
  if (!alphanumeric(stem)) return std::nullopt;
  file.suffix = std::string(stem);
  return file;
}

bool sameEntity(const Entity& a, const Entity& b) {
  if (a.key != b.key) return false;
  const bool index = std::find(indexKeys.begin(), indexKeys.end(), a.key) != indexKeys.end();
  if (index && digitsOnly(a.value) && digitsOnly(b.value))
    return withoutLeadingZeros(a.value) == withoutLeadingZeros(b.value);
  return a.value == b.value;
}

bool entitiesSubset(const std::vector<Entity>& part, const std::vector<Entity>& whole) {
  return std::all_of(part.begin(), part.end(), [&whole](const Entity& entity) {
    return std::any_of(whole.begin(), whole.end(),
                       [&entity](const Entity& other) { return sameEntity(entity, other); });
  });
}

std::vector<Entity> withoutEntity(std::vector<Entity> entities, std::string_view key) {
  std::erase_if(entities, [key](const Entity& entity) { return entity.key == key; });
  return entities;
}

bool sameEntities(const std::vector<Entity>& a, const std::vector<Entity>& b) {
  return a.size() == b.size() && entitiesSubset(a, b);
}

std::vector<Entity> inBidsOrder(std::vector<Entity> entities) {
  std::stable_sort(entities.begin(), entities.end(),
                   [](const Entity& a, const Entity& b) { return rank(a.key) < rank(b.key); });
  return entities;
}

}  // namespace bids

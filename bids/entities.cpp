#include "entities.h"

#include <algorithm>

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

bool entitiesSubset(const std::vector<Entity>& part, const std::vector<Entity>& whole) {
  return std::all_of(part.begin(), part.end(), [&whole](const Entity& entity) {
    return std::find(whole.begin(), whole.end(), entity) != whole.end();
  });
}

std::vector<Entity> withoutEntity(std::vector<Entity> entities, std::string_view key) {
  std::erase_if(entities, [key](const Entity& entity) { return entity.key == key; });
  return entities;
}

bool sameEntities(const std::vector<Entity>& a, const std::vector<Entity>& b) {
  return a.size() == b.size() && entitiesSubset(a, b);
}

}  // namespace bids

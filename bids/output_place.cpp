#include "output_place.h"

#include <nlohmann/json.hpp>
#include <system_error>

#include "regular_file.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

fs::path resolved(const fs::path& folder) {
  std::error_code error;
  const fs::path real = fs::weakly_canonical(folder, error);
  return error ? folder.lexically_normal() : real;
}

// `inner` relative to `outer` when it lies inside it or is it ("."); empty otherwise.
fs::path within(const fs::path& inner, const fs::path& outer) {
  const fs::path relative = inner.lexically_relative(outer);
  if (relative.empty() || *relative.begin() == "..") return {};
  return relative;
}

bool namesBrindle(const nlohmann::json& description) {
  if (!description.is_object() || !description.contains("GeneratedBy")) return false;
  const nlohmann::json& generatedBy = description.at("GeneratedBy");
  if (!generatedBy.is_array()) return false;
  for (const nlohmann::json& tool : generatedBy)
    if (tool.is_object() && tool.value("Name", nlohmann::json()) == "Brindle") return true;
  return false;
}

}  // namespace

void checkOutputPlace(const fs::path& dataset, const fs::path& output,
                      const fs::path& derivatives) {
  const fs::path out = resolved(output), raw = resolved(dataset), read = resolved(derivatives);
  const std::string named = "OUTPUT_DIR " + output.string();
  const std::string advice = ": its files would be replaced; give another folder, such as " +
                             (dataset / "derivatives" / "brindle").string();
  if (!within(out, read).empty())
    throw OutputRefused(named + " is " + (out == read ? "" : "inside ") +
                        "the derivatives folder read, " + derivatives.string() + advice);
  const fs::path inDataset = within(out, raw);
  if (inDataset == ".")
    throw OutputRefused(named + " is the dataset BIDS_DIR " + dataset.string() + advice);
  if (!inDataset.empty() && inDataset.begin()->string().starts_with("sub-"))
    throw OutputRefused(named + " is inside the participant folder " +
                        (dataset / *inDataset.begin()).string() + " of BIDS_DIR" + advice);
}

void checkDescription(const fs::path& output) {
  const fs::path file = output / "dataset_description.json";
  std::error_code error;
  if (!fs::exists(fs::symlink_status(file, error))) return;
  const std::string refused = file.string() + " was not written by Brindle";
  const std::string advice = ": it is not replaced; give another OUTPUT_DIR";
  if (const std::string why = notRegularFile(file); !why.empty())
    throw OutputRefused(refused + " (" + why + ")" + advice);
  nlohmann::json description;
  try {
    description = nlohmann::json::parse(readRegularFile(file), nullptr, false);
  } catch (const std::exception& problem) {
    throw OutputRefused(problem.what());
  }
  if (!namesBrindle(description))
    throw OutputRefused(refused + " (its GeneratedBy names no Brindle)" + advice);
}

}  // namespace bids

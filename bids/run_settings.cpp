#include "run_settings.h"

#include <nlohmann/json.hpp>

#include "contract/summary_fields.h"
#include "participant.h"

namespace fs = std::filesystem;

namespace bids {

namespace {

namespace key = contract::settings;
using Json = nlohmann::ordered_json;

std::string relativeTo(const fs::path& file, const fs::path& root) {
  return file.lexically_relative(root).generic_string();
}

}  // namespace

std::string runSettings(const ParticipantOptions& options, const RunPlan& plan,
                        const std::vector<std::vector<std::string>>& commands) {
  Json settings = Json::object();
  settings[key::repetitionTime] = plan.repetitionTime;
  settings[key::repetitionTimeSource] = plan.repetitionTimeSource;
  settings[key::sliceTimingReference] = plan.sliceTimeRef;
  settings[key::sliceTimingReferenceSource] = plan.sliceTimeRefSource;
  settings[key::hrf] = options.hrf;
  settings[key::conditionColumn] =
      options.conditionColumn.empty() ? "trial_type" : options.conditionColumn;
  settings[key::conditions] = plan.conditions;
  settings[key::confoundTerms] = plan.designOnly ? Json() : Json(options.confounds);
  settings[key::highPassCutoff] = plan.designOnly ? Json(options.highPass) : Json();
  settings[key::events] = plan.events ? Json(relativeTo(*plan.events, options.dataset)) : Json();
  settings[key::confounds] =
      plan.confounds ? Json(relativeTo(*plan.confounds, options.derivatives)) : Json();
  settings[key::image] = relativeTo(plan.run.bold, options.dataset);
  settings[key::designOnly] = plan.designOnly;
  settings[key::brindleVersion] = BRINDLE_VERSION;
  Json& run = settings[key::commands] = Json::array();
  for (const std::vector<std::string>& args : commands) {
    Json command = Json::array({options.tormel.string()});
    for (const std::string& arg : args) command.push_back(arg);
    run.push_back(std::move(command));
  }
  // ASCII, so that the text reaches the summary as it is; file names need not be UTF-8.
  return settings.dump(-1, ' ', true, Json::error_handler_t::replace);
}

}  // namespace bids

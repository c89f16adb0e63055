#include "events/task_design.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <string_view>
#include <utility>

#include "base/number_text.h"
#include "contract/limits.h"
#include "contract/report_files.h"
#include "events/condition_terms.h"
#include "events/event_grid.h"
#include "events/events_file.h"
#include "events/predictor_colours.h"
#include "events/regressor.h"
#include "sdm/io_error.h"
#include "sdm/sdm_file.h"
#include "sdm/sdm_limits.h"

namespace events {

namespace {

constexpr std::string_view eventsSuffix = "_events.tsv";
constexpr std::string_view derivativeSuffix = "_derivative";
constexpr int32_t fileVersion = 3;
constexpr std::size_t conditionsInError = 10;

sdm::IOError cannotModel(const std::string& path, const std::string& reason) {
  return sdm::IOError("Cannot model the events of " + path + " (" + reason + ")");
}

// Seconds with at most three decimals, trailing zeros dropped: "12.5".
std::string secondsText(double seconds) {
  std::string text;
  base::appendFixed(text, seconds, 3);
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

void checkModel(const std::string& path, const TaskModel& model) {
  const double tr = model.repetitionTime;
  // The TR bounds keep a response kernel between 17 and 1,600,001 grid points.
  if (!(tr >= contract::minRepetitionTime && tr <= contract::maxRepetitionTime)) {
    throw cannotModel(path, "TR " + base::shortestText(tr) + " s outside " +
                                base::shortestText(contract::minRepetitionTime) + " to " +
                                base::shortestText(contract::maxRepetitionTime) + " s");
  }
  if (model.volumes < 1 || model.volumes > contract::maxVolumes) {
    throw cannotModel(path, std::to_string(model.volumes) + " volumes outside 1 to " +
                                std::to_string(contract::maxVolumes));
  }
  const double s = model.sliceReference;
  if (!(s >= 0.0 && s <= 1.0))
    throw cannotModel(path, "slice-timing reference " + base::shortestText(s) + " outside 0 to 1");
}

// The conditions of `table` that `terms` keeps; warns about terms that keep none.
std::vector<std::size_t> keptConditions(const std::string& path, const EventsTable& table,
                                        const std::string& terms,
                                        std::vector<base::Notice>& notices) {
  if (table.conditions.empty()) throw cannotModel(path, "no events");
  ConditionChoice choice = chooseConditions(table.conditions, terms);
  if (choice.kept.empty()) {
    std::string listed;
    const std::size_t count = std::min(table.conditions.size(), conditionsInError);
    for (std::size_t c = 0; c < count; ++c) listed += (c > 0 ? ", " : "") + table.conditions[c];
    if (table.conditions.size() > count) listed += ", ...";
    throw cannotModel(path, "no condition matches \"" + terms + "\"; conditions: " + listed);
  }
  for (const std::string& term : choice.unmatched)
    notices.push_back({base::NoticeKind::warning, path, "no condition matches \"" + term + "\""});
  return std::move(choice.kept);
}

// Refuses a predictor with a value that a float does not hold (the SDM would say "inf" or
// "nan"), naming the line of the event whose modulation is largest in magnitude (the first of
// equals): what took it there, as a modulation of 1e39 does.
void checkFitsFloat(const std::string& path, const std::string& name,
                    const std::vector<double>& values, std::span<const Event> events) {
  const auto beyond = std::find_if(values.begin(), values.end(), [](double value) {
    return !std::isfinite(base::roundToFloat(value));
  });
  if (beyond == values.end() || events.empty()) return;
  const Event& largest =
      *std::max_element(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return std::fabs(a.amplitude) < std::fabs(b.amplitude);
      });
  throw cannotModel(path, "line " + std::to_string(largest.line) + ": modulation " +
                              base::shortestText(largest.amplitude) + " takes predictor " + name +
                              " beyond the range of a float at volume " +
                              std::to_string(beyond - values.begin() + 1));
}

void appendPredictor(std::vector<sdm::Predictor>& predictors, std::string name,
                     const std::vector<double>& values, sdm::PredictorColour colour) {
  std::vector<float> stored(values.size());
  std::transform(values.begin(), values.end(), stored.begin(),
                 [](double value) { return base::roundToFloat(value); });
  predictors.push_back({std::move(name), colour, sdm::PredictorKind::interest, std::move(stored)});
}

void checkSize(const std::string& path, std::size_t predictors, int64_t volumes) {
  const auto count = static_cast<int64_t>(predictors);
  if (count > sdm::maxSdmPredictors || count * volumes > sdm::maxSdmValues) {
    throw cannotModel(path, std::to_string(count) + " predictors of " + std::to_string(volumes) +
                                " volumes: more values than an SDM file holds");
  }
}

bool anyEventInRun(const EventGrid& grid, std::span<const Event> events) {
  return std::any_of(events.begin(), events.end(), [&](const Event& event) {
    const GridSpan span = grid.span(event);
    return span.first < span.end;
  });
}

void warnIfPastTheEnd(const std::string& path, const EventsTable& table,
                      std::span<const std::size_t> kept, const TaskModel& model,
                      std::vector<base::Notice>& notices) {
  double lastEnd = -std::numeric_limits<double>::infinity();
  for (const std::size_t c : kept)
    for (const Event& event : table.events[c])
      lastEnd = std::max(lastEnd, event.onset + event.duration);
  const double runEnd = static_cast<double>(model.volumes) * model.repetitionTime;
  if (!(lastEnd > runEnd)) return;
  notices.push_back({base::NoticeKind::warning, path,
                     "events run past the last volume (" + secondsText(lastEnd - runEnd) +
                         " s after the run's end at " + secondsText(runEnd) + " s)"});
}

}  // namespace

std::string designPathOf(const std::string& eventsPath) {
  if (eventsPath.ends_with(eventsSuffix))
    return eventsPath.substr(0, eventsPath.size() - eventsSuffix.size()) + "_design.sdm";
  return contract::reportPath(eventsPath, ".sdm");
}

TaskDesign taskDesign(const std::string& eventsPath, const TaskModel& model) {
  checkModel(eventsPath, model);
  EventsTable table = readEventsFile(eventsPath);
  TaskDesign design{{}, std::move(table.notices)};
  const std::vector<std::size_t> kept =
      keptConditions(eventsPath, table, model.conditionTerms, design.notices);
  for (const std::size_t k : kept)
    sdm::checkUsableNames(eventsPath, std::span(&table.conditions[k], 1));
  checkSize(eventsPath, kept.size() * (model.timeDerivatives ? 2 : 1), model.volumes);

  const EventGrid grid({model.repetitionTime, model.volumes, model.sliceReference});
  const std::vector<double> kernel = hrfKernel(model.hrf, grid.step());
  std::vector<double> derivativeKernel;
  if (model.timeDerivatives) derivativeKernel = hrfDerivativeKernel(model.hrf, grid.step());
  std::vector<sdm::Predictor> predictors;
  for (std::size_t position = 0; position < kept.size(); ++position) {
    const std::string& name = table.conditions[kept[position]];
    const std::span<const Event> events = table.events[kept[position]];
    const std::vector<double> values = sampledRegressor(grid, kernel, events);
    checkFitsFloat(eventsPath, name, values, events);
    appendPredictor(predictors, name, values, conditionColour(position, false));
    if (model.timeDerivatives) {
      const std::string derivative = name + std::string(derivativeSuffix);
      const std::vector<double> slopes = sampledRegressor(grid, derivativeKernel, events);
      checkFitsFloat(eventsPath, derivative, slopes, events);
      appendPredictor(predictors, derivative, slopes, conditionColour(position, true));
    }
    if (!anyEventInRun(grid, events)) {
      design.notices.push_back({base::NoticeKind::warning, eventsPath,
                                "condition " + name + " has no event in the run"});
    }
  }
  warnIfPastTheEnd(eventsPath, table, kept, model, design.notices);
  const auto count = static_cast<int32_t>(predictors.size());
  design.matrix =
      sdm::newDesignMatrix(designPathOf(eventsPath), static_cast<int32_t>(model.volumes),
                           std::move(predictors), count + 1, fileVersion);
  return design;
}

}  // namespace events

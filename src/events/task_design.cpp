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
#include "contract/modulators.h"
#include "contract/predictor_names.h"
#include "contract/report_files.h"
#include "events/centring.h"
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

// A regressor's value as the design stores it: rounded to float as base::roundToFloat rounds it,
// except a NaN (where the overflowing sums of events of opposite signs meet), which designs have
// always stored as the largest float of its sign.
float storedValue(double value) {
  if (std::isnan(value)) {
    constexpr float largest = std::numeric_limits<float>::max();
    return std::signbit(value) ? -largest : largest;
  }
  return base::roundToFloat(value);
}

void appendPredictor(std::vector<sdm::Predictor>& predictors, std::string name,
                     const std::vector<double>& values, sdm::PredictorColour colour) {
  std::vector<float> stored(values.size());
  std::transform(values.begin(), values.end(), stored.begin(), storedValue);
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

// The grid and kernels of a design: each predictor, and its derivative when asked for.
struct Convolution {
  explicit Convolution(const TaskModel& model)
      : grid({model.repetitionTime, model.volumes, model.sliceReference}),
        kernel(hrfKernel(model.hrf, grid.step())),
        derivatives(model.timeDerivatives) {
    if (derivatives) derivativeKernel = hrfDerivativeKernel(model.hrf, grid.step());
  }

  // Appends the predictor `name` of `events`, in the colour of the condition at `position`, and
  // its derivative when the model asks for them.
  void append(std::vector<sdm::Predictor>& predictors, const std::string& name,
              std::span<const Event> events, std::size_t position) const {
    appendPredictor(predictors, name, sampledRegressor(grid, kernel, events),
                    conditionColour(position, false));
    if (derivatives) {
      appendPredictor(predictors, name + contract::derivativeSuffix,
                      sampledRegressor(grid, derivativeKernel, events),
                      conditionColour(position, true));
    }
  }

  EventGrid grid;
  std::vector<double> kernel;
  bool derivatives;
  std::vector<double> derivativeKernel;
};

}  // namespace

std::string designPathOf(const std::string& eventsPath) {
  if (eventsPath.ends_with(eventsSuffix))
    return eventsPath.substr(0, eventsPath.size() - eventsSuffix.size()) + "_design.sdm";
  return contract::reportPath(eventsPath, ".sdm");
}

TaskDesign taskDesign(const std::string& eventsPath, const TaskModel& model) {
  checkModel(eventsPath, model);
  std::vector<std::string> columns;
  for (const contract::Modulator& modulator : model.modulators) columns.push_back(modulator.column);
  EventsTable table = readEventsFile(eventsPath, columns);
  TaskDesign design{{}, std::move(table.notices)};
  const std::vector<std::size_t> kept =
      keptConditions(eventsPath, table, model.conditionTerms, design.notices);
  for (const std::size_t k : kept) {
    sdm::checkUsableNames(eventsPath, std::span(&table.conditions[k], 1));
    for (const contract::Modulator& modulator : model.modulators) {
      const std::string name = contract::modulatedName(table.conditions[k], modulator.column);
      sdm::checkUsableNames(eventsPath, std::span(&name, 1));
    }
  }
  checkSize(eventsPath,
            kept.size() * (1 + model.modulators.size()) * (model.timeDerivatives ? 2 : 1),
            model.volumes);

  const Convolution convolution(model);
  std::vector<sdm::Predictor> predictors;
  for (std::size_t position = 0; position < kept.size(); ++position) {
    const std::size_t k = kept[position];
    const std::string& name = table.conditions[k];
    convolution.append(predictors, name, table.events[k], position);
    if (!anyEventInRun(convolution.grid, table.events[k])) {
      design.notices.push_back({base::NoticeKind::warning, eventsPath,
                                "condition " + name + " has no event in the run"});
    }
    for (std::size_t m = 0; m < model.modulators.size(); ++m) {
      const contract::Modulator& modulator = model.modulators[m];
      const std::vector<Event> events = centred(table.modulated[m][k], modulator.centring);
      const std::string modulated = contract::modulatedName(name, modulator.column);
      convolution.append(predictors, modulated, events, position);
      if (!anyEventInRun(convolution.grid, events))
        design.notices.push_back(
            {base::NoticeKind::warning, eventsPath, modulated + " has no event in the run"});
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

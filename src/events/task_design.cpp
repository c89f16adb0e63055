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

// The conditions a design models, in order, each with its events and its place in the table
// (`absent` for a listed condition the file lacks).
struct Modelled {
  static constexpr std::size_t absent = static_cast<std::size_t>(-1);
  std::vector<std::string> names;
  std::vector<std::span<const Event>> events;
  std::vector<std::size_t> rows;
};

std::string listed(std::span<const std::string> names) {
  std::string text;
  const std::size_t count = std::min(names.size(), conditionsInError);
  for (std::size_t c = 0; c < count; ++c) text += (c > 0 ? ", " : "") + names[c];
  if (names.size() > count) text += ", ...";
  return text;
}

// The place of the condition `name` in `table`; Modelled::absent when the file has no such
// condition.
std::size_t rowOf(const EventsTable& table, const std::string& name) {
  const auto at = std::lower_bound(table.conditions.begin(), table.conditions.end(), name);
  if (at == table.conditions.end() || *at != name) return Modelled::absent;
  return static_cast<std::size_t>(at - table.conditions.begin());
}

// The listed conditions (or else the file's) that the terms keep; warns about terms that keep
// none. A name listed twice, and a condition named like the time derivative of another, would
// give two predictors one name: refused.
Modelled modelledConditions(const std::string& path, const EventsTable& table,
                            const TaskModel& model, std::vector<base::Notice>& notices) {
  if (table.conditions.empty()) throw cannotModel(path, "no events");
  const std::vector<std::string>& known =
      model.conditionList.empty() ? table.conditions : model.conditionList;
  for (std::size_t c = 0; c < known.size(); ++c)
    if (std::find(known.begin(), known.begin() + static_cast<std::ptrdiff_t>(c), known[c]) !=
        known.begin() + static_cast<std::ptrdiff_t>(c))
      throw cannotModel(path, "condition " + known[c] + " is listed twice");
  ConditionChoice choice = chooseConditions(known, model.conditionTerms);
  if (choice.kept.empty()) {
    throw cannotModel(path, "no condition matches \"" + model.conditionTerms +
                                "\"; conditions: " + listed(known));
  }
  for (const std::string& term : choice.unmatched)
    notices.push_back({base::NoticeKind::warning, path, "no condition matches \"" + term + "\""});
  Modelled modelled;
  for (const std::size_t c : choice.kept) {
    const std::size_t row = model.conditionList.empty() ? c : rowOf(table, known[c]);
    modelled.names.push_back(known[c]);
    modelled.rows.push_back(row);
    modelled.events.push_back(row == Modelled::absent ? std::span<const Event>()
                                                      : std::span<const Event>(table.events[row]));
  }
  if (!model.timeDerivatives) return modelled;
  for (const std::string& name : modelled.names) {
    const std::string derivative = name + contract::derivativeSuffix;
    if (std::find(modelled.names.begin(), modelled.names.end(), derivative) != modelled.names.end())
      throw cannotModel(path, "condition " + derivative +
                                  " has the name of the time derivative of condition " + name);
  }
  return modelled;
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

// Warns about the events left out for ending before the grid begins.
void warnOfEarlyEvents(const std::string& path, const EventGrid& grid, const Modelled& modelled,
                       std::vector<base::Notice>& notices) {
  int64_t early = 0;
  for (const std::span<const Event> events : modelled.events)
    for (const Event& event : events) {
      const GridSpan span = grid.span(event);
      if (span.first == span.end && event.onset < 0.0) ++early;
    }
  if (early == 0) return;
  notices.push_back({base::NoticeKind::warning, path,
                     std::to_string(early) + " event(s) end more than " + secondsText(leadIn) +
                         " s before the run starts: left out"});
}

void warnIfPastTheEnd(const std::string& path, const Modelled& modelled, const TaskModel& model,
                      std::vector<base::Notice>& notices) {
  double lastEnd = -std::numeric_limits<double>::infinity();
  for (const std::span<const Event> events : modelled.events)
    for (const Event& event : events) lastEnd = std::max(lastEnd, event.onset + event.duration);
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
  // its derivative when the model asks for them; refuses a value beyond a float (checkFitsFloat).
  void append(std::vector<sdm::Predictor>& predictors, const std::string& path,
              const std::string& name, std::span<const Event> events, std::size_t position) const {
    const std::vector<double> values = sampledRegressor(grid, kernel, events);
    checkFitsFloat(path, name, values, events);
    appendPredictor(predictors, name, values, conditionColour(position, false));
    if (derivatives) {
      const std::string derivative = name + contract::derivativeSuffix;
      const std::vector<double> slopes = sampledRegressor(grid, derivativeKernel, events);
      checkFitsFloat(path, derivative, slopes, events);
      appendPredictor(predictors, derivative, slopes, conditionColour(position, true));
    }
  }

  EventGrid grid;
  std::vector<double> kernel;
  bool derivatives;
  std::vector<double> derivativeKernel;
};

// Every name the design would give, each checked as an SDM predictor name.
void checkNames(const std::string& path, const Modelled& modelled, const TaskModel& model) {
  sdm::checkUsableNames(path, modelled.names);
  for (const std::string& name : modelled.names)
    for (const contract::Modulator& modulator : model.modulators) {
      const std::string modulated = contract::modulatedName(name, modulator.column);
      sdm::checkUsableNames(path, std::span(&modulated, 1));
    }
}

// The modulated events of the modelled condition at `position`, centred as the modulator asks.
std::vector<Event> modulatedEvents(const EventsTable& table, const Modelled& modelled,
                                   std::size_t position, std::size_t m,
                                   const contract::Modulator& modulator) {
  const std::size_t row = modelled.rows[position];
  if (row == Modelled::absent) return {};
  return centred(table.modulated[m][row], modulator.centring);
}

}  // namespace

std::string designPathOf(const std::string& eventsPath) {
  if (eventsPath.ends_with(eventsSuffix))
    return eventsPath.substr(0, eventsPath.size() - eventsSuffix.size()) + "_design.sdm";
  return contract::reportPath(eventsPath, ".sdm");
}

TaskDesign taskDesign(const std::string& eventsPath, const TaskModel& model) {
  checkModel(eventsPath, model);
  EventsColumns columns{model.conditionColumn, {}};
  for (const contract::Modulator& modulator : model.modulators)
    columns.modulators.push_back(modulator.column);
  EventsTable table = readEventsFile(eventsPath, columns);
  TaskDesign design{{}, std::move(table.notices), std::move(table.skipped)};
  const Modelled modelled = modelledConditions(eventsPath, table, model, design.notices);
  checkNames(eventsPath, modelled, model);
  checkSize(eventsPath,
            modelled.names.size() * (1 + model.modulators.size()) * (model.timeDerivatives ? 2 : 1),
            model.volumes);

  const Convolution convolution(model);
  const EventGrid& grid = convolution.grid;
  std::vector<sdm::Predictor> predictors;
  // Each predictor appended gets the onsets of the events it models.
  const auto noteOnsets = [&design, &predictors](std::span<const Event> events) {
    std::vector<double> onsets;
    for (const Event& event : events) onsets.push_back(event.onset);
    design.onsets.resize(predictors.size(), onsets);
  };
  for (std::size_t position = 0; position < modelled.names.size(); ++position) {
    const std::string& name = modelled.names[position];
    convolution.append(predictors, eventsPath, name, modelled.events[position], position);
    noteOnsets(modelled.events[position]);
    if (!anyEventInRun(grid, modelled.events[position])) {
      design.notices.push_back({base::NoticeKind::warning, eventsPath,
                                "condition " + name + " has no event in the run"});
    }
    for (std::size_t m = 0; m < model.modulators.size(); ++m) {
      const contract::Modulator& modulator = model.modulators[m];
      const std::vector<Event> events = modulatedEvents(table, modelled, position, m, modulator);
      const std::string modulated = contract::modulatedName(name, modulator.column);
      convolution.append(predictors, eventsPath, modulated, events, position);
      noteOnsets(events);
      if (!anyEventInRun(grid, events))
        design.notices.push_back(
            {base::NoticeKind::warning, eventsPath, modulated + " has no event in the run"});
    }
  }
  warnOfEarlyEvents(eventsPath, grid, modelled, design.notices);
  warnIfPastTheEnd(eventsPath, modelled, model, design.notices);
  const auto count = static_cast<int32_t>(predictors.size());
  design.matrix =
      sdm::newDesignMatrix(designPathOf(eventsPath), static_cast<int32_t>(model.volumes),
                           std::move(predictors), count + 1, fileVersion);
  return design;
}

}  // namespace events

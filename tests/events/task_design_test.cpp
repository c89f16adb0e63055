#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "events/task_design.h"
#include "sdm/io_error.h"
#include "sdm/matrix_text.h"
#include "support/expect_throw.h"
#include "support/number_text.h"
#include "support/temp_dir.h"

using namespace base;
using namespace sdm;
using namespace events;

namespace {

using testing_support::numberText;
using testing_support::TempDir;

// The response model written out on its own, straight from its formulas.
double gammaDensity(double t, double a, double b) {
  if (t <= 0.0) return 0.0;
  return std::pow(t, a - 1.0) * std::exp(-t / b) / (std::tgamma(a) * std::pow(b, a));
}

std::vector<double> spmKernel(double dt, double lag) {
  std::vector<double> kernel;
  double total = 0.0;
  for (int k = 0; k <= static_cast<int>(std::floor(32.0 / dt)); ++k) {
    const double t = k * dt - lag;
    kernel.push_back(gammaDensity(t, 6.0, 1.0) - gammaDensity(t, 16.0, 1.0) / 6.0);
    total += kernel.back();
  }
  for (double& h : kernel) h /= total;
  return kernel;
}

struct Box {
  double onset, duration, amplitude;
};

// Boxes on the whole grid, which begins 24 s before the run (at index -ceil(24 / dt), time t
// still at index round(t / dt)), the whole convolution, then each volume read off it.
std::vector<double> directRegressor(const std::vector<Box>& boxes, const std::vector<double>& h,
                                    double tr, int volumes, double s) {
  const double dt = tr / 50.0;
  const int lead = static_cast<int>(std::ceil(24.0 / dt));
  const int points = 50 * (volumes - 1) + static_cast<int>(std::round(50.0 * s)) + 1;
  // x[lead + j] is the signal at grid index j; one past the end: x is 0 there.
  std::vector<double> x(static_cast<std::size_t>(lead + points) + 1, 0.0);
  for (const Box& box : boxes) {
    const int first = static_cast<int>(std::round(box.onset / dt));
    const int end =
        std::max(first + 1, static_cast<int>(std::round((box.onset + box.duration) / dt)));
    for (int j = std::max(first, -lead); j < std::min(end, points); ++j)
      x[static_cast<std::size_t>(lead + j)] += box.amplitude;
  }
  std::vector<double> y(x.size(), 0.0);
  for (std::size_t j = 0; j < y.size(); ++j)
    for (std::size_t k = 0; k <= j && k < h.size(); ++k) y[j] += h[k] * x[j - k];
  std::vector<double> sampled;
  for (int i = 0; i < volumes; ++i) {
    const double at = lead + 50.0 * (i + s);
    const auto below = static_cast<std::size_t>(std::floor(at));
    const double w = at - std::floor(at);
    sampled.push_back((1.0 - w) * y[below] + (w > 0.0 ? w * y[below + 1] : 0.0));
  }
  return sampled;
}

TEST(EventsDesign, RegressorAndDerivativeMatchTheFormulasEvaluatedDirectly) {
  // Events before the run: one whose end reaches into it, two wholly before it whose responses
  // do, one cut at the grid's start, one ending before it (left out).
  const std::vector<Box> go = {{-3.0, 5.0, 1.0},   {-12.5, 2.0, 1.5},   {-23.9, 0.0, 1.0},
                               {-30.0, 10.0, 0.5}, {-40.0, 15.5, 3.0},  {10.0, 0.0, 2.0},
                               {10.01, 4.5, -0.5}, {30.3, 12.27, 1.25}, {60.0, 45.0, 1.0},
                               {150.0, 20.0, 0.75}};
  std::string rows = "onset\tduration\ttrial_type\tmodulation\n5\t1\tstop\t1\n";
  for (const Box& b : go)
    rows += numberText(b.onset) + "\t" + numberText(b.duration) + "\tgo\t" +
            numberText(b.amplitude) + "\n";
  TempDir dir;
  const std::string path = dir.write("sub-01_task-go_events.tsv", rows);
  TaskModel model;
  model.repetitionTime = 2.0;
  model.volumes = 80;
  model.sliceReference = 0.33;
  model.timeDerivatives = true;
  const TaskDesign design = taskDesign(path, model);

  ASSERT_EQ(sdm::namesOf(design.matrix.predictors),
            (std::vector<std::string>{"go", "go_derivative", "stop", "stop_derivative"}));
  const std::vector<double> h = spmKernel(0.04, 0.0), lagged = spmKernel(0.04, 0.1);
  std::vector<double> derivative(h.size());
  for (std::size_t k = 0; k < h.size(); ++k) derivative[k] = (h[k] - lagged[k]) / 0.1;
  const std::vector<double> expected = directRegressor(go, h, 2.0, 80, 0.33);
  const std::vector<double> expectedDerivative = directRegressor(go, derivative, 2.0, 80, 0.33);
  for (std::size_t i = 0; i < 80; ++i) {
    EXPECT_NEAR(design.matrix.predictors[0].values[i], expected[i], 1e-6) << "volume " << i;
    EXPECT_NEAR(design.matrix.predictors[1].values[i], expectedDerivative[i], 1e-6)
        << "volume " << i;
  }
  EXPECT_GT(design.matrix.predictors[0].values[0], 0.1f) << "the events before the run count";
  ASSERT_EQ(design.notices.size(), 2u);
  EXPECT_EQ(design.notices[0].text,
            "1 event(s) end more than 24 s before the run starts: left out");
}

TEST(EventsDesign, ConditionsWithoutEventsInTheRunAreZeroAndWarnedAbout) {
  TempDir dir;
  const std::string path = dir.write(
      "run1.tsv",
      "onset\ttrial_type\tduration\n7\tlate\t0\nn/a\tlate\t1\n-30\tearly\t2\n0\tcue\t0\n");
  TaskModel model;
  model.repetitionTime = 2.5;
  model.volumes = 2;
  model.hrf = HrfModel::glover;
  model.timeDerivatives = true;
  model.conditionTerms = "l*,e?rly, target ";
  const TaskDesign design = taskDesign(path, model);
  EXPECT_EQ(design.matrix.fileName, dir.file("run1.sdm"));
  EXPECT_EQ(sdm_test::describe(design.matrix),
            "fileVersion FileVersion 24 3\nnrOfPredictors NrOfPredictors 24 4\n"
            "nrOfDataPoints NrOfDataPoints 24 2\nincludesConstant IncludesConstant 24 0\n"
            "firstConfoundPredictor FirstConfoundPredictor 24 5\n"
            "colours 220,60,60 132,36,36 50,140,220 30,84,132\n"
            "names [early] [early_derivative] [late] [late_derivative]\n"
            "values 0 0\nvalues 0 0\nvalues 0 0\nvalues 0 0\n");
  EXPECT_EQ(sdm_test::kindsText(design.matrix), "interest interest interest interest");
  std::string notices;
  for (const Notice& notice : design.notices) notices += noticeText(notice) + "\n";
  EXPECT_EQ(
      notices,
      "Warning: run1.tsv: 1 event(s) skipped: onset n/a (lines 3)\n"
      "Warning: run1.tsv: no condition matches \"target\"\n"
      "Warning: run1.tsv: condition early has no event in the run\n"
      "Warning: run1.tsv: condition late has no event in the run\n"
      "Warning: run1.tsv: 1 event(s) end more than 24 s before the run starts: left out\n"
      "Warning: run1.tsv: events run past the last volume (2 s after the run's end at 5 s)\n");
}

TEST(EventsDesign, RefusesAPredictorBeyondTheFloatRangeNamingTheLineOfItsLargestModulation) {
  const struct {
    const char* rows;  // after the header
    std::string reason;
  } cases[] = {
      // A modulation beyond the floats; its condition's other events are small.
      {"2\t4\tgo\t1\n10\t4\tgo\t1e39\n20\t2\tstop\t1\n",
       "line 3: modulation 1e+39 takes predictor go beyond the range of a float at volume 9"},
      // Sums that overflow double, and events of the opposite sign inside them (a NaN where the
      // overflowing sums meet): the first of the largest modulations is named.
      {"0\t30\ta\t1.7e308\n0\t30\ta\t1.7e308\n10\t10\ta\t-1.7e308\n",
       "line 2: modulation 1.7e+308 takes predictor a beyond the range of a float at volume 2"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.write(
        "a_events.tsv", std::string("onset\tduration\ttrial_type\tmodulation\n") + c.rows);
    TaskModel model;
    model.repetitionTime = 2.0;
    model.volumes = 20;
    SCOPED_TRACE(c.rows);
    EXPECT_THROW_MSG(taskDesign(path, model), IOError,
                     "Cannot model the events of " + path + " (" + c.reason + ")");
  }
}

TEST(EventsDesign, RefusesWhatCannotBeModelled) {
  TempDir dir;
  const std::string path = dir.write("a_events.tsv", "onset\tduration\ttrial_type\n1\t1\tgo\n");
  const std::string prefix = "Cannot model the events of " + path + " (";
  TaskModel model;
  model.volumes = 10;
  model.repetitionTime = 0.0;
  EXPECT_THROW_MSG(taskDesign(path, model), IOError, prefix + "TR 0 s outside 0.001 to 100 s)");
  model.repetitionTime = NAN;
  EXPECT_THROW_MSG(taskDesign(path, model), IOError, prefix + "TR nan s outside 0.001 to 100 s)");
  model.repetitionTime = 2.0;
  model.volumes = 0;
  EXPECT_THROW_MSG(taskDesign(path, model), IOError, prefix + "0 volumes outside 1 to 268435456)");
  model.volumes = 10;
  model.sliceReference = 1.5;
  EXPECT_THROW_MSG(taskDesign(path, model), IOError,
                   prefix + "slice-timing reference 1.5 outside 0 to 1)");
  model.sliceReference = 0.0;
  model.conditionTerms = "stop*";
  EXPECT_THROW_MSG(taskDesign(path, model), IOError,
                   prefix + "no condition matches \"stop*\"; conditions: go)");
  model.conditionTerms = "";
  model.conditionList = {"go", "go_derivative"};
  model.timeDerivatives = true;
  EXPECT_THROW_MSG(
      taskDesign(path, model), IOError,
      prefix + "condition go_derivative has the name of the time derivative of condition go)");
  model.conditionList = {"go", "stop", "go"};
  EXPECT_THROW_MSG(taskDesign(path, model), IOError, prefix + "condition go is listed twice)");
}

TEST(EventsDesign, NamesTheSdmAfterTheEventsFile) {
  EXPECT_EQ(designPathOf("d/sub-01_task-a_run-1_events.tsv"), "d/sub-01_task-a_run-1_design.sdm");
  EXPECT_EQ(designPathOf("d.x/events.txt"), "d.x/events.sdm");
  EXPECT_EQ(designPathOf("d.x/events"), "d.x/events.sdm");
}

}  // namespace

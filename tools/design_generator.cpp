#include "design_generator.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "random.h"
#include "sdm/sdm_file.h"

namespace tools {

namespace {

double twoGamma(double t) {
  if (t <= 0) return 0;
  const double peak = std::pow(t, 5) * std::exp(-t) / 120.0;                  // gamma, shape 6
  const double undershoot = std::pow(t, 15) * std::exp(-t) / 1.307674368e12;  // gamma, shape 16
  return peak - undershoot / 6.0;
}

// One condition's blocks: rest for one block, then the conditions' first blocks in turn, and so
// on. A condition whose first block would not end within the run gets blocks of an equal share of
// the run instead (one share for the rest and one per condition), so that its first block fits
// whole; in a run of shortestRun(conditions) points or more, its response then shows.
std::vector<float> taskPredictor(int points, int condition, int conditions, Random& random) {
  std::vector<double> boxcar(static_cast<std::size_t>(points), 0.0);
  int block = 10 + static_cast<int>(random.uniform() * 6);
  const int share = points / (conditions + 1);
  if (block * (condition + 2) > points && share > 0) block = share;
  for (int start = block * (1 + condition); start < points; start += block * (conditions + 1)) {
    for (int t = start; t < start + block && t < points; ++t)
      boxcar[static_cast<std::size_t>(t)] = 1.0;
  }
  // The response is sampled once; it is zero from 32 samples on.
  double response[32];
  for (std::size_t s = 0; s < 32; ++s) response[s] = twoGamma(static_cast<double>(s));
  std::vector<double> convolved(boxcar.size(), 0.0);
  double peak = 0;
  for (std::size_t t = 0; t < boxcar.size(); ++t) {
    for (std::size_t s = 0; s <= t && s < 32; ++s) convolved[t] += boxcar[t - s] * response[s];
    peak = std::max(peak, convolved[t]);
  }
  std::vector<float> values;
  values.reserve(convolved.size());
  for (double v : convolved) values.push_back(static_cast<float>(peak > 0 ? v / peak : 0));
  return values;
}

std::vector<float> driftPredictor(int points, Random& random) {
  std::vector<float> values;
  values.reserve(static_cast<std::size_t>(points));
  double level = (random.uniform() - 0.5) * 0.5;
  const double step = 0.02 + random.uniform() * 0.08;
  for (int t = 0; t < points; ++t) {
    level += (random.uniform() - 0.5) * step;
    level = std::max(-3.0, std::min(3.0, level));
    values.push_back(static_cast<float>(level));
  }
  return values;
}

}  // namespace

int shortestRun(int interest) { return interest > 0 ? interest + 2 : 0; }

sdm::DesignMatrix generateDesignMatrix(const DesignShape& shape) {
  if (shape.interest < 0 || shape.confounds < 0 || shape.points < 0) return {};
  static const char* const motionNames[] = {"Translation X [mm]", "Translation Y [mm]",
                                            "Translation Z [mm]", "Rotation X [deg]",
                                            "Rotation Y [deg]",   "Rotation Z [deg]"};
  // Predictors are placed in order here rather than through addPredictor, which takes any
  // predictor whose values are all equal and not 0 for a constant: over one data point every
  // drift is such a predictor, and a second one would be refused.
  using Kind = sdm::PredictorKind;
  std::vector<sdm::Predictor> predictors;
  const auto add = [&predictors](std::vector<float> values, std::string name, Kind kind,
                                 sdm::PredictorColour colour) {
    predictors.push_back({std::move(name), colour, kind, std::move(values)});
  };
  Random random(shape.seed);
  for (int k = 0; k < shape.interest; ++k) {
    const auto index = static_cast<std::size_t>(k);
    std::string name = index < shape.interestNames.size() ? shape.interestNames[index]
                                                          : "Condition " + std::to_string(k + 1);
    // Blue, green and red first, then the values: the order every existing file was made in.
    const auto blue = static_cast<int>(random.next() % 256);
    const auto green = static_cast<int>(random.next() % 256);
    const auto red = static_cast<int>(random.next() % 256);
    std::vector<float> values = taskPredictor(shape.points, k, shape.interest, random);
    add(std::move(values), std::move(name), Kind::interest, {red, green, blue});
  }
  for (int k = 0; k < shape.confounds; ++k) {
    const bool motion = shape.motion && k < 6;
    std::string name =
        motion ? std::string(motionNames[k]) : shape.confoundPrefix + " " + std::to_string(k + 1);
    add(driftPredictor(shape.points, random), std::move(name),
        motion ? Kind::motion : Kind::confound, {128, 128, 128});
  }
  if (!shape.sumName.empty() && shape.confounds >= 3) {
    const auto first = static_cast<std::size_t>(shape.interest);
    std::vector<float> sum(static_cast<std::size_t>(shape.points));
    for (std::size_t t = 0; t < sum.size(); ++t)
      sum[t] = predictors[first].values[t] + predictors[first + 1].values[t] +
               predictors[first + 2].values[t];
    add(std::move(sum), shape.sumName, Kind::confound, {128, 128, 128});
  }
  if (shape.constant)
    add(std::vector<float>(static_cast<std::size_t>(shape.points), 1.0f), "Constant",
        Kind::constant, {255, 255, 255});

  sdm::DesignMatrix m =
      sdm::newDesignMatrix({}, shape.points, std::move(predictors), shape.interest + 1);
  m.includesConstant = shape.constant;
  return m;
}

}  // namespace tools

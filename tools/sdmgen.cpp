// sdmgen: writes a realistic single-study design matrix for examples, tests and benchmarks.
//
//   sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]
//                  [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]
//
// Predictors of interest are block designs (on/off periods) convolved with a two-gamma response,
// scaled to [0, 1]; confounds are slowly drifting random walks like head-motion estimates (in mm
// or degrees, within about +-3); --motion names the first six confounds as the six rigid-body
// motion parameters. The same seed always gives the same file.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "sdm/design_matrix.h"

namespace {

// A small, fully specified generator (splitmix64), so files are identical on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

double twoGamma(double t) {
  if (t <= 0) return 0;
  const double peak = std::pow(t, 5) * std::exp(-t) / 120.0;        // gamma, shape 6
  const double undershoot = std::pow(t, 15) * std::exp(-t) / 1.307674368e12;  // gamma, shape 16
  return peak - undershoot / 6.0;
}

std::vector<float> taskPredictor(int points, int condition, int conditions, Random& random) {
  std::vector<double> boxcar(static_cast<size_t>(points), 0.0);
  const int block = 10 + static_cast<int>(random.uniform() * 6);
  for (int start = block * (1 + condition); start < points; start += block * (conditions + 1)) {
    for (int t = start; t < start + block && t < points; ++t) boxcar[static_cast<size_t>(t)] = 1.0;
  }
  std::vector<double> convolved(boxcar.size(), 0.0);
  double peak = 0;
  for (size_t t = 0; t < boxcar.size(); ++t) {
    for (size_t s = 0; s <= t && s < 32; ++s) convolved[t] += boxcar[t - s] * twoGamma(static_cast<double>(s));
    peak = std::max(peak, convolved[t]);
  }
  std::vector<float> values;
  for (double v : convolved) values.push_back(static_cast<float>(peak > 0 ? v / peak : 0));
  return values;
}

std::vector<float> driftPredictor(int points, Random& random) {
  std::vector<float> values;
  double level = (random.uniform() - 0.5) * 0.5;
  const double step = 0.02 + random.uniform() * 0.08;
  for (int t = 0; t < points; ++t) {
    level += (random.uniform() - 0.5) * step;
    level = std::max(-3.0, std::min(3.0, level));
    values.push_back(static_cast<float>(level));
  }
  return values;
}

int usage() {
  std::fputs("usage: sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]\n"
             "              [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]\n", stderr);
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string out = argv[1];
  int interest = 3, confounds = 6, points = 120;
  uint64_t seed = 1;
  bool constant = false, motion = false;
  std::string confoundPrefix = "Confound";
  std::vector<std::string> interestNames;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--interest" && hasValue) interest = std::atoi(argv[++i]);
    else if (arg == "--confounds" && hasValue) confounds = std::atoi(argv[++i]);
    else if (arg == "--points" && hasValue) points = std::atoi(argv[++i]);
    else if (arg == "--seed" && hasValue) seed = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--confound-prefix" && hasValue) confoundPrefix = argv[++i];
    else if (arg == "--interest-names" && hasValue) {
      std::string list = argv[++i];
      for (std::size_t start = 0; start <= list.size();) {
        const auto comma = std::min(list.find(',', start), list.size());
        interestNames.push_back(list.substr(start, comma - start));
        start = comma + 1;
      }
    } else if (arg == "--constant") constant = true;
    else if (arg == "--motion") motion = true;
    else return usage();
  }
  if (interest < 0 || confounds < 0 || points < 0) return usage();

  static const char* const motionNames[] = {"Translation X [mm]", "Translation Y [mm]",
                                            "Translation Z [mm]", "Rotation X [deg]",
                                            "Rotation Y [deg]", "Rotation Z [deg]"};
  Random random(seed);
  DesignMatrix m;
  m.fileVersion = {"FileVersion", 1, 24, true};
  m.nrOfPredictors = {"NrOfPredictors", 0, 24, true};
  m.nrOfDataPoints = {"NrOfDataPoints", points, 24, true};
  m.includesConstant = {"IncludesConstant", false, 24, true};
  m.firstConfoundPredictor = {"FirstConfoundPredictor", 1, 24, true};
  for (int k = 0; k < interest; ++k) {
    const std::string name = static_cast<std::size_t>(k) < interestNames.size()
                                 ? interestNames[static_cast<std::size_t>(k)]
                                 : "Condition " + std::to_string(k + 1);
    m.addPredictor(taskPredictor(points, k, interest, random), name,
                   static_cast<int>(random.next() % 256), static_cast<int>(random.next() % 256),
                   static_cast<int>(random.next() % 256), false);
  }
  for (int k = 0; k < confounds; ++k) {
    const std::string name = motion && k < 6 ? std::string(motionNames[k])
                                             : confoundPrefix + " " + std::to_string(k + 1);
    m.addPredictor(driftPredictor(points, random), name, 128, 128, 128, true);
  }
  if (constant) m.addConstant();
  try {
    m.save(out);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sdmgen: %s\n", error.what());
    return 1;
  }
  return 0;
}

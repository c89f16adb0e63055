// sdmgen: writes a realistic single-study design matrix for examples, tests and benchmarks.
//
//   sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]
//                  [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]
//
// Predictors of interest are block designs (on/off periods) convolved with a two-gamma response,
// scaled to [0, 1]; confounds are slowly drifting random walks like head-motion estimates (in mm
// or degrees, within about +-3); --motion names the first six confounds as the six rigid-body
// motion parameters. The same seed always gives the same file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "design_generator.h"

namespace {

int usage() {
  std::fputs(
      "usage: sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]\n"
      "              [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]\n",
      stderr);
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string out = argv[1];
  DesignShape shape;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--interest" && hasValue)
      shape.interest = std::atoi(argv[++i]);
    else if (arg == "--confounds" && hasValue)
      shape.confounds = std::atoi(argv[++i]);
    else if (arg == "--points" && hasValue)
      shape.points = std::atoi(argv[++i]);
    else if (arg == "--seed" && hasValue)
      shape.seed = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--confound-prefix" && hasValue)
      shape.confoundPrefix = argv[++i];
    else if (arg == "--interest-names" && hasValue) {
      const std::string list = argv[++i];
      for (std::size_t start = 0; start <= list.size();) {
        const auto comma = std::min(list.find(',', start), list.size());
        shape.interestNames.push_back(list.substr(start, comma - start));
        start = comma + 1;
      }
    } else if (arg == "--constant")
      shape.constant = true;
    else if (arg == "--motion")
      shape.motion = true;
    else
      return usage();
  }
  if (shape.interest < 0 || shape.confounds < 0 || shape.points < 0) return usage();

  DesignMatrix m = generateDesignMatrix(shape);
  try {
    m.save(out);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sdmgen: %s\n", error.what());
    return 1;
  }
  return 0;
}

// sdmgen: writes a realistic single-study design matrix, or a confound file of a preprocessing
// pipeline, for examples, tests and benchmarks.
//
//   sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]
//                  [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]
//                  [--sum NAME]
//   sdmgen OUT --format tsv|par|rp|1d [--points N] [--seed S] [--tr SECONDS] [--compcor K]
//
// Predictors of interest are block designs (on/off periods) convolved with a two-gamma response,
// scaled to [0, 1]; confounds are slowly drifting random walks like head-motion estimates (in mm
// or degrees, within about +-3); --motion names the first six confounds as the six rigid-body
// motion parameters. --sum adds one more confound, the sum of the first three: a dependency that
// no pair of predictors shows. The same seed always gives the same file.
//
// --format tsv writes a fMRIPrep-like confounds table (signals with their derivatives and powers,
// DVARS, framewise displacement, CompCor components, K of them a_comp_cor, cosine drifts for the
// repetition time, outlier indicators, "n/a" in the first row); par an FSL MCFLIRT motion file,
// rp an SPM realign rp_*.txt, 1d an AFNI .1D motion file with column labels. The confound files
// of one seed hold the same head motion.

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "confound_generator.h"
#include "design_generator.h"
#include "sdm/output_file.h"

namespace {

int usage() {
  std::fputs(
      "usage: sdmgen OUT.sdm [--interest K] [--confounds K] [--constant] [--points N] [--seed S]\n"
      "              [--motion] [--confound-prefix TEXT] [--interest-names A,B,...]\n"
      "              [--sum NAME]\n"
      "       sdmgen OUT --format tsv|par|rp|1d [--points N] [--seed S] [--tr SECONDS]\n"
      "              [--compcor K]\n",
      stderr);
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string out = argv[1];
  DesignShape shape;
  ConfoundShape confounds;
  std::string format = "sdm";
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
    else if (arg == "--format" && hasValue)
      format = argv[++i];
    else if (arg == "--tr" && hasValue) {
      // from_chars reads "2.5" whatever the locale says; what it cannot read fails below.
      const std::string_view text = argv[++i];
      if (std::from_chars(text.data(), text.data() + text.size(), confounds.repetitionTime).ptr !=
          text.data() + text.size())
        confounds.repetitionTime = 0;
    } else if (arg == "--compcor" && hasValue)
      confounds.aCompCor = std::atoi(argv[++i]);
    else if (arg == "--sum" && hasValue)
      shape.sumName = argv[++i];
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
  if (!shape.sumName.empty() && shape.confounds < 3) return usage();
  const std::pair<const char*, ConfoundTextFormat> formats[] = {{"tsv", ConfoundTextFormat::tsv},
                                                                {"par", ConfoundTextFormat::par},
                                                                {"rp", ConfoundTextFormat::rp},
                                                                {"1d", ConfoundTextFormat::afni}};
  const auto* const chosen = std::find_if(std::begin(formats), std::end(formats),
                                          [&](const auto& f) { return format == f.first; });
  if (format != "sdm" && chosen == std::end(formats)) return usage();
  if (confounds.aCompCor < 0 || !(confounds.repetitionTime > 0 && confounds.repetitionTime < 1e6))
    return usage();
  confounds.points = shape.points;
  confounds.seed = shape.seed;

  try {
    if (format == "sdm") {
      DesignMatrix m = generateDesignMatrix(shape);
      m.save(out);
    } else {
      OutputFile file(out);
      file.write(generateConfoundText(confounds, chosen->second));
      file.commit();
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sdmgen: %s\n", error.what());
    return 1;
  }
  return 0;
}

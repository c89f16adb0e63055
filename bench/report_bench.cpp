// brindle_report_bench: the fast correlation report computation against the literal one (every
// ordered pair through correlation(), both statistics recomputed each time), and the block
// kernel against the processor's peak rate for separate multiplies and adds.
//
//   brindle_report_bench [--predictors K] [--points N] [--repeats R] [--reference-repeats R2]
//                        [--peak-seconds S]
//
// The fast computation on one thread, on all threads the process may use, and the literal one run
// alternately, the peak rate is sampled before each fast run (S seconds in all); each result line
// is "key value" so that bench/compare can read it. The shares of the peak are one thread's
// against one core's.

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/cpu_features.h"
#include "base/parallel.h"
#include "correlation/block_kernel.h"
#include "correlation/correlation_matrix.h"
#include "design_generator.h"
#include "peak_rate.h"

using namespace base;
using namespace sdm;
using namespace correlation;
using namespace tools;

namespace {

double seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t m = values.size() / 2;
  return values.size() % 2 ? values[m] : (values[m - 1] + values[m]) / 2;
}

// NaN cells count as equal whatever their payload: the report writes every NaN alike.
bool sameCells(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t c = 0; c < a.size(); ++c) {
    if (std::isnan(a[c]) && std::isnan(b[c])) continue;
    if (std::bit_cast<uint32_t>(a[c]) != std::bit_cast<uint32_t>(b[c])) return false;
  }
  return true;
}

// The block kernel alone, on two panels of `count` data points that stay in the first-level
// cache: its rate without the statistics, the copies and the divisions around it.
double isolatedKernelRate(double budget) {
  constexpr std::size_t count = 128;
  std::vector<float> rows(count * panelLanes), partners(count * panelLanes),
      acc(blockRows * panelLanes, 0.0f);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i] = 0.5f + static_cast<float>(i % 7) * 0.125f;
    partners[i] = 1.0f - static_cast<float>(i % 5) * 0.0625f;
  }
  const BlockKernel kernel = blockKernel();
  constexpr int calls = 20000;
  double best = 0.0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(budget);
  do {
    const double s = seconds([&] {
      for (int c = 0; c < calls; ++c)
        kernel(rows.data(), partners.data(), count, acc.data(), panelLanes);
    });
    best = std::max(best, static_cast<double>(calls) * count * blockRows * panelLanes * 2.0 / s);
  } while (std::chrono::steady_clock::now() < end);
  if (std::isnan(acc[0])) std::puts("");  // keeps the sums alive
  return best;
}

struct Options {
  int predictors = 1000, points = 5000, repeats = 5, referenceRepeats = 3;
  double peakSeconds = 1.0;
};

// The command line; false, having said why, when it cannot be used.
bool readOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--predictors")
      o.predictors = std::atoi(argv[i + 1]);
    else if (arg == "--points")
      o.points = std::atoi(argv[i + 1]);
    else if (arg == "--repeats")
      o.repeats = std::atoi(argv[i + 1]);
    else if (arg == "--reference-repeats")
      o.referenceRepeats = std::atoi(argv[i + 1]);
    else if (arg == "--peak-seconds")
      o.peakSeconds = std::atof(argv[i + 1]);
    else {
      std::fprintf(stderr, "brindle_report_bench: unknown option %s\n", argv[i]);
      return false;
    }
  }
  if (o.predictors < 2 || o.points < 2 || o.repeats < 1 || o.referenceRepeats < 0) {
    std::fputs("brindle_report_bench: need at least 2 predictors, 2 points and 1 repeat\n", stderr);
    return false;
  }
  return true;
}

// The runs' times and their last results: one thread (fast), all threads, portable, literal.
struct Runs {
  std::vector<double> peakRates, fastTimes, allTimes, referenceTimes, portableTimes;
  std::vector<float> fast, all, reference, portable;
};

// The fast computation on one thread and on all, and the literal one, alternately; the peak is
// sampled before every fast run, so that both see the same machine: on a shared machine other
// work slows both alike, and the share compares medians of the two. Then the portable kernels.
Runs timeRuns(std::span<const std::span<const float>> values, const Options& o) {
  Runs runs;
  for (int r = 0; r < std::max(o.repeats, o.referenceRepeats); ++r) {
    if (r < o.repeats) {
      runs.peakRates.push_back(peakMultiplyAddRate(o.peakSeconds / o.repeats));
      std::optional<ScopedThreadCount> count(std::in_place, 1);
      runs.fastTimes.push_back(seconds([&] { runs.fast = correlationMatrix(values); }));
      count.emplace(availableCores());
      runs.allTimes.push_back(seconds([&] { runs.all = correlationMatrix(values); }));
    }
    if (r < o.referenceRepeats) {
      runs.referenceTimes.push_back(
          seconds([&] { runs.reference = correlationMatrixReference(values); }));
    }
  }
  const ScopedCpuFeatures portable({.avx2 = false});
  const ScopedThreadCount single(1);
  for (int r = 0; r < o.repeats; ++r)
    runs.portableTimes.push_back(seconds([&] { runs.portable = correlationMatrix(values); }));
  return runs;
}

// "key value" lines of the fast runs against the peak, and of all threads against one;
// `fastMedian` is the median of the fast times.
void printFast(const Runs& runs, double fastMedian, double pairFlops, double isolated) {
  const double peak = median(runs.peakRates);
  const double bestPeak = *std::max_element(runs.peakRates.begin(), runs.peakRates.end());
  std::printf("machine_kernel %s\n", activeKernelName());
  std::printf("peak_unit %s\n", peakRateUnit());
  std::printf("peak_gflops %.2f\n", peak / 1e9);
  std::printf("peak_best_gflops %.2f\n", bestPeak / 1e9);
  std::printf("isolated_kernel_gflops %.2f\n", isolated / 1e9);
  std::printf("isolated_kernel_share %.3f\n", isolated / peak);
  std::printf("fast_seconds %.6f\n", fastMedian);
  std::printf("fast_gflops %.2f\n", pairFlops / fastMedian / 1e9);
  std::printf("fast_share %.3f\n", pairFlops / fastMedian / peak);
  const double fastBest = *std::min_element(runs.fastTimes.begin(), runs.fastTimes.end());
  std::printf("fast_best_seconds %.6f\n", fastBest);
  std::printf("fast_best_share %.3f\n", pairFlops / fastBest / bestPeak);
  // All threads against one: the time, and how it compares with one thread's time shared out.
  const double allMedian = median(runs.allTimes);
  const auto threads = static_cast<double>(availableCores());
  std::printf("threads_all %zu\n", availableCores());
  std::printf("all_seconds %.6f\n", allMedian);
  std::printf("all_gflops %.2f\n", pairFlops / allMedian / 1e9);
  std::printf("all_speedup %.2f\n", fastMedian / allMedian);
  std::printf("all_against_shared %.2f\n", allMedian / (fastMedian / threads));
  std::printf("all_identical %s\n", sameCells(runs.fast, runs.all) ? "yes" : "no");
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!readOptions(argc, argv, o)) return 64;
  DesignShape shape;
  shape.interest = std::min(10, o.predictors - 1);
  shape.confounds = o.predictors - 1 - shape.interest;
  shape.constant = true;
  shape.points = o.points;
  const DesignMatrix matrix = generateDesignMatrix(shape);
  const std::vector<std::span<const float>> values = valuesOf(matrix.predictors);
  const double k = static_cast<double>(values.size());
  // Two sums of products a pair: of the values and of the values less their means.
  const double pairFlops = k * (k + 1) / 2 * o.points * 4.0;

  const double isolated = [] {
    const ScopedThreadCount single(1);
    return isolatedKernelRate(0.5);
  }();
  const Runs runs = timeRuns(values, o);
  std::printf("size %d x %d\n", o.predictors, o.points);
  const double fastMedian = median(runs.fastTimes);
  printFast(runs, fastMedian, pairFlops, isolated);
  std::printf("portable_seconds %.6f\n", median(runs.portableTimes));
  const bool portableSame = sameCells(runs.fast, runs.portable);
  std::printf("portable_identical %s\n", portableSame ? "yes" : "no");
  bool identical = portableSame && sameCells(runs.fast, runs.all);
  if (o.referenceRepeats > 0) {
    const double referenceMedian = median(runs.referenceTimes);
    std::printf("reference_seconds %.6f\n", referenceMedian);
    std::printf("reference_ratio %.1f\n", referenceMedian / fastMedian);
    const bool referenceSame = sameCells(runs.fast, runs.reference);
    std::printf("reference_identical %s\n", referenceSame ? "yes" : "no");
    identical = identical && referenceSame;
  }
  return identical ? 0 : 1;
}

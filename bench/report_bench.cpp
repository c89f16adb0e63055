// brindle_report_bench: the fast correlation report computation against the literal one (every
// ordered pair through correlation(), both statistics recomputed each time), and the block
// kernel against the processor's peak rate for separate multiplies and adds.
//
//   brindle_report_bench [--predictors K] [--points N] [--repeats R] [--reference-repeats R2]
//                        [--peak-seconds S]
//
// The fast and the literal computation run alternately, the peak rate is sampled before each fast
// run (S seconds in all); each result line is "key value" so that bench/compare can read it.

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "correlation/block_kernel.h"
#include "correlation/correlation_matrix.h"
#include "design_generator.h"
#include "peak_rate.h"

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

}  // namespace

int main(int argc, char** argv) {
  int predictors = 1000, points = 5000, repeats = 5, referenceRepeats = 3;
  double peakSeconds = 1.0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--predictors")
      predictors = std::atoi(argv[i + 1]);
    else if (arg == "--points")
      points = std::atoi(argv[i + 1]);
    else if (arg == "--repeats")
      repeats = std::atoi(argv[i + 1]);
    else if (arg == "--reference-repeats")
      referenceRepeats = std::atoi(argv[i + 1]);
    else if (arg == "--peak-seconds")
      peakSeconds = std::atof(argv[i + 1]);
    else {
      std::fprintf(stderr, "brindle_report_bench: unknown option %s\n", argv[i]);
      return 64;
    }
  }
  if (predictors < 2 || points < 2 || repeats < 1 || referenceRepeats < 0) {
    std::fputs("brindle_report_bench: need at least 2 predictors, 2 points and 1 repeat\n", stderr);
    return 64;
  }

  DesignShape shape;
  shape.interest = std::min(10, predictors - 1);
  shape.confounds = predictors - 1 - shape.interest;
  shape.constant = true;
  shape.points = points;
  const DesignMatrix matrix = generateDesignMatrix(shape);
  const auto& values = matrix.values;
  const double k = static_cast<double>(values.size());
  // Two sums of products a pair: of the values and of the values less their means.
  const double pairFlops = k * (k + 1) / 2 * points * 4.0;

  // The peak is sampled before every fast run, so that both see the same machine: on a shared
  // machine other work slows both alike, and the share compares medians of the two.
  const double isolated = isolatedKernelRate(0.5);
  std::vector<double> peakRates, fastTimes, referenceTimes, portableTimes;
  std::vector<float> fast, reference;
  for (int r = 0; r < std::max(repeats, referenceRepeats); ++r) {
    if (r < repeats) {
      peakRates.push_back(peakMultiplyAddRate(peakSeconds / repeats));
      fastTimes.push_back(seconds([&] { fast = correlationMatrix(values); }));
    }
    if (r < referenceRepeats)
      referenceTimes.push_back(seconds([&] { reference = correlationMatrixReference(values); }));
  }
  const double peak = median(peakRates);
  forcePortableKernels(true);
  std::vector<float> portable;
  for (int r = 0; r < repeats; ++r)
    portableTimes.push_back(seconds([&] { portable = correlationMatrix(values); }));
  forcePortableKernels(false);

  const double fastMedian = median(fastTimes);
  std::printf("machine_kernel %s\n", activeKernelName());
  std::printf("size %d x %d\n", predictors, points);
  std::printf("peak_unit %s\n", peakRateUnit());
  std::printf("peak_gflops %.2f\n", peak / 1e9);
  std::printf("peak_best_gflops %.2f\n",
              *std::max_element(peakRates.begin(), peakRates.end()) / 1e9);
  std::printf("isolated_kernel_gflops %.2f\n", isolated / 1e9);
  std::printf("isolated_kernel_share %.3f\n", isolated / peak);
  std::printf("fast_seconds %.6f\n", fastMedian);
  std::printf("fast_gflops %.2f\n", pairFlops / fastMedian / 1e9);
  std::printf("fast_share %.3f\n", pairFlops / fastMedian / peak);
  const double fastBest = *std::min_element(fastTimes.begin(), fastTimes.end());
  std::printf("fast_best_seconds %.6f\n", fastBest);
  std::printf("fast_best_share %.3f\n",
              pairFlops / fastBest / (*std::max_element(peakRates.begin(), peakRates.end())));
  std::printf("portable_seconds %.6f\n", median(portableTimes));
  std::printf("portable_identical %s\n", sameCells(fast, portable) ? "yes" : "no");
  if (referenceRepeats > 0) {
    const double referenceMedian = median(referenceTimes);
    std::printf("reference_seconds %.6f\n", referenceMedian);
    std::printf("reference_ratio %.1f\n", referenceMedian / fastMedian);
    std::printf("reference_identical %s\n", sameCells(fast, reference) ? "yes" : "no");
  }
  return sameCells(fast, portable) && (referenceRepeats == 0 || sameCells(fast, reference)) ? 0 : 1;
}

// brindle_diagnostics_bench: the time the design diagnostics add to a correlation report, by part
// (the double-precision cross products, the variance inflation factors, the condition number)
// and in all (diagnoseDesign, roles and statistics included), on a generated design.
//
//   brindle_diagnostics_bench [--predictors K] [--points N] [--repeats R]
//
// Each result line is "key value", a median over R runs in seconds, wall clock and the calling
// thread's processor time (the two differ when other work shares the machine), on one thread and
// then on all the process may use (keys ending in "_all_threads").

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "correlation/block_kernel.h"
#include "design_generator.h"
#include "diagnostics/condition_number.h"
#include "diagnostics/cross_products.h"
#include "diagnostics/design_diagnostics.h"
#include "diagnostics/variance_inflation.h"

using namespace base;
using namespace sdm;
using namespace correlation;
using namespace diagnostics;
using namespace tools;

namespace {

struct Times {
  double wall;
  double processor;
};

double processorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

Times measure(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const double processorStart = processorSeconds();
  work();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          processorSeconds() - processorStart};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t m = values.size() / 2;
  return values.size() % 2 ? values[m] : (values[m - 1] + values[m]) / 2;
}

// The correlations of the included predictors from their cross products, as the variance
// inflation factors and the condition number take them.
std::vector<double> correlationsOf(const CrossProducts& products,
                                   const std::vector<bool>& included) {
  std::vector<std::size_t> members;
  for (std::size_t i = 0; i < included.size(); ++i)
    if (included[i]) members.push_back(i);
  const std::size_t k = products.count, m = members.size();
  std::vector<double> r(m * m);
  for (std::size_t a = 0; a < m; ++a) {
    for (std::size_t b = 0; b < m; ++b) {
      const std::size_t i = members[a], j = members[b];
      r[a * m + b] = products.centred[i * k + j] /
                     std::sqrt(products.centred[i * k + i] * products.centred[j * k + j]);
    }
  }
  return r;
}

struct Options {
  int predictors = 1000, points = 5000, repeats = 5;
};

// The command line; false, having said why, when it cannot be used.
bool readOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--predictors") {
      o.predictors = std::atoi(argv[i + 1]);
    } else if (arg == "--points") {
      o.points = std::atoi(argv[i + 1]);
    } else if (arg == "--repeats") {
      o.repeats = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "brindle_diagnostics_bench: unknown option %s\n", argv[i]);
      return false;
    }
  }
  return true;
}

const char* const partNames[] = {"cross_products", "variance_inflation", "condition_number",
                                 "diagnose_design"};

// Medians of the four parts' wall and processor times on `threads` threads, one line each as
// "NAME_seconds", "NAME_processor_seconds" (the calling thread's alone), after `suffix`.
void timeParts(const DesignMatrix& matrix, int repeats, std::size_t threads, const char* suffix) {
  std::vector<bool> included(matrix.predictors.size(), true);
  const std::vector<std::span<const float>> values = valuesOf(matrix.predictors);
  included.back() = false;
  std::vector<double> wall[4], processor[4];
  std::optional<ScopedThreadCount> count(std::in_place, threads);
  for (int r = 0; r < repeats; ++r) {
    CrossProducts products;
    const Times parts[] = {
        measure([&] { products = centredCrossProducts(values); }),
        measure([&] { varianceInflation(products.centred, included); }),
        measure([&] {
          std::vector<double> correlations = correlationsOf(products, included);
          conditionNumber(correlations, static_cast<std::size_t>(
                                            std::count(included.begin(), included.end(), true)));
        }),
        measure([&] { diagnoseDesign(matrix); }),
    };
    for (int p = 0; p < 4; ++p) {
      wall[p].push_back(parts[p].wall);
      processor[p].push_back(parts[p].processor);
    }
  }
  count.reset();
  for (int p = 0; p < 4; ++p) {
    std::printf("%s%s_seconds %.4f\n%s%s_processor_seconds %.4f\n", partNames[p], suffix,
                median(wall[p]), partNames[p], suffix, median(processor[p]));
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!readOptions(argc, argv, o)) return 2;
  DesignShape shape;
  shape.interest = o.predictors / 10;
  shape.confounds = o.predictors - shape.interest - 1;
  shape.points = o.points;
  shape.constant = true;
  const DesignMatrix matrix = generateDesignMatrix(shape);
  std::printf("predictors %zu\npoints %d\nkernel %s\ncondition_number %.1f\nthreads_all %zu\n",
              matrix.predictors.size(), o.points, activeKernelName(),
              diagnoseDesign(matrix).conditionNumber, availableCores());
  timeParts(matrix, o.repeats, 1, "");
  timeParts(matrix, o.repeats, availableCores(), "_all_threads");
  return 0;
}

// Microbenchmarks of the SDM and report operations at the three sizes of bench_files.h:
// argument 0 typical (20 x 300), 1 large (200 x 2,000), 2 very large (1,000 x 5,000). The
// parallel steps (load, correlations, report) take a last argument, the threads: 1, or 0 for
// all the process may use; their times are wall clock, their CPU times those of every thread.
// Built with everything else, run by hand or by bench/compare:
//   build-perf/brindle_bench --benchmark_filter=Load

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/cpu_features.h"
#include "base/output_file.h"
#include "base/parallel.h"
#include "bench_files.h"
#include "confound_generator.h"
#include "confounds/confound_reader.h"
#include "contract/report_files.h"
#include "correlation/block_kernel.h"
#include "correlation/correlation_matrix.h"
#include "correlation/report.h"
#include "correlation/ztransform.h"
#include "merge/append.h"
#include "sdm/data_line.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"

using namespace base;
using namespace sdm;
using namespace merge;
using namespace correlation;
using namespace confounds;
using namespace tools;

namespace {

void setValueCounters(benchmark::State& state, const DesignMatrix& m) {
  const std::size_t points = m.predictors.front().values.size();
  const auto values = static_cast<int64_t>(m.predictors.size() * points);
  state.SetItemsProcessed(state.iterations() * values);
  state.counters["predictors"] = static_cast<double>(m.predictors.size());
  state.counters["points"] = static_cast<double>(points);
}

// Bytes of file text per second (of CPU time, as Google Benchmark divides rates), beside the
// values per second.
void setByteCounter(benchmark::State& state, const std::string& path) {
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

// Sets the thread count from the benchmark's argument `index` (1, or 0 for all) until the
// object ends, and names it in the label.
class BenchThreads {
 public:
  BenchThreads(benchmark::State& state, std::size_t index)
      : threads_(state.range(index) == 0 ? availableCores()
                                         : static_cast<std::size_t>(state.range(index))),
        count_(threads_) {}
  BenchThreads(const BenchThreads&) = delete;
  BenchThreads& operator=(const BenchThreads&) = delete;
  std::string label() const {
    return std::to_string(threads_) + (threads_ == 1 ? " thread" : " threads");
  }

 private:
  std::size_t threads_;
  ScopedThreadCount count_;
};

// Range 1 picks the reader's pass for lines in the writer's layout: 0 the one of this
// processor, 1 the portable one, 2 none (the general rules for every line); range 2 the threads.
void BM_Load(benchmark::State& state) {
  const BenchThreads threads(state, 2);
  const int size = static_cast<int>(state.range(0));
  DesignMatrix m = benchMatrix(size);
  const std::string path = benchPath("load" + std::to_string(size) + ".sdm");
  saveSdm(m, path);
  const DataLinePass passes[] = {DataLinePass::automatic, DataLinePass::portable,
                                 DataLinePass::general};
  const ScopedDataLinePass pass(passes[state.range(1)]);
  state.SetLabel(std::string(activeDataLinePass()) + ", " + threads.label());
  for (auto _ : state) benchmark::DoNotOptimize(loadSdm(path));
  setValueCounters(state, m);
  setByteCounter(state, path);
}

void BM_Save(benchmark::State& state) {
  DesignMatrix m = benchMatrix(static_cast<int>(state.range(0)));
  const std::string path = benchPath("save" + std::to_string(state.range(0)) + ".sdm");
  for (auto _ : state) saveSdm(m, path);
  setValueCounters(state, m);
  setByteCounter(state, path);
}

void BM_WriteCorrelations(benchmark::State& state) {
  const BenchThreads threads(state, 1);
  DesignMatrix m = benchMatrix(static_cast<int>(state.range(0)));
  m.fileName = benchPath("report" + std::to_string(state.range(0)) + ".sdm");
  for (auto _ : state) {
    base::OutputFile file(contract::correlationReportPath(m.fileName));
    correlation::writeCorrelationCsv(m, [&file](std::string_view piece) { file.write(piece); });
    file.commit();
  }
  setValueCounters(state, m);
  state.SetLabel(threads.label());
}

// The report's numbers alone, without the text and the file, with the kernels of this
// processor (range 1 = 0) or the portable ones (range 1 = 1); range 2 the threads.
void BM_CorrelationMatrix(benchmark::State& state) {
  const BenchThreads threads(state, 2);
  const DesignMatrix& m = benchMatrix(static_cast<int>(state.range(0)));
  {
    const ScopedCpuFeatures features({.avx2 = state.range(1) == 0 && cpuFeatures().avx2});
    const std::vector<std::span<const float>> values = valuesOf(m.predictors);
    for (auto _ : state) benchmark::DoNotOptimize(correlationMatrix(values));
  }
  setValueCounters(state, m);
  state.SetLabel(std::string(state.range(1) != 0 ? "portable" : activeKernelName()) + ", " +
                 threads.label());
}

// In place, again and again: after the first pass the confounds are standardised already, but
// every pass still computes the statistics and rewrites every value.
void BM_ZTransformConfounds(benchmark::State& state) {
  DesignMatrix m = benchMatrix(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    zTransformConfounds(m);
    benchmark::ClobberMemory();
  }
  setValueCounters(state, m);
}

// What a merge does for each secondary: a copy of the primary with a motion SDM of 24
// confounds appended.
void BM_Append(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const DesignMatrix& primary = benchMatrix(size);
  DesignShape motion = benchShape(size);
  motion.interest = 0;
  motion.confounds = 24;
  motion.constant = false;
  motion.seed = 2;
  const DesignMatrix secondary = generateDesignMatrix(motion);
  for (auto _ : state) benchmark::DoNotOptimize(concatenate(primary, secondary));
  setValueCounters(state, primary);
}

// A fMRIPrep-like confounds table of 1,000 columns and 5,000 rows (about 100 MB of text, mostly
// numbers of 17 digits): read, converted and checked.
void BM_ReadConfoundTsv(benchmark::State& state) {
  ConfoundShape shape;
  shape.points = 5000;
  shape.aCompCor = 0;
  shape.aCompCor = 1000 - confoundColumnCount(shape);
  const std::string path = benchPath("sub-01_desc-confounds_timeseries.tsv");
  {
    OutputFile file(path);
    file.write(generateConfoundText(shape, ConfoundTextFormat::tsv));
    file.commit();
  }
  for (auto _ : state) benchmark::DoNotOptimize(readConfoundFile(path));
  setValueCounters(state, readConfoundFile(path).matrix);
}

BENCHMARK(BM_Load)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}, {1, 0}})
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteCorrelations)
    ->ArgsProduct({{0, 1, 2}, {1, 0}})
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrelationMatrix)
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {1, 0}})
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZTransformConfounds)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadConfoundTsv)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Writes sample heatmaps and design pictures, drawn by the real code, into a folder:
//   brindle_plot_samples FOLDER
// Each sample is a design matrix made here (no file is read) and written as FOLDER/NAME.svg and
// FOLDER/NAME_design.svg beside where its SDM would be. The browser test renders them; the help
// page's heatmap is the first one.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "base/output_file.h"
#include "contract/report_files.h"
#include "correlation/correlation_matrix.h"
#include "diagnostics/design_diagnostics.h"
#include "diagnostics/display_names.h"
#include "heatmap/design_plot.h"
#include "heatmap/plot.h"
#include "sdm/design_matrix.h"

using namespace sdm;
using namespace correlation;
using namespace diagnostics;
using namespace heatmap;

namespace {

// A small generator with the same sequence everywhere (the standard distributions are not).
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed) {}
  // A value in [-1, 1).
  float next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<float>(static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0);
  }

 private:
  uint64_t state_;
};

struct Builder {
  DesignMatrix matrix;
  explicit Builder(const std::string& path, int dataPoints) {
    matrix.fileName = path;
    matrix.nrOfDataPoints = dataPoints;
  }
  void add(const std::string& name, std::vector<float> values) {
    matrix.predictors.push_back(
        {name, {128, 128, 128}, PredictorKind::confound, std::move(values)});
  }
};

// A block design convolved roughly with a slow response: on for `length` points every `period`.
std::vector<float> blocks(int n, int period, int offset, int length) {
  std::vector<float> raw(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t)
    raw[static_cast<std::size_t>(t)] = ((t + offset) % period) < length ? 1.0f : 0.0f;
  std::vector<float> out(raw.size(), 0.0f);
  for (std::size_t t = 0; t < raw.size(); ++t) {
    for (std::size_t lag = 0; lag < 6 && lag <= t; ++lag)
      out[t] += raw[t - lag] * static_cast<float>(6 - lag) / 21.0f;
  }
  return out;
}

std::vector<float> randomWalk(Noise& noise, int n, float step) {
  std::vector<float> out(static_cast<std::size_t>(n));
  float v = 0.0f;
  for (auto& x : out) x = v += step * noise.next();
  return out;
}

std::vector<float> mix(const std::vector<float>& a, float wa, const std::vector<float>& b,
                       float wb) {
  std::vector<float> out(a.size());
  for (std::size_t t = 0; t < a.size(); ++t) out[t] = wa * a[t] + wb * b[t];
  return out;
}

// Writes `text` to the file at `path` as a whole.
void writeText(const std::string& path, const std::string& text) {
  base::OutputFile file(path);
  file.write(text);
  file.commit();
}

// Both pictures, as the plug-in draws them: repeated names numbered, the design with its
// variance inflation factors. Only the design picture when `heatmap` is false.
void write(const DesignMatrix& matrix, int firstConfound, bool heatmap = true) {
  DesignMatrix m = matrix;
  m.firstConfoundPredictor = firstConfound;
  const std::vector<std::string> names = displayNames(namesOf(m.predictors));
  const DesignDiagnostics diagnostics = diagnoseDesign(m);
  if (heatmap) {
    writeText(
        contract::correlationPlotPath(m.fileName),
        correlationPlotSvg(m, correlationMatrix(valuesOf(m.predictors)), names, diagnostics.roles));
  }
  writeText(contract::designPlotPath(m.fileName),
            designPlotSvg(m, names, diagnostics.varianceInflation, diagnostics.roles));
  std::printf("%s\n", m.fileName.c_str());
}

// 300 predictors over `n` points as a denoising design has them: 12 conditions, 24 motion
// regressors (parameters, derivatives, squares), 12 physiological ones with long names, 251
// spike regressors (one volume each) and the constant.
DesignMatrix allNuisance(const std::string& path, int n, Noise& noise) {
  Builder b(path, n);
  for (int c = 0; c < 12; ++c) {
    b.add("Condition" + std::to_string(c + 1),
          mix(blocks(n, 36 + 2 * c, 3 * c, 8), 1.0f, blocks(n, 50, c, 6), 0.3f));
  }
  const char* axes[] = {"TransX", "TransY", "TransZ", "RotX", "RotY", "RotZ"};
  const auto head = randomWalk(noise, n, 0.2f);
  std::vector<std::vector<float>> motion;
  for (int a = 0; a < 6; ++a) {
    motion.push_back(mix(head, a < 3 ? 0.7f : -0.6f, randomWalk(noise, n, 0.2f), 0.5f));
    b.add(axes[a], motion.back());
  }
  for (int a = 0; a < 6; ++a) {
    std::vector<float> d(motion[static_cast<std::size_t>(a)].size(), 0.0f);
    for (std::size_t t = 1; t < d.size(); ++t)
      d[t] = motion[static_cast<std::size_t>(a)][t] - motion[static_cast<std::size_t>(a)][t - 1];
    b.add(std::string("d") + axes[a], d);
  }
  for (int a = 0; a < 12; ++a) {
    std::vector<float> sq = motion[static_cast<std::size_t>(a % 6)];
    if (a >= 6) {
      for (std::size_t t = 1; t < sq.size(); ++t)
        sq[t] = sq[t] - motion[static_cast<std::size_t>(a % 6)][t - 1];
    }
    for (auto& v : sq) v = v * v;
    b.add(std::string(a < 6 ? "sq_" : "sq_d") + axes[a % 6], sq);
  }
  for (int p = 0; p < 12; ++p) {
    std::vector<float> wave(static_cast<std::size_t>(n));
    for (int t = 0; t < n; ++t)
      wave[static_cast<std::size_t>(t)] =
          std::sin(0.35f * static_cast<float>((p / 2 + 1) * t) + (p % 2 ? 1.5708f : 0.0f)) +
          0.3f * noise.next();
    b.add("physio_RETROICOR_cardiac_phase_order" + std::to_string(p / 2 + 1) +
              (p % 2 ? "_cos" : "_sin"),
          wave);
  }
  for (int s = 0; b.matrix.predictors.size() < 299; ++s) {
    std::vector<float> spike(static_cast<std::size_t>(n), 0.0f);
    spike[static_cast<std::size_t>(7 + s * 3 % (n - 8))] = 1.0f;
    b.add("spike" + std::to_string(s + 1), spike);
  }
  b.add("Constant", std::vector<float>(static_cast<std::size_t>(n), 1.0f));
  return b.matrix;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brindle_plot_samples FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  try {
    Noise noise(20240601);
    {
      // Two conditions, two motion confounds that move together, the constant.
      const int n = 160;
      Builder b(folder + "sub01_task.sdm", n);
      b.add("Faces", blocks(n, 32, 0, 10));
      b.add("Houses", mix(blocks(n, 32, 6, 10), 1.0f, blocks(n, 40, 0, 8), 0.4f));
      const auto walk = randomWalk(noise, n, 0.3f);
      b.add("TransX", walk);
      b.add("RotZ", mix(walk, -0.8f, randomWalk(noise, n, 0.3f), 0.5f));
      b.add("Constant", std::vector<float>(n, 1.0f));
      write(b.matrix, 3);
    }
    write(allNuisance(folder + "sub01_all_nuisance.sdm", 400, noise), 13);
    {
      // Names that need escaping or are no UTF-8, a flat predictor, and a confound index of 0.
      const int n = 50;
      Builder b(folder + "awkward & <names>.sdm", n);
      b.add("a<b & \"c\" 'd'", randomWalk(noise, n, 1.0f));
      b.add(
          "Fl\xe4"
          "che (Latin-1)",
          randomWalk(noise, n, 1.0f));
      b.add("\xce\x94 amplitude", randomWalk(noise, n, 1.0f));
      b.add("an extraordinarily long predictor name that must be cut", randomWalk(noise, n, 1.0f));
      b.add("zeros", std::vector<float>(n, 0.0f));
      b.add("Constant", std::vector<float>(n, 1.0f));
      write(b.matrix, 0);
    }
    {
      // A predictor with a value that is not a number: its row and column are NaN.
      const int n = 30;
      Builder b(folder + "with_nan.sdm", n);
      for (const char* name : {"A", "B", "C"}) b.add(name, randomWalk(noise, n, 1.0f));
      auto gap = randomWalk(noise, n, 1.0f);
      gap[7] = std::nanf("");
      b.add("gap", gap);
      write(b.matrix, 3);
    }
    // The design picture at its largest readable size: 300 predictors over 2,000 points.
    write(allNuisance(folder + "sub01_long_run.sdm", 2000, noise), 13, false);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brindle_plot_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}

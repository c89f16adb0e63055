// make_corpus: writes the seed corpora of the fuzz targets, made by our own writer.
//
//   make_corpus SDM_FOLDER NAMES_FOLDER
//
// SDM seeds: the writer's output for matrices of varied shapes, values (wide, negative zero,
// NaN, infinities), names, colours and header layouts (entries absent, narrow widths, odd first
// confounds), each with CRLF and with LF line ends, and cut short at every section boundary;
// plus hand-written headers the writer never makes (tabs, other orders, unknown keys, huge and
// negative counts, no first confound). Names seeds: pairs of paths, "this" NUL "other". The
// same program always writes the same files.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"

using namespace sdm;

namespace {

int written = 0;

void writeSeed(const std::string& folder, const std::string& bytes) {
  char name[32];
  std::snprintf(name, sizeof name, "/seed-%04d", written++);
  std::ofstream out(folder + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string withoutCarriageReturns(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

// Byte offsets where the sections end: after the header's empty line, the colours line, the
// names line, and half-way into the first data line.
std::vector<std::size_t> sectionEnds(const std::string& file) {
  std::vector<std::size_t> ends;
  const auto header = file.find("\n\r\n", file.find("FirstConfoundPredictor:"));
  if (header == std::string::npos) return ends;
  const auto colours = file.find('\n', header + 3);
  const auto names = colours == std::string::npos ? colours : file.find('\n', colours + 1);
  ends.push_back(header + 3);
  if (colours != std::string::npos) ends.push_back(colours + 1);
  if (names != std::string::npos) {
    ends.push_back(names + 1);
    const auto data = file.find('\n', names + 1);
    if (data != std::string::npos) ends.push_back(names + 1 + (data - names) / 2);
  }
  ends.push_back(file.size() / 2);
  return ends;
}

struct Shape {
  int32_t predictors;
  int32_t dataPoints;
  int32_t firstConfound;  // relative: 0 means N + 1
  int32_t width;          // header width; 0 leaves FileVersion and IncludesConstant out
};

DesignMatrix makeMatrix(const Shape& shape, int variant) {
  DesignMatrix m;
  const int32_t n = shape.predictors;
  m.fileName = "seed.sdm";
  const int32_t width = shape.width > 0 ? shape.width : 24;
  SdmLayout layout;
  layout.version = 1;
  layout.fileVersion = layout.includesConstant = {width, shape.width > 0};
  layout.nrOfPredictors = layout.nrOfDataPoints = layout.firstConfoundPredictor = {width, true};
  m.layout = std::make_shared<const SdmLayout>(layout);
  m.nrOfDataPoints = shape.dataPoints;
  m.includesConstant = variant % 2 == 1;
  m.firstConfoundPredictor = shape.firstConfound == 0 ? n + 1 : shape.firstConfound;
  const float unusual[] = {0.25f,
                           -0.5f,
                           123.25f,
                           -10.5f,
                           -0.0f,
                           -0.0000001f,
                           1e30f,
                           -3.4e38f,
                           std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           1.0f};
  const char* names[] = {"Motion", "", "a b;c", "Constant", "NoName", "x\ty"};
  for (int32_t p = 0; p < n; ++p) {
    const PredictorColour colour{p * 40 + variant, variant % 3 == 0 ? -p : 255,
                                 p == 1 ? 2147483647 : p};
    std::string name = p == 2 && variant == 3 ? std::string(300, 'n') : names[(p + variant) % 6];
    std::vector<float> column;
    for (int32_t t = 0; t < shape.dataPoints; ++t) {
      const bool constant = p == n - 1 && variant % 2 == 1;
      const int pick = (p * 7 + t * 3 + variant) % 12;
      column.push_back(constant       ? 1.0f
                       : variant == 0 ? 0.1f * static_cast<float>(t - p)
                                      : unusual[pick]);
    }
    m.predictors.push_back({std::move(name), colour, PredictorKind::confound, std::move(column)});
  }
  return m;
}

void writerSeeds(const std::string& folder) {
  const Shape shapes[] = {
      {2, 3, 2, 24}, {1, 1, 0, 24}, {0, 3, 0, 24}, {3, 0, 2, 24},  {5, 4, 3, 16},
      {2, 2, 0, 0},  {3, 2, 0, 5},  {2, 2, 1, 24}, {3, 3, -5, 24}, {2, 3, 9, 24},
  };
  const std::string scratch = folder + "/.scratch.sdm";
  for (int variant = 0; variant < 4; ++variant) {
    for (const Shape& shape : shapes) {
      DesignMatrix m = makeMatrix(shape, variant);
      if (variant == 2) m.firstConfoundPredictor = 0;
      saveSdm(m, scratch);
      const std::string file = readBytes(scratch);
      writeSeed(folder, file);
      writeSeed(folder, withoutCarriageReturns(file));
      if (variant == 0) {
        for (std::size_t end : sectionEnds(file)) writeSeed(folder, file.substr(0, end));
      }
    }
  }
  std::remove(scratch.c_str());
}

void handWrittenSeeds(const std::string& folder) {
  const std::string body =
      "255 0 0   255 255 255\n\"Motion\" \"Constant\"\n  0.250000   1.000000\n"
      " -0.500000   1.000000\n  1.000000   1.000000\n";
  const char* headers[] = {
      "NrOfDataPoints:\t3\nFirstConfoundPredictor:\t2\n",  // no predictor count
      // One literal in two pieces: the parentheses tell the compiler that no comma is missing.
      ("FileVersion: 1\tNrOfPredictors: 2 NrOfDataPoints: 3\nIncludesConstant: 1 "
       "FirstConfoundPredictor: 2\n\n"),
      "FirstConfoundPredictor: 2 NrOfPredictors: 2 NrOfDataPoints: 3\n",  // ends too early
      "NrOfPredictors: 2\nNrOfDataPoints: 3\nFirstConfoundPredictor:\n2\n\n",
      "Comment: x NrOfPredictors: 2 NrOfDataPoints: 3 Unknown: 7 FirstConfoundPredictor: 2\n",
      "NrOfPredictors: 2 NrOfDataPoints: 3 IncludesConstant: 2 FirstConfoundPredictor: 2\n",
      "NrOfPredictors: -2 NrOfDataPoints: 3 FirstConfoundPredictor: 2\n",
      "NrOfPredictors: 2 NrOfDataPoints: 2147483647 FirstConfoundPredictor: 2\n",
      "NrOfPredictors: 99999999999 NrOfDataPoints: 3 FirstConfoundPredictor: 2\n",
      "NrOfPredictors: 2 NrOfDataPoints: 3 IncludesConstant: 1\n",  // never ends
      "NrOfPredictors: 2 NrOfDataPoints: 3 FirstConfoundPredictor: -2147483648\n",
  };
  for (const char* header : headers) writeSeed(folder, std::string(header) + body);
  // Data the fixed cut must read: touching values, wide values, exponents, words.
  const char* data[] = {" 1.5-2.5\n12.5-123.25\n  -10.500000  123.250000\n",
                        " nan  1.000000\n  inf  -inf\n 1e3.5 2\n",
                        " 1.0e999  1.0\n",
                        " x.5  1.0\n",
                        ".. \n",
                        " 0x1.8p3  .5\n"};
  for (const char* rows : data) {
    writeSeed(folder, std::string("NrOfPredictors: 2 NrOfDataPoints: 3 FirstConfoundPredictor: 3\n"
                                  "1 2 3 4 5 6\n\"a\" \"b\"\n") +
                          rows);
  }
  writeSeed(folder,
            "NrOfPredictors: 2 NrOfDataPoints: 1 FirstConfoundPredictor: 3\n1 2 3\nno "
            "quotes\n\"a\"\n 1.0 2.0\n");
}

void nameSeeds(const std::string& folder) {
  const char* pairs[][2] = {
      {"D:/study/sub01_run1.sdm", "D:/study/sub01_run2.sdm"},
      {"D:/study/sub01_run1_run2.sdm", "D:/study/sub01_run3.sdm"},
      {"a/left.sdm", "b/right.sdm"},
      {"a/sub01_run1.sdm", "a/sub02_run1.sdm"},
      {"x/sub01 run1 motion.sdm", "x/sub01 run2 motion.sdm"},
      {"D:/my.data/run1", "D:/my.data/run2"},
      {"C:\\data\\sub01_run1.sdm", "dir/"},
      {"_lead.sdm", " trail.x.sdm"},
      {"", ""},
      {"list\nof\nthree\n", "x"},
  };
  for (const auto& pair : pairs) writeSeed(folder, std::string(pair[0]) + '\0' + pair[1]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_corpus SDM_FOLDER NAMES_FOLDER\n", stderr);
    return 64;
  }
  try {
    writerSeeds(argv[1]);
    handWrittenSeeds(argv[1]);
    const int sdmSeeds = written;
    nameSeeds(argv[2]);
    std::printf("make_corpus: %d SDM seeds, %d name seeds\n", sdmSeeds, written - sdmSeeds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_corpus: %s\n", error.what());
    return 1;
  }
  return 0;
}

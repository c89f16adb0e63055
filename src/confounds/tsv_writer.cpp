#include "confounds/tsv_writer.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string_view>

#include "base/output_file.h"

namespace confounds {

namespace {

constexpr std::size_t chunkSize = 1 << 20;

void appendName(std::string& out, const std::string& name) {
  for (const char c : name) out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
}

// True when `text` reads back as `value` the way the confound reader reads a cell: converted to
// double, then rounded to float.
bool readsBackAs(const char* text, const char* end, float value) {
  double read = 0.0;
  std::from_chars(text, end, read);
  return static_cast<float>(read) == value;
}

// The shortest text that reads back as exactly `value` ("0.25", "-7.5e-08", "1234.5677"),
// without regard to any locale. The shortest text of a float reads back through double for all
// but a few floats (7.038531e-26 rounds to its neighbour twice); those get the fewest digits of
// their exact value that do.
void appendShortest(std::string& out, float value) {
  char text[64];
  char* end = std::to_chars(text, text + sizeof text, value).ptr;
  for (int digits = 8; !readsBackAs(text, end, value) && digits < 17; ++digits) {
    end = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                        std::chars_format::scientific, digits)
              .ptr;
  }
  out.append(text, end);
}

}  // namespace

void saveTsv(const sdm::DesignMatrix& matrix, const std::string& path) {
  const std::span<const sdm::Predictor> predictors = matrix.predictors;
  const std::size_t count = predictors.size();
  const auto dataPoints =
      static_cast<std::size_t>(matrix.nrOfDataPoints > 0 ? matrix.nrOfDataPoints : 0);
  for (const sdm::Predictor& predictor : predictors) {
    if (predictor.values.size() < dataPoints)
      throw std::logic_error("Design matrix does not match its header: " + path);
  }

  base::OutputFile file(path);
  std::string out;
  out.reserve(chunkSize + 64 * count + 4096);
  for (std::size_t p = 0; p < count; ++p) {
    if (p > 0) out += '\t';
    appendName(out, predictors[p].name);
    if (out.size() >= chunkSize) {
      file.write(out);
      out.clear();
    }
  }
  out += '\n';
  for (std::size_t t = 0; t < dataPoints; ++t) {
    for (std::size_t p = 0; p < count; ++p) {
      if (p > 0) out += '\t';
      const float value = predictors[p].values[t];
      if (std::isfinite(value)) {
        appendShortest(out, value);
      } else {
        out += "n/a";
      }
    }
    out += '\n';
    if (out.size() >= chunkSize) {
      file.write(out);
      out.clear();
    }
  }
  file.write(out);
  file.commit();
}

}  // namespace confounds

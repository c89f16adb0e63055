#include "confounds/tsv_writer.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string_view>

#include "base/number_text.h"
#include "base/output_file.h"

namespace {

constexpr std::size_t chunkSize = 1 << 20;

void appendName(std::string& out, const std::string& name) {
  for (const char c : name) out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
}

}  // namespace

void saveTsv(const DesignMatrix& matrix, const std::string& path) {
  const auto count =
      static_cast<std::size_t>(matrix.nrOfPredictors.value > 0 ? matrix.nrOfPredictors.value : 0);
  const auto dataPoints =
      static_cast<std::size_t>(matrix.nrOfDataPoints.value > 0 ? matrix.nrOfDataPoints.value : 0);
  bool fits = matrix.names.size() >= count && matrix.values.size() >= count;
  for (std::size_t p = 0; fits && p < count; ++p) fits = matrix.values[p].size() >= dataPoints;
  if (!fits) throw std::logic_error("Design matrix does not match its header: " + path);

  OutputFile file(path);
  std::string out;
  out.reserve(chunkSize + 64 * count + 4096);
  for (std::size_t p = 0; p < count; ++p) {
    if (p > 0) out += '\t';
    appendName(out, matrix.names[p]);
    if (out.size() >= chunkSize) {
      file.write(out);
      out.clear();
    }
  }
  out += '\n';
  for (std::size_t t = 0; t < dataPoints; ++t) {
    for (std::size_t p = 0; p < count; ++p) {
      if (p > 0) out += '\t';
      const float value = matrix.values[p][t];
      if (std::isfinite(value)) {
        appendFixed(out, static_cast<double>(value), 6);
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

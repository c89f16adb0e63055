#include "confounds/confound_matrix.h"

#include <utility>

namespace confounds {

namespace {

// Twelve colours that stay apart from each other on a light and on a dark background.
constexpr sdm::PredictorColour palette[] = {
    {204, 68, 68},  {62, 130, 201}, {74, 168, 94},  {222, 150, 46}, {142, 94, 190}, {46, 170, 168},
    {196, 92, 150}, {130, 128, 48}, {98, 104, 222}, {214, 112, 72}, {96, 150, 120}, {150, 150, 150},
};

}  // namespace

sdm::PredictorColour confoundColour(std::size_t position) {
  return palette[position % (sizeof palette / sizeof palette[0])];
}

sdm::DesignMatrix confoundMatrix(const std::string& path, std::vector<std::string> names,
                                 std::vector<std::vector<float>> columns) {
  sdm::DesignMatrix m;
  m.fileName = path;
  const auto count = static_cast<int32_t>(columns.size());
  const auto points = static_cast<int32_t>(columns.empty() ? 0 : columns.front().size());
  m.fileVersion = {"FileVersion", 1, 24, true};
  m.nrOfPredictors = {"NrOfPredictors", count, 24, true};
  m.nrOfDataPoints = {"NrOfDataPoints", points, 24, true};
  m.includesConstant = {"IncludesConstant", false, 24, true};
  m.firstConfoundPredictor = {"FirstConfoundPredictor", 1, 24, true};
  for (std::size_t p = 0; p < columns.size(); ++p) {
    const sdm::PredictorColour colour = confoundColour(p);
    m.red.push_back(colour.red);
    m.green.push_back(colour.green);
    m.blue.push_back(colour.blue);
  }
  m.names = std::move(names);
  m.values = std::move(columns);
  return m;
}

const std::vector<float>* columnNamed(const sdm::DesignMatrix& table, std::string_view name) {
  for (std::size_t c = 0; c < table.names.size() && c < table.values.size(); ++c) {
    if (table.names[c] == name) return &table.values[c];
  }
  return nullptr;
}

}  // namespace confounds

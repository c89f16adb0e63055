#include "confounds/confound_matrix.h"

#include <utility>

#include "sdm/sdm_file.h"

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

sdm::DesignMatrix confoundMatrix(const std::string& path, std::vector<sdm::Predictor> columns,
                                 int32_t points) {
  for (std::size_t p = 0; p < columns.size(); ++p) columns[p].colour = confoundColour(p);
  return sdm::newDesignMatrix(path, points, std::move(columns), 1);
}

const std::vector<float>* columnNamed(const sdm::DesignMatrix& table, std::string_view name) {
  for (const sdm::Predictor& column : table.predictors) {
    if (column.name == name) return &column.values;
  }
  return nullptr;
}

}  // namespace confounds

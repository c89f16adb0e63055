#include "correlation/report.h"

#include <cmath>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/number_text.h"
#include "base/parallel.h"
#include "correlation/correlation_matrix.h"
#include "sdm/design_matrix.h"

namespace correlation {

namespace {

constexpr std::string_view separator = " ; ";

// Appends `name` as the report shows it: a name holding the separator has each " ; " in it
// written ";", so that the columns stay aligned for every reader that splits at " ; ", and a name
// that a spreadsheet would take for a formula (one that begins with "=", "+", "-", "@", a tab or a
// carriage return) gets an apostrophe in front, which makes the cell text.
void appendName(std::string& line, std::string_view name) {
  if (!name.empty() && std::string_view("=+-@\t\r").find(name.front()) != std::string_view::npos)
    line += '\'';
  for (std::size_t at = name.find(separator); at != std::string_view::npos;
       at = name.find(separator)) {
    line.append(name.substr(0, at));
    line += ';';
    name.remove_prefix(at + separator.size());
  }
  line.append(name);
}

// The header line: " ; " before every name.
void writeHeader(const base::TextSink& put, const sdm::DesignMatrix& matrix) {
  std::string line;
  for (const sdm::Predictor& predictor : matrix.predictors) {
    line += separator;
    appendName(line, predictor.name);
  }
  line += "\r\n";
  put(line);
}

// Appends the cells of row `row` from `firstColumn` on to `line`: the row's name first when the
// piece starts the row, the line end when it closes a row of `k` cells.
void appendPiece(std::string& line, const sdm::DesignMatrix& matrix, std::size_t row,
                 std::size_t firstColumn, std::span<const float> cells, std::size_t k) {
  if (firstColumn == 0) appendName(line, matrix.predictors[row].name);
  for (const float cell : cells) {
    line += separator;
    base::appendFixed(line, static_cast<double>(std::fabs(cell)), 2);
  }
  if (firstColumn + cells.size() == k) line += "\r\n";
}

// Pieces of rows held until about this many cells have come, then turned into text together.
constexpr std::size_t bandCells = std::size_t{1} << 16;

// The report's rows as they come, written in order: a band of pieces at a time is turned into
// text on the team, each piece a part of its work, then written piece after piece.
class PieceWriter {
 public:
  PieceWriter(const base::TextSink& put, const sdm::DesignMatrix& matrix, std::size_t k)
      : put_(put), matrix_(matrix), k_(k), team_(base::threadsFor(k * k, bandCells)) {}

  void add(std::size_t row, std::size_t firstColumn, std::span<const float> cells) {
    pieces_.push_back({row, firstColumn, cells_.size(), cells.size()});
    cells_.insert(cells_.end(), cells.begin(), cells.end());
    if (cells_.size() >= bandCells) flush();
  }

  void flush() {
    if (texts_.size() < pieces_.size()) texts_.resize(pieces_.size());
    team_.forEach(pieces_.size(), [&](std::size_t i) {
      const Piece& piece = pieces_[i];
      // The text grows in a string of this part's own, not in the array the parts share: the
      // sizes of neighbouring strings lie in one cache line.
      std::string text = std::move(texts_[i]);
      text.clear();
      appendPiece(text, matrix_, piece.row, piece.firstColumn,
                  std::span<const float>(cells_).subspan(piece.offset, piece.size), k_);
      texts_[i] = std::move(text);
    });
    for (std::size_t i = 0; i < pieces_.size(); ++i) put_(texts_[i]);
    pieces_.clear();
    cells_.clear();
  }

 private:
  struct Piece {
    std::size_t row, firstColumn, offset, size;
  };
  const base::TextSink& put_;
  const sdm::DesignMatrix& matrix_;
  std::size_t k_;
  base::WorkerTeam team_;
  std::vector<Piece> pieces_;
  std::vector<float> cells_;
  std::vector<std::string> texts_;
};

}  // namespace

void writeCorrelationCsv(const sdm::DesignMatrix& matrix, const base::TextSink& put) {
  writeCorrelationCsv(matrix, put, [](std::size_t, std::size_t, std::span<const float>) {});
}

void writeCorrelationCsv(const sdm::DesignMatrix& matrix, const base::TextSink& put,
                         const CorrelationPieceVisitor& alsoVisit) {
  writeHeader(put, matrix);
  const std::size_t k = matrix.predictors.size();
  PieceWriter writer(put, matrix, k);
  // Row by row as the cells come: the report never holds the whole matrix, whatever K is.
  forEachCorrelationPiece(
      sdm::valuesOf(matrix.predictors),
      [&](std::size_t row, std::size_t firstColumn, std::span<const float> cells) {
        alsoVisit(row, firstColumn, cells);
        writer.add(row, firstColumn, cells);
      });
  writer.flush();
}

void writeCorrelationCsv(const sdm::DesignMatrix& matrix, std::span<const float> correlations,
                         const base::TextSink& put) {
  const std::size_t k = matrix.predictors.size();
  if (correlations.size() != k * k)
    throw std::invalid_argument("correlations do not fit the design matrix");
  writeHeader(put, matrix);
  PieceWriter writer(put, matrix, k);
  for (std::size_t row = 0; row < k; ++row) writer.add(row, 0, correlations.subspan(row * k, k));
  writer.flush();
}

}  // namespace correlation

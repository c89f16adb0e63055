#pragma once

#include <span>

#include "base/text_sink.h"
#include "correlation/correlation_matrix.h"
#include "sdm/design_matrix.h"

// The correlation report: a CSV text of the absolute correlations between all predictors of a
// design matrix, two decimals each, " ; " between cells, CRLF line ends, names made safe for
// spreadsheets (docs/correlation-report.md).
namespace correlation {

// Writes the report of `matrix` to `put`, computing the correlations as it goes: the report
// never holds the whole matrix of cells, whatever the number of predictors. The correlations and
// their text are made on up to threadCount() threads (base/thread_count.h), handed to `put` in
// order: the same bytes for every count.
void writeCorrelationCsv(const sdm::DesignMatrix& matrix, const base::TextSink& put);

// The same, handing each piece of cells to `alsoVisit` too (in the order of
// forEachCorrelationPiece, on the calling thread) before its text is made: one pass over the
// pairs for the report and whatever else needs every cell once.
void writeCorrelationCsv(const sdm::DesignMatrix& matrix, const base::TextSink& put,
                         const CorrelationPieceVisitor& alsoVisit);

// The same from cells computed before: `correlations` holds K x K cells as correlationMatrix
// gives them for the K predictors of `matrix` (the same bytes as the form above). Throws
// std::invalid_argument, writing nothing, when its size is not K x K.
void writeCorrelationCsv(const sdm::DesignMatrix& matrix, std::span<const float> correlations,
                         const base::TextSink& put);

}  // namespace correlation

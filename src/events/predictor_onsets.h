#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "events/events_file.h"
#include "sdm/design_matrix.h"

// The onsets a design picture marks on the predictors of a design that was made elsewhere (a
// merge of a design SDM with confounds), found again by the names the design task gives its
// predictors (contract/predictor_names.h, contract/modulators.h).
namespace events {

// The condition of `table` a predictor named `name` models: the condition of that name, else
// the one whose CONDITION_derivative or CONDITION_x_COLUMN it is (the longest such condition when
// several fit). Returns its index in table.conditions, or none for any other name.
std::optional<std::size_t> conditionOfPredictor(const EventsTable& table, std::string_view name);

// Per predictor of `matrix`, in order: for a predictor of interest whose condition `table` holds
// (conditionOfPredictor), the onsets (seconds) of that condition's events in file order; for
// every other predictor none.
std::vector<std::vector<double>> predictorOnsets(const EventsTable& table,
                                                 const sdm::DesignMatrix& matrix);

}  // namespace events

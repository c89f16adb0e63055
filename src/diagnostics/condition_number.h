#pragma once

#include "diagnostics/cross_products.h"

// The condition number of a design: the ratio of the largest to the smallest singular value of
// the design matrix once every column (the constant one included) is scaled to unit length.
// Above 30 a design is called ill-conditioned.

// Condition numbers from this one up count as infinite: the smallest singular value is then
// below a millionth of the largest, where single-precision columns (about seven digits) and the
// eigenvalues of the cross products (squared singular values, known to about 2^-52 times the
// largest) no longer tell it from zero.
inline constexpr double maxConditionNumber = 1e6;

// The condition number of the design whose cross products are `products`, in double precision:
// the square root of the ratio of the extreme eigenvalues of the cross products of the scaled
// columns (their sums of products without the means taken away, rebuilt from `centred` and
// `means`). +inf when a column is all zeros, when the columns are linearly dependent (fewer data
// points than columns, for one) or the ratio reaches maxConditionNumber; NaN when there is no
// column or no data point, or a value is not finite. Time about m^3 for m columns.
double conditionNumber(const CrossProducts& products);

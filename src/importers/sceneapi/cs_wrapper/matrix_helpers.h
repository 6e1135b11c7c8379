#pragma once
// The 4x4 matrices the exports build: from the host's sixteen values, and a turn about x.

#include "file_api/vtlscene_api.h"

namespace vtl {
namespace matrix {

// A matrix from 16 values, row after row.
vtlMatrix from_rows(const double* values);
// The turn by `angle` radians about the x axis, points as rows (a point p becomes p x M).
vtlMatrix x_rotation(double angle);

} // namespace matrix
} // namespace vtl

#pragma once
// 4x4 matrix helpers: identity, product and rotation from three angles.

#include "file_api/vtlscene_api.h"

namespace vtl {
namespace matrix {

// The identity matrix.
vtlMatrix identity();
// The product a x b.
vtlMatrix multiply(const vtlMatrix& a, const vtlMatrix& b);
// The identity multiplied on the right by Rx(ax), then Ry(ay), then Rz(az) (radians).
vtlMatrix rotation(double ax, double ay, double az);
// A matrix from 16 values, row after row.
vtlMatrix from_rows(const double* values);

} // namespace matrix
} // namespace vtl

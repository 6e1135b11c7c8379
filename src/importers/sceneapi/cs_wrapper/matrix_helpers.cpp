#include "cs_wrapper/matrix_helpers.h"

#include <cmath>

namespace vtl {
namespace matrix {

vtlMatrix from_rows(const double* values) {
    vtlMatrix m{};
    for (int k = 0; k < 16; ++k)
        m.m[k / 4][k % 4] = values[k];
    return m;
}

vtlMatrix x_rotation(double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return vtlMatrix{{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
}

} // namespace matrix
} // namespace vtl

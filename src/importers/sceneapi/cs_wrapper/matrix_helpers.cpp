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
    // cos(angle) as sin(π/2 − angle), with π/2 held in two doubles: some C libraries (mingw's,
    // on the x87) reduce an angle near π/2 with too short a π and print cos(π/2) as 6.12303e-17
    // where it is 6.12323e-17. The sine of a tiny angle is the angle itself on every platform.
    const double rest = (1.5707963267948966 - angle) + 6.123233995736766e-17; // π/2 − angle
    const double c = std::sin(rest), s = std::cos(rest);
    return vtlMatrix{{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
}

} // namespace matrix
} // namespace vtl

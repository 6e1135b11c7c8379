#include "cs_wrapper/matrix_helpers.h"

#include <cmath>

namespace vtl {
namespace matrix {

vtlMatrix identity() {
    vtlMatrix m{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1.0;
    return m;
}

vtlMatrix multiply(const vtlMatrix& a, const vtlMatrix& b) {
    vtlMatrix out{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            out.m[i][j] = sum;
        }
    }
    return out;
}

vtlMatrix rotation(double ax, double ay, double az) {
    vtlMatrix rx = identity();
    const double cx = std::cos(ax), sx = std::sin(ax);
    rx.m[1][1] = cx;
    rx.m[1][2] = sx;
    rx.m[2][1] = -sx;
    rx.m[2][2] = cx;
    vtlMatrix ry = identity();
    const double cy = std::cos(ay), sy = std::sin(ay);
    ry.m[0][0] = cy;
    ry.m[0][2] = -sy;
    ry.m[2][0] = sy;
    ry.m[2][2] = cy;
    vtlMatrix rz = identity();
    const double cz = std::cos(az), sz = std::sin(az);
    rz.m[0][0] = cz;
    rz.m[0][1] = sz;
    rz.m[1][0] = -sz;
    rz.m[1][1] = cz;
    return multiply(multiply(multiply(identity(), rx), ry), rz);
}

vtlMatrix from_rows(const double* values) {
    vtlMatrix m{};
    for (int k = 0; k < 16; ++k)
        m.m[k / 4][k % 4] = values[k];
    return m;
}

} // namespace matrix
} // namespace vtl

#pragma once
// The 4x4 matrices of a Scene file's transforms, row after row, points as rows (a point p
// becomes p x M), and their product.

#include <array>

namespace vtl::reader {

using Matrix = std::array<double, 16>;

inline constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// a x b: applies a first, then b.
inline Matrix product(const Matrix& a, const Matrix& b) {
    Matrix out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                out[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
    return out;
}

} // namespace vtl::reader

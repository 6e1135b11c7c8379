#pragma once
// The colour component clamp every material colour setter uses.

namespace vtl {

// 0 below 0, 1 above 1, otherwise unchanged; a NaN passes through.
inline float clamp01(float x) {
    if (x < 0.0f) return 0.0f;
    if (x > 1.0f) return 1.0f;
    return x;
}

} // namespace vtl

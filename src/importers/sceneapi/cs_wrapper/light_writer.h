#pragma once
// The three lights: each a small placed object written straight to the scene API, a carrier
// mesh with an emitting material.

#include "file_api/vtlscene_api.h"

#include <string>

namespace vtl {
namespace light {

// A point light at the origin on a degenerate carrier triangle.
void write_point(vtlScene_api& api, const std::string& name, float power, const float* color);
// A light with an IES profile, turned a quarter turn about x.
void write_ies(vtlScene_api& api, const std::string& name, const std::string& file);
// A rectangular area light of length along x and width along y, centred on the origin.
void write_line(vtlScene_api& api, const std::string& name, float power, float length, float width);
// The power as the integer sent: truncated toward zero, NaN as 0, held to the int range.
int power_as_int(float power);

} // namespace light
} // namespace vtl

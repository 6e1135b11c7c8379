#pragma once
// Typed parameters sent straight to the scene API (not through the front): truth values,
// integers, floats, colours and references to numbered shaders.

#include "file_api/vtlscene_api.h"

#include <cstdint>

namespace vtl {
namespace scene_param {

// A truth value as the 32-bit integer 1 or 0.
inline void set_bool(vtlScene_api& api, const char* name, bool value) {
    const int32_t truth = value ? 1 : 0;
    api.set_parameter(name, vtl_type::boolean, &truth);
}

// A 32-bit integer.
inline void set_int(vtlScene_api& api, const char* name, int32_t value) {
    api.set_parameter(name, vtl_type::integer, &value);
}

// A 32-bit float.
inline void set_float(vtlScene_api& api, const char* name, float value) {
    api.set_parameter(name, vtl_type::float1, &value);
}

// A colour.
inline void set_color(vtlScene_api& api, const char* name, const vtlColor& value) {
    api.set_parameter(name, vtl_type::color, &value);
}

// A colour from its three components.
inline void set_color(vtlScene_api& api, const char* name, float r, float g, float b) {
    set_color(api, name, vtlColor{r, g, b});
}

// A reference to the numbered shader `id`.
inline void set_shader_ref(vtlScene_api& api, const char* name, int32_t id) {
    api.set_parameter(name, vtl_type::shader_id, &id);
}

} // namespace scene_param
} // namespace vtl

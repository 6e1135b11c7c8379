#include "cs_wrapper/light_writer.h"

#include "cs_wrapper/matrix_helpers.h"
#include "dev/materials/scene_parameters.h"
#include "file_api/scene_text.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

using namespace vtl::scene_text;

namespace vtl {
namespace light {

namespace {

// The point and IES lights' carrier: three points i * 0.001 (single precision) on the diagonal.
std::vector<float> point_carrier() {
    std::vector<float> v;
    for (int i = 0; i < 3; ++i) {
        const float c = static_cast<float>(i) * 0.001f;
        v.insert(v.end(), {c, c, c});
    }
    return v;
}

// Writes the placed object: carrier geometry, an optional transform, then the light's shader
// with the parameters `parameters` writes.
void write_light(vtlScene_api& api, const std::string& name, const std::vector<float>& vertices,
                 const vtlMatrix* turn, const char* shader_type,
                 const std::function<void()>& parameters) {
    std::vector<int32_t> indices;
    for (std::size_t i = 0; i < vertices.size() / 3; ++i)
        indices.push_back(static_cast<int>(i));

    api.begin_object(name.c_str(), true);
    api.begin_geometry(kTriangles);
    const vtlArray points{vertices.data(), static_cast<uint32_t>(vertices.size() / 3)};
    api.set_parameter(kVertices, vtl_type::array_of(vtl_type::color), &points);
    const vtlArray triangles{indices.data(), static_cast<uint32_t>(indices.size())};
    api.set_parameter(kTriangles, vtl_type::array_of(vtl_type::integer), &triangles);
    api.end_geometry();
    if (turn) api.transform(*turn);
    api.begin_material(name.c_str(), true);
    api.begin_shader(nullptr, shader_type);
    parameters();
    api.end_shader();
    vtlShader shader = api.get_shader();
    api.set_shader(0, shader); // kind 0: the surface shader
    api.end_material();
    api.end_object();
}

} // namespace

int power_as_int(float power) {
    if (std::isnan(power)) return 0;
    if (power >= 2147483647.0f) return std::numeric_limits<int>::max();
    if (power <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(power);
}

void write_point(vtlScene_api& api, const std::string& name, float power, const float* color) {
    write_light(api, name, point_carrier(), nullptr, kPointLight, [&] {
        scene_param::set_bool(api, "lumen", true);
        scene_param::set_int(api, "power", power_as_int(power));
        scene_param::set_color(api, "color", color[0], color[1], color[2]);
    });
}

void write_ies(vtlScene_api& api, const std::string& name, const std::string& file) {
    // A quarter turn about x, in radians.
    const vtlMatrix turn = matrix::x_rotation(1.5707963267948966);
    write_light(api, name, point_carrier(), &turn, kIesLight,
                [&] { api.set_parameter("file", vtl_type::string, file.c_str()); });
}

void write_line(vtlScene_api& api, const std::string& name, float power, float length,
                float width) {
    const float l = length / 2.0f;
    const float w = width / 2.0f;
    const std::vector<float> corners{-l, w, 0.0f, -l, -w, 0.0f, l, -w, 0.0f,
                                     -l, w, 0.0f, l,  w,  0.0f, l, -w, 0.0f};
    write_light(api, name, corners, nullptr, kMeshLight, [&] {
        scene_param::set_bool(api, "lumen", true);
        scene_param::set_int(api, "power", power_as_int(power));
    });
}

} // namespace light
} // namespace vtl

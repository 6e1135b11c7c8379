// sceneapi-convert on small OBJ and glTF models written by the test, checked through the reader.

#include "scene_test_files.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

using namespace vtl::reader;
using namespace reader_test;
using tool_test::run;

namespace {

const std::string kConvert = SCENEAPI_CONVERT_PATH;

std::string base64(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned n = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += digits[n >> 18 & 63];
        out += digits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

template <typename T> void append(std::vector<unsigned char>& buffer, std::initializer_list<T> v) {
    for (T x : v) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &x, sizeof(T));
        buffer.insert(buffer.end(), bytes, bytes + sizeof(T));
    }
}

// A quad placed three times (left, right, and a moving one), a metal material, a camera, a
// point light and a translation animation of three keys.
std::string gltf_model() {
    std::vector<unsigned char> b;
    append<float>(b, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}); // positions, offset 0
    append<float>(b, {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}); // normals, offset 48
    append<std::uint16_t>(b, {0, 1, 2, 0, 2, 3});           // indices, offset 96
    append<float>(b, {0, 1, 2});                            // key times, offset 108
    append<float>(b, {0, 0, 0, 0, 4, 0, 0, 8, 0});          // translations, offset 120
    return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
 "extensionsUsed": ["KHR_lights_punctual"],
 "extensions": {"KHR_lights_punctual": {"lights": [{"type": "point", "name": "lamp",
   "color": [1, 0.5, 0.25], "intensity": 2}]}},
 "nodes": [
  {"name": "root", "children": [1, 2, 3, 4, 5]},
  {"name": "left", "mesh": 0, "translation": [-2, 0, 0]},
  {"name": "right", "mesh": 0, "translation": [2, 0, 0]},
  {"name": "mover", "mesh": 0},
  {"name": "eye", "camera": 0, "translation": [0, 0, 10]},
  {"name": "lamp", "translation": [0, 3, 0], "extensions": {"KHR_lights_punctual": {"light": 0}}}],
 "cameras": [{"type": "perspective", "perspective": {"yfov": 0.8, "aspectRatio": 1.5,
   "znear": 0.1}}],
 "meshes": [{"name": "quad", "primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1},
   "indices": 2, "material": 0}]}],
 "materials": [{"name": "steel", "pbrMetallicRoughness": {"baseColorFactor": [0.5, 0.5, 0.6, 1],
   "metallicFactor": 1.0, "roughnessFactor": 0.3}}],
 "animations": [{"name": "move", "channels": [{"sampler": 0,
   "target": {"node": 3, "path": "translation"}}],
   "samplers": [{"input": 3, "output": 4, "interpolation": "LINEAR"}]}],
 "buffers": [{"byteLength": 156, "uri": "data:application/octet-stream;base64,)" +
           base64(b) + R"("}],
 "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48},
  {"buffer": 0, "byteOffset": 48, "byteLength": 48},
  {"buffer": 0, "byteOffset": 96, "byteLength": 12},
  {"buffer": 0, "byteOffset": 108, "byteLength": 12},
  {"buffer": 0, "byteOffset": 120, "byteLength": 36}],
 "accessors": [
  {"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3", "min": [0, 0, 0],
   "max": [1, 1, 0]},
  {"bufferView": 1, "componentType": 5126, "count": 4, "type": "VEC3"},
  {"bufferView": 2, "componentType": 5123, "count": 6, "type": "SCALAR"},
  {"bufferView": 3, "componentType": 5126, "count": 3, "type": "SCALAR", "min": [0],
   "max": [2]},
  {"bufferView": 4, "componentType": 5126, "count": 3, "type": "VEC3"}]}
)";
}

// Three objects: a textured panel, a glass pane and an emissive strip.
const char* const kObj = R"(mtllib parts.mtl
o panel
v 0 0 0
v 1 0 0
v 1 1 0
v 0 1 0
vt 0 0
vt 1 0
vt 1 1
vt 0 1
vn 0 0 1
usemtl wood
f 1/1/1 2/2/1 3/3/1 4/4/1
o pane
v 0 0 1
v 1 0 1
v 1 1 1
usemtl glass
f 5//1 6//1 7//1
o strip
usemtl glow
f 5//1 7//1 3//1
)";

const char* const kMtl = R"(newmtl wood
Kd 0.6 0.4 0.2
map_Kd wood.png
newmtl glass
Kd 0.9 0.9 0.9
d 0.2
newmtl glow
Kd 1 1 1
Ke 1 1 0.5
)";

// The material block named `name` and the type of its surface shader.
std::string material_kind(const Document& doc, const std::string& name) {
    for (const Node* m : find_all(doc, "material")) {
        if (!m->definition || m->name() != name) continue;
        const Value* surface = m->value_of("surface");
        if (surface && surface->kind == ValueKind::Shader) return surface->text;
        for (const Node& c : m->children)
            if (surface && c.keyword == "shader" && c.values.at(0).number == surface->number)
                return c.values.at(1).text;
    }
    return "missing";
}

} // namespace

TEST(ConvertToolTest, GltfHierarchyInstancesMaterialCameraLightAndAnimation) {
    TempFolder folder;
    const std::string model = folder.file("scene.gltf"), out = folder.file("scene.scene");
    std::ofstream(model) << gltf_model();
    const tool_test::Run r = run(kConvert + " " + model + " -o " + out + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(" -> " + out +
                         ": 0 meshes placed once, 1 shared mesh placed 3 times, 2 triangles "
                         "(4 vertices)"),
              std::string::npos)
        << r.out;
    const Document doc = read_ok(out);

    const std::vector<const Node*> objects = find_all(doc, "object");
    ASSERT_EQ(objects.size(), 5u); // the quad, its three placements and the point light
    EXPECT_TRUE(objects[0]->definition);
    EXPECT_EQ(objects[0]->name(), "quad");
    const Node* geometry = objects[0]->child("geometry", "triangles");
    ASSERT_NE(geometry, nullptr);
    EXPECT_EQ(geometry->value_of("triangles")->array.numbers.size(), 6u);
    EXPECT_EQ(geometry->value_of("vertices")->array.elements, 4u);
    EXPECT_EQ(geometry->value_of("normals")->array.elements, 4u);
    const double id = objects[0]->value_of("id")->number;
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(objects[i]->child("geometry", "instance")->value_of("id")->number, id);
        EXPECT_EQ(objects[i]->value_of("material")->text, "steel");
    }
    EXPECT_EQ(material_kind(doc, "steel"), "vtl_metal");

    const Node* root = find_all(doc, "group").at(0);
    EXPECT_EQ(root->name(), "root");
    const Node* left = root->child("group", "left");
    ASSERT_NE(left, nullptr);
    const std::vector<Value>& move = *left->values_of("transform");
    ASSERT_EQ(move.size(), 16u);
    EXPECT_EQ(move[12].number, -2); // points are rows: the translation is the last row
    EXPECT_EQ(move[15].number, 1);

    const Node* mover = root->child("group", "mover");
    ASSERT_NE(mover, nullptr);
    const Node* animation = mover->child("animation");
    ASSERT_NE(animation, nullptr);
    EXPECT_TRUE(animation->values.at(1).is("mover"));
    EXPECT_EQ(animation->value_of("duration")->number, 2);
    EXPECT_EQ(animation->value_of("timestamps")->array.numbers, (std::vector<double>{0, 30, 60}));
    const Array& matrices = animation->value_of("matrices")->array;
    ASSERT_EQ(matrices.numbers.size(), 48u);
    EXPECT_EQ(matrices.numbers[16 + 13], 4);
    EXPECT_EQ(matrices.numbers[32 + 13], 8);

    const Node* camera = find_all(doc, "camera").at(0);
    EXPECT_EQ(camera->values_of("position")->at(2).number, 10);
    EXPECT_EQ(camera->values_of("direction")->at(2).number, -1);
    const Node* lamp = root->child("group", "lamp");
    ASSERT_NE(lamp, nullptr);
    const Node* light = lamp->child("object", "lamp");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->child("material")->value_of("surface")->text, "vtl_point_light");

    const std::vector<const Node*> progress = find_all(doc, "progress");
    ASSERT_GE(progress.size(), 2u);
    EXPECT_TRUE(progress.front()->values.at(0).is("converting scene.gltf"));
    EXPECT_EQ(progress.back()->values.at(1).number, 1);
}

TEST(ConvertToolTest, ObjMeshesAndMaterialKinds) {
    TempFolder folder;
    const std::string model = folder.file("parts.obj"), out = folder.file("parts.scene");
    std::ofstream(model) << kObj;
    std::ofstream(folder.file("parts.mtl")) << kMtl;
    const tool_test::Run r = run(kConvert + " " + model + " -o " + out + " --quiet 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    const Document doc = read_ok(out);
    std::size_t triangles = 0;
    std::vector<std::string> names;
    for (const Node* g : find_all(doc, "geometry")) {
        if (g->name() == "triangles" && g->value_of("triangles"))
            triangles += g->value_of("triangles")->array.numbers.size() / 3;
    }
    for (const Node* o : find_all(doc, "object"))
        if (!o->definition) names.push_back(o->name());
    EXPECT_EQ(triangles, 4u);
    EXPECT_EQ(names, (std::vector<std::string>{"panel", "pane", "strip"}));
    EXPECT_EQ(material_kind(doc, "glass"), "vtl_window_glass");
    EXPECT_EQ(material_kind(doc, "glow"), "vtl_emissive");
    EXPECT_EQ(material_kind(doc, "wood"), "vtl_diffuse"); // fed by a texture shader
    bool texture = false;
    for (const Node* s : find_all(doc, "shader"))
        texture = texture || (s->value_of("texture") && s->value_of("texture")->is("wood.png"));
    EXPECT_TRUE(texture);
    const Node* uv = nullptr;
    for (const Node* g : find_all(doc, "geometry"))
        if (g->value_of("uv_tex")) uv = g;
    ASSERT_NE(uv, nullptr);
    EXPECT_EQ(uv->value_of("uv_tex")->array.numbers.size(), 8u);
}

TEST(ConvertToolTest, ReportsUnreadableModelsMissingLiveLinkAndBadArguments) {
    TempFolder folder;
    const std::string model = folder.file("bad.gltf");
    std::ofstream(model) << "{\"asset\": \n";
    const tool_test::Run bad =
        run(kConvert + " " + model + " -o " + folder.file("x.scene") + " 2>&1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out.rfind("sceneapi-convert: cannot read " + model + ": ", 0), 0u) << bad.out;
    std::ofstream(folder.file("ok.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    const tool_test::Run live = run(kConvert + " " + folder.file("ok.obj") + " --live 2>&1");
    EXPECT_EQ(live.status, 1);
    EXPECT_EQ(live.out.rfind("sceneapi-convert: no live link: ", 0), 0u) << live.out;
    EXPECT_GT(live.out.size(), std::string("sceneapi-convert: no live link: \n").size());
    EXPECT_EQ(run(kConvert + " " + model + " 2>&1").status, 2);
    EXPECT_EQ(run(kConvert + " " + model + " -o a --live 2>&1").status, 2);
}

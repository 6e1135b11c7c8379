// sceneapi-convert on small OBJ and glTF models written by the test, checked through the reader.

#include "scene_test_files.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

using namespace vtl::reader;
using namespace reader_test;
using tool_test::run;

namespace {

const std::string kConvert = SCENEAPI_CONVERT_PATH;

// Writes the bytes a glTF model names as its buffer file.
void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

template <typename T> void append(std::vector<unsigned char>& buffer, std::initializer_list<T> v) {
    for (T x : v) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &x, sizeof(T));
        buffer.insert(buffer.end(), bytes, bytes + sizeof(T));
    }
}

// A quad placed three times (left, right, and a moving one), a metal material, a camera, a
// point light and a translation animation of three keys; written to `path`, its buffer beside it.
void write_gltf_model(const std::string& path) {
    std::vector<unsigned char> b;
    append<float>(b, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}); // positions, offset 0
    append<float>(b, {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}); // normals, offset 48
    append<std::uint16_t>(b, {0, 1, 2, 0, 2, 3});           // indices, offset 96
    append<float>(b, {0, 1, 2});                            // key times, offset 108
    append<float>(b, {0, 0, 0, 0, 4, 0, 0, 8, 0});          // translations, offset 120
    write_bytes(path + ".bin", b);
    std::ofstream(path) << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
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
 "buffers": [{"byteLength": 156, "uri": ")" +
                               std::filesystem::path(path).filename().string() + R"(.bin"}],
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
    write_gltf_model(model);
    const tool_test::Run r = run(kConvert + " " + model + " -o " + out + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(" -> " + out +
                         ": 0 meshes placed once, 1 shared mesh placed 3 times, 2 triangles "
                         "(4 vertices), 5 groups; "),
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
    const Node* uv = nullptr;
    for (const Node* g : find_all(doc, "geometry"))
        if (g->value_of("uv_tex")) uv = g;
    ASSERT_NE(uv, nullptr);
    EXPECT_EQ(uv->value_of("uv_tex")->array.numbers.size(), 8u);
}

namespace {

const std::string kInfo = SCENEAPI_INFO_PATH;

// A camera, a spot light and a directional light, no mesh.
const char* const kCameraAndLights = R"({"asset": {"version": "2.0"}, "scene": 0,
 "scenes": [{"nodes": [0, 1, 2]}], "extensionsUsed": ["KHR_lights_punctual"],
 "extensions": {"KHR_lights_punctual": {"lights": [{"type": "spot", "name": "spot",
   "intensity": 3, "spot": {}}, {"type": "directional", "name": "sun"}]}},
 "nodes": [{"name": "eye", "camera": 0, "translation": [0, 0, 10]},
  {"name": "spot", "translation": [0, 3, 0], "extensions": {"KHR_lights_punctual": {"light": 0}}},
  {"name": "sun", "extensions": {"KHR_lights_punctual": {"light": 1}}}],
 "cameras": [{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1}}]})";

// A triangle with uvs whose material's base colour is an image held in the model's buffer.
void write_textured_gltf(const std::string& path, const std::vector<unsigned char>& image) {
    std::vector<unsigned char> b;
    append<float>(b, {0, 0, 0, 1, 0, 0, 0, 1, 0}); // positions, offset 0
    append<float>(b, {0, 0, 1, 0, 0, 1});          // uvs, offset 36
    b.insert(b.end(), image.begin(), image.end()); // the image, offset 60
    write_bytes(path + ".bin", b);
    std::ofstream(path) << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
 "nodes": [{"name": "tri", "mesh": 0}],
 "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "material": 0}]}],
 "materials": [{"name": "painted", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0},
   "metallicFactor": 0}}],
 "textures": [{"source": 0}],
 "images": [{"bufferView": 2, "mimeType": "image/png"}],
 "buffers": [{"byteLength": )" +
                               std::to_string(b.size()) + R"(, "uri": ")" +
                               std::filesystem::path(path).filename().string() + R"(.bin"}],
 "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
  {"buffer": 0, "byteOffset": 36, "byteLength": 24},
  {"buffer": 0, "byteOffset": 60, "byteLength": )" +
                               std::to_string(image.size()) + R"(}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
   "min": [0, 0, 0], "max": [1, 1, 0]},
  {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"}]})";
}

// The texture of the first texture shader of a Scene file, or "none".
std::string first_texture(const Document& doc) {
    for (const Node* s : find_all(doc, "texture"))
        if (!s->values.empty()) return s->values[0].text;
    return "none";
}

} // namespace

TEST(ConvertToolTest, EveryModelEndsInAnHonestStatusWithAReasonOrWarnings) {
    TempFolder folder;
    struct Case {
        const char* file;
        std::string content;
        int status;
        std::string printed;   // a line the tool prints on standard error
        std::size_t triangles; // in the Scene file, when converted
        std::size_t lights;    // point lights in the Scene file
    };
    const std::string ply_header = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                                   "property float y\nproperty float z\nelement face 1\n"
                                   "property list uchar int vertex_indices\nend_header\n"
                                   "0 0 0\n1 0 0\n0 1 0\n";
    const Case cases[] = {
        {"lines.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\nl 1 2 3\np 4\n", 0,
         "lines.obj: warning: 2 lines and 1 point dropped (the Scene file holds triangles only)\n",
         1, 0},
        {"only_lines.obj", "v 0 0 0\nv 1 0 0\nl 1 2\np 1\n", 1,
         "only_lines.obj: nothing to export: the model holds lines, points or polygons only", 0, 0},
        {"eye.gltf", kCameraAndLights, 0,
         "eye.gltf: warning: 2 spot or directional lights written as point lights\n", 0, 2},
        {"empty.obj", "", 1, "empty.obj: the file is empty\n", 0, 0},
        {"junk.xyz", "not a model\n", 1, "junk.xyz: ", 0, 0},
        // The importer hands this one over with an index past the vertices.
        {"index.ply", ply_header + "3 0 1 7\n", 1, "index.ply: Validation failed: ", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string model = folder.file(c.file);
        std::ofstream(model) << c.content;
        const std::string out = model + ".scene";
        const tool_test::Run r = run(kConvert + " " + model + " -o " + out + " 2>&1 >/dev/null");
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_NE(r.out.find("sceneapi-convert: " + folder.file(c.printed)), std::string::npos)
            << r.out;
        // Every line printed names the model and says something after it.
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_GT(line.size(), ("sceneapi-convert: " + model + ": ").size()) << line;
        if (c.status != 0) {
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        const Document doc = read_ok(out);
        std::size_t triangles = 0, lights = 0;
        for (const Node* o : find_all(doc, "object")) {
            const Node* m = o->child("material");
            if (m && m->value_of("surface") && m->value_of("surface")->text == "vtl_point_light")
                ++lights;
            else if (const Node* g = o->child("geometry", "triangles"))
                triangles += g->value_of("triangles")->array.numbers.size() / 3;
        }
        EXPECT_EQ(triangles, c.triangles);
        EXPECT_EQ(lights, c.lights);
    }
}

TEST(ConvertToolTest, ArgumentsAreCheckedAndNamed) {
    TempFolder folder;
    const std::string model = folder.write("one.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string out = " -o " + folder.file("one.scene");
    const std::string none = folder.file("none.obj");
    struct Case {
        std::string arguments;
        int status;
        std::string printed;
    };
    const Case cases[] = {
        {model + out + " --up-axis w", 2, "--up-axis takes x, y, z, 0, 1 or 2, not \"w\""},
        {model + out + " --up-axis", 2, "--up-axis needs a value"},
        {model + out + " --meter-scale 0", 2, "--meter-scale takes a positive number, not \"0\""},
        {model + out + " --meter-scale 2m", 2, "--meter-scale takes a positive number"},
        {model + out + " --meter-scale nan", 2, "--meter-scale takes a positive number"},
        {model + " -o", 2, "-o needs a value"},
        {model + out + " --frobnicate", 2, "unknown option --frobnicate"},
        {model + " " + model + out, 2, "-o and --live take one model"},
        {model + out + " -d " + folder.file("d"), 2, "give only one of -o, -d and --live"},
        {model + out + " --live", 2, "give only one of -o, -d and --live"},
        {model, 2, "no destination"},
        {model + " -o " + model, 2, model + ": the output is the model itself"},
        {"--version", 0, "sceneapi-convert 8.1.24 (interface 1.7, assimp "},
        {"--list-formats", 0, ".obj"},
        {model + out + " --up-axis z --meter-scale 0.01", 0, " -> "},
        {none + out, 1, "sceneapi-convert: " + none + ": no such file\n"},
        {folder.path() + out, 1, "sceneapi-convert: " + folder.path() + ": is a folder"},
        {model + " --live", 1,
         "sceneapi-convert: " + model + ": no live link: Failed to connect. "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        // --version and --list-formats print on standard output, failures on error.
        const tool_test::Run r = run(kConvert + " " + c.arguments + (c.status ? " 2>&1" : ""));
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_NE(r.out.find(c.printed), std::string::npos) << r.out;
    }
    EXPECT_EQ(test_support::read_file(model), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
}

TEST(ConvertToolTest, TexturesAreWrittenSoThatTheOutputFindsThem) {
    TempFolder folder;
    std::filesystem::create_directories(folder.file("models/maps"));
    std::filesystem::create_directories(folder.file("out"));
    const std::vector<unsigned char> image = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 1, 2, 3};
    std::ofstream(folder.file("models/maps/wood.png")) << "wood";
    std::ofstream(folder.file("models/panel.obj"))
        << "mtllib panel.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nusemtl wood\n"
           "f 1/1 2/2 3/3\nusemtl lost\nf 3/3 2/2 1/1\n";
    std::ofstream(folder.file("models/panel.mtl"))
        << "newmtl wood\nmap_Kd maps\\wood.png\nnewmtl lost\nmap_Kd gone/nowhere.png\n";
    write_textured_gltf(folder.file("models/painted.gltf"), image);

    const tool_test::Run obj = run(kConvert + " " + folder.file("models/panel.obj") + " -o " +
                                   folder.file("out/panel.scene") + " 2>&1");
    EXPECT_EQ(obj.status, 0) << obj.out;
    EXPECT_NE(obj.out.find("warning: 1 texture not found on disk (the first: gone/nowhere.png)"),
              std::string::npos)
        << obj.out;
    const Document panel = read_ok(folder.file("out/panel.scene"));
    std::vector<std::string> textures;
    for (const Node* s : find_all(panel, "texture"))
        textures.push_back(s->values.at(0).text);
    EXPECT_EQ(textures,
              (std::vector<std::string>{"../models/maps/wood.png", "../models/gone/nowhere.png"}));

    const tool_test::Run gltf = run(kConvert + " " + folder.file("models/painted.gltf") + " -o " +
                                    folder.file("out/painted.scene") + " 2>&1");
    EXPECT_EQ(gltf.status, 0) << gltf.out;
    EXPECT_EQ(gltf.out.find("warning"), std::string::npos) << gltf.out;
    EXPECT_EQ(first_texture(read_ok(folder.file("out/painted.scene"))), "painted_texture0.png");
    EXPECT_EQ(test_support::read_file(folder.file("out/painted_texture0.png")),
              std::string(image.begin(), image.end()));

    // On standard output there is no folder to put it in: said, not hidden.
    const tool_test::Run piped =
        run(kConvert + " " + folder.file("models/painted.gltf") + " -o - 2>&1 >/dev/null");
    EXPECT_EQ(piped.status, 0) << piped.out;
    EXPECT_NE(piped.out.find("warning: 1 embedded texture not written"), std::string::npos)
        << piped.out;
}

TEST(ConvertToolTest, SeveralModelsIntoAFolderWithATableAndOneOnStandardOutput) {
    TempFolder folder;
    std::filesystem::create_directories(folder.file("in/sub"));
    write_gltf_model(folder.file("in/scene.gltf"));
    std::ofstream(folder.file("in/sub/one.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::ofstream(folder.file("in/sub/lines.obj")) << "v 0 0 0\nv 1 0 0\nl 1 2\n";
    const std::string outdir = folder.file("out");
    const tool_test::Run r =
        run(kConvert + " " + folder.file("in") + " -d " + outdir + " 2>/dev/null");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("3 models: 2 converted, 1 failed; 3 triangles;"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("lines.obj  FAILED nothing to export"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(outdir + "/one.scene"));
    EXPECT_FALSE(std::filesystem::exists(outdir + "/lines.scene"));

    // Written to standard output, the placements read back where the transforms put them.
    const tool_test::Run one =
        run(kConvert + " " + folder.file("in/scene.gltf") + " -o - 2>/dev/null | " + kInfo + " -");
    EXPECT_EQ(one.status, 0) << one.out;
    for (const char* part : {"bounds: -2 0 0 to 3 1 0\n", "findings: 0 errors, 0 warnings\n"})
        EXPECT_NE(one.out.find(part), std::string::npos) << part << "\n" << one.out;
}

// Scene files written as glTF and OBJ: what each kind of content becomes, every glTF file the
// tests write passing the Khronos validator, and a round trip from a model through a Scene file
// to a glb that reads back with the same triangles, extent and colours.

#include "reader/scene_reader.h"
#include "scene_to_gltf.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace {

using test_support::TempFolder;

// Runs the validator on `files`; its report, and whether every file had 0 errors.
bool validate(const std::vector<std::string>& files, std::string& report) {
    std::string command = "node " GLTF_VALIDATE_SCRIPT " " GLTF_VALIDATOR_DIR;
    for (const std::string& f : files)
        command += " '" + f + "'";
    const tool_test::Run r = tool_test::run(command + " 2>&1");
    report = r.out;
    return r.status == 0;
}

vtl::reader::Document parse(const std::string& text) {
    vtl::reader::ReadResult r = vtl::reader::read_scene(text);
    EXPECT_TRUE(r.ok) << r.error.describe();
    return std::move(r.document);
}

// A glb read back: triangles as drawn, the box of placed positions, base colours by material.
struct ReadBack {
    bool ok = false;
    std::size_t triangles = 0, meshes = 0, cameras = 0, lights = 0, animations = 0;
    std::array<double, 3> min{1e30, 1e30, 1e30}, max{-1e30, -1e30, -1e30};
    std::vector<std::array<double, 4>> colours;
};

using Mat = std::array<double, 16>; // column-major, glTF's own

Mat local(const tinygltf::Node& n) {
    Mat m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // the converter writes no matrix
    const double x = n.rotation.size() == 4 ? n.rotation[0] : 0,
                 y = n.rotation.size() == 4 ? n.rotation[1] : 0,
                 z = n.rotation.size() == 4 ? n.rotation[2] : 0,
                 w = n.rotation.size() == 4 ? n.rotation[3] : 1;
    const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                         2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                         2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
    for (int c = 0; c < 3; ++c) {
        const double s = n.scale.size() == 3 ? n.scale[c] : 1;
        for (int row = 0; row < 3; ++row)
            m[4 * c + row] = r[3 * c + row] * s;
        m[12 + c] = n.translation.size() == 3 ? n.translation[c] : 0;
    }
    return m;
}

Mat times(const Mat& a, const Mat& b) { // a * b, column-major
    Mat out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                out[4 * c + r] += a[4 * k + r] * b[4 * c + k];
    return out;
}

ReadBack read_back(const std::vector<unsigned char>& glb) {
    ReadBack rb;
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    if (!loader.LoadBinaryFromMemory(&model, &error, &warning, glb.data(),
                                     static_cast<unsigned>(glb.size())))
        return rb;
    rb.meshes = model.meshes.size();
    rb.cameras = model.cameras.size();
    rb.lights = model.lights.size();
    rb.animations = model.animations.size();
    for (const auto& m : model.materials)
        rb.colours.push_back(
            {m.pbrMetallicRoughness.baseColorFactor[0], m.pbrMetallicRoughness.baseColorFactor[1],
             m.pbrMetallicRoughness.baseColorFactor[2], m.pbrMetallicRoughness.baseColorFactor[3]});
    std::vector<std::pair<int, Mat>> pending;
    for (int root : model.scenes[0].nodes)
        pending.push_back({root, local(model.nodes[root])});
    while (!pending.empty()) {
        const auto [index, m] = pending.back();
        pending.pop_back();
        const tinygltf::Node& n = model.nodes[index];
        for (int c : n.children)
            pending.push_back({c, times(m, local(model.nodes[c]))});
        if (n.mesh < 0) continue;
        for (const auto& p : model.meshes[n.mesh].primitives) {
            rb.triangles += model.accessors[p.indices].count / 3;
            const auto& a = model.accessors[p.attributes.at("POSITION")];
            const auto& v = model.bufferViews[a.bufferView];
            const auto* f = reinterpret_cast<const float*>(model.buffers[v.buffer].data.data() +
                                                           v.byteOffset + a.byteOffset);
            for (std::size_t i = 0; i < a.count; ++i)
                for (int r = 0; r < 3; ++r) {
                    const double q = m[r] * f[3 * i] + m[4 + r] * f[3 * i + 1] +
                                     m[8 + r] * f[3 * i + 2] + m[12 + r];
                    rb.min[r] = std::min(rb.min[r], q);
                    rb.max[r] = std::max(rb.max[r], q);
                }
        }
    }
    rb.ok = true;
    return rb;
}

const std::string kHeader = "//---vantel:dal:7---\nversion 10\n";
const std::string kCube = R"(
 geometry "triangles" {
  "vertices" [ 0 0 0,1 0 0,0 1 0,1 1 0,0 0 1,1 0 1,0 1 1,1 1 1 ] ,
  "triangles" [ 0,2,1,1,2,3,4,5,6,5,7,6,0,1,4,1,5,4,2,6,3,3,6,7,0,4,2,2,4,6,1,3,5,3,7,5 ] ,
 }
)";
const std::string kRed = R"(#define material "red" {
 surface "vtl_plastic_simple" {
  "diffuse" 1 0 0,
  "specular" 0 0 0,
  "roughness" 0.25,
 }
 flags 4096
}
)";
const std::string kNurbs = R"(
 geometry "nurbs" {
  "umin" 0.0, "umax" 1.0, "vmin" 0.0, "vmax" 1.0, "uorder" 2.0, "vorder" 2.0,
  "uknot" [ 0,0,1,1 ] , "vknot" [ 0,0,1,1 ] ,
  "Pw" [ 0,0,0,1, 1,0,0,1, 0,1,0,1, 1,1,0,1 ] ,
)";
const std::string kTrim = R"(
  "trim_nedges" [ 4 ] , "trim_inside" [ 1 ] , "edge_order" [ 2,2,2,2 ] ,
  "edge_nknots" [ 4,4,4,4 ] , "edge_min" [ 0,0,0,0 ] , "edge_max" [ 1,1,1,1 ] ,
  "edge_knot" [ 0,0,1,1,0,0,1,1,0,0,1,1,0,0,1,1 ] ,
  "edge_uvw" [ 0.25,0.25,1,0.75,0.25,1, 0.75,0.25,1,0.75,0.75,1, 0.75,0.75,1,0.25,0.75,1,
               0.25,0.75,1,0.25,0.25,1 ] ,
)";

struct Case {
    const char* name;
    std::string scene;
    std::size_t meshes, nodes, triangles, materials;
    std::size_t cameras, lights, animations;
};

// What each kind of content becomes.
TEST(SceneToGltf, ContentBecomesMeshesNodesMaterialsCameraLightsAnimations) {
    const std::vector<Case> cases = {
        {"mesh placed inline",
         kHeader + kRed + "object \"box\" {" + kCube + " material \"red\"\n}\n", 1, 1, 12, 1, 0, 0,
         0},
        {"definition placed twice is one mesh",
         kHeader + kRed + "#define object \"box\" {\n id 1\n" + kCube + "}\n" +
             "object \"a\" {\n geometry \"instance\" {\n  \"id\" 1,\n }\n material \"red\"\n}\n" +
             "transform 1 0 0 0 0 1 0 0 0 0 1 0 3 0 0 1\n" +
             "object \"b\" {\n geometry \"instance\" {\n  \"id\" 1,\n }\n material \"red\"\n}\n",
         1, 2, 24, 1, 0, 0, 0},
        {"groups become nodes",
         kHeader + kRed + "group \"outer\" {\n group \"inner\" {\n" + "  object \"box\" {" + kCube +
             " material \"red\"\n  }\n }\n}\n",
         1, 3, 12, 1, 0, 0, 0},
        {"index past the vertices drops its triangle",
         kHeader +
             "object \"bad\" {\n geometry \"triangles\" {\n"
             "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n  \"triangles\" [ 0,1,2,0,1,9 ] ,\n }\n}\n",
         1, 1, 1, 1, 0, 0, 0},
        {"NURBS tessellated on an 8 by 8 grid", kHeader + "object \"patch\" {" + kNurbs + " }\n}\n",
         1, 1, 128, 1, 0, 0, 0},
        {"trim keeps the middle quarter",
         kHeader + "object \"patch\" {" + kNurbs + kTrim + " }\n}\n", 1, 1, 32, 1, 0, 0, 0},
        {"camera",
         kHeader + "camera \"camera\" {\n projection \"perspective\"\n"
                   " fov4 -0.5 0.5 -0.375 0.375\n position 0 2 8\n"
                   " direction 0 -0.25 -1\n up 0 1 0\n}\n",
         0, 1, 0, 0, 1, 0, 0},
        {"point light, carrier left out",
         kHeader + "object \"lamp\" {\n geometry \"triangles\" {\n"
                   "  \"vertices\" [ 0 0 0,0.001 0.001 0.001,0.002 0.002 0.002 ] ,\n"
                   "  \"triangles\" [ 0,1,2 ] ,\n }\n material \"lamp\" {\n"
                   "  surface \"vtl_point_light\" {\n   \"lumen\" on,\n   \"power\" 800,\n"
                   "   \"color\" 1 0.9 0.8,\n  }\n }\n}\n",
         0, 1, 0, 0, 0, 1, 0},
        {"animation of a group",
         kHeader + "group \"spinning\" {\n object \"box\" {" + kCube + " }\n" +
             " animation \"fbx_animation\" \"spin\" {\n  \"start_time\" 0,\n  \"duration\" 2,\n"
             "  \"timestamps\" [ 0,30,60 ] ,\n  \"matrices\" [ 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1,\n"
             "  0 0 -1 0 0 1 0 0 1 0 0 0 0 1 0 1,\n  -1 0 0 0 0 1 0 0 0 0 -1 0 0 2 0 1 ] ,\n"
             "  \"interpolate\" on,\n  \"folder\" \"\",\n }\n}\n",
         1, 2, 12, 1, 0, 0, 1},
    };
    TempFolder temp;
    std::vector<std::string> files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const vtl::reader::Document document = parse(c.scene);
        std::vector<unsigned char> glb;
        const vtl::gltf::Conversion conversion = vtl::gltf::scene_to_glb(document, glb);
        ASSERT_TRUE(conversion.ok) << conversion.error;
        EXPECT_EQ(conversion.meshes, c.meshes);
        EXPECT_EQ(conversion.nodes, c.nodes);
        EXPECT_EQ(conversion.triangles, c.triangles);
        EXPECT_EQ(conversion.materials, c.materials);
        const ReadBack rb = read_back(glb);
        ASSERT_TRUE(rb.ok);
        EXPECT_EQ(rb.triangles, c.triangles);
        EXPECT_EQ(rb.cameras, c.cameras);
        EXPECT_EQ(rb.lights, c.lights);
        EXPECT_EQ(rb.animations, c.animations);
        files.push_back(temp.file(std::to_string(files.size()) + ".glb"));
        std::ofstream(files.back(), std::ios::binary)
            .write(reinterpret_cast<const char*>(glb.data()), glb.size());
    }
    std::string report;
    EXPECT_TRUE(validate(files, report)) << report;
}

// Placements keep their transforms: the second cube stands three units along x.
TEST(SceneToGltf, PlacementsKeepTheirTransformsAndColours) {
    const vtl::reader::Document document =
        parse(kHeader + kRed + "#define object \"box\" {\n id 1\n" + kCube + "}\n" +
              "group \"g\" {\n transform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 5 1\n"
              " object \"a\" {\n  geometry \"instance\" {\n   \"id\" 1,\n  }\n"
              "  transform 2 0 0 0 0 2 0 0 0 0 2 0 3 0 0 1\n  material \"red\"\n }\n}\n");
    std::vector<unsigned char> glb;
    ASSERT_TRUE(vtl::gltf::scene_to_glb(document, glb).ok);
    const ReadBack rb = read_back(glb);
    ASSERT_TRUE(rb.ok);
    const std::array<double, 3> min{3, 0, 5}, max{5, 2, 7};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(rb.min[k], min[k], 1e-5) << k;
        EXPECT_NEAR(rb.max[k], max[k], 1e-5) << k;
    }
    ASSERT_EQ(rb.colours.size(), 1u);
    EXPECT_EQ(rb.colours[0], (std::array<double, 4>{1, 0, 0, 1}));
}

// Model -> Scene file -> glb -> glTF reader: the same triangles, extent and colours as the model.
TEST(SceneToGltf, RoundTripFromAModel) {
    TempFolder temp;
    const std::string model = SOURCE_DIR "/examples/models/table.gltf";
    const std::string scene = temp.file("table.scene"), glb = temp.file("table.glb");
    const std::string tool = SCENEAPI_CONVERT_PATH;
    ASSERT_EQ(tool_test::run(tool + " --quiet '" + model + "' -o '" + scene + "'").status, 0);
    const tool_test::Run r = tool_test::run(tool + " '" + scene + "' -o '" + glb + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;

    Assimp::Importer importer;
    const aiScene* original = importer.ReadFile(model, aiProcess_Triangulate);
    ASSERT_NE(original, nullptr);
    std::size_t triangles = 0;
    std::array<double, 3> min{1e30, 1e30, 1e30}, max{-1e30, -1e30, -1e30};
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending{
        {original->mRootNode, original->mRootNode->mTransformation}};
    while (!pending.empty()) {
        const auto [node, m] = pending.back();
        pending.pop_back();
        for (unsigned c = 0; c < node->mNumChildren; ++c)
            pending.push_back({node->mChildren[c], m * node->mChildren[c]->mTransformation});
        for (unsigned k = 0; k < node->mNumMeshes; ++k) {
            const aiMesh* mesh = original->mMeshes[node->mMeshes[k]];
            for (unsigned f = 0; f < mesh->mNumFaces; ++f)
                triangles += mesh->mFaces[f].mNumIndices == 3;
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                const aiVector3D p = m * mesh->mVertices[v];
                for (int c = 0; c < 3; ++c) {
                    min[c] = std::min(min[c], static_cast<double>(p[c]));
                    max[c] = std::max(max[c], static_cast<double>(p[c]));
                }
            }
        }
    }
    std::ifstream in(glb, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    const ReadBack rb = read_back(bytes);
    ASSERT_TRUE(rb.ok);
    EXPECT_EQ(rb.triangles, triangles);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(rb.min[c], min[c], 1e-4) << c;
        EXPECT_NEAR(rb.max[c], max[c], 1e-4) << c;
    }
    for (unsigned k = 0; k < original->mNumMaterials; ++k) {
        aiColor4D d;
        if (original->mMaterials[k]->Get(AI_MATKEY_COLOR_DIFFUSE, d) != AI_SUCCESS) continue;
        bool found = false;
        for (const auto& c : rb.colours)
            found |= std::fabs(c[0] - d.r) < 1e-5 && std::fabs(c[1] - d.g) < 1e-5 &&
                     std::fabs(c[2] - d.b) < 1e-5;
        EXPECT_TRUE(found) << "material " << k << " colour " << d.r << " " << d.g << " " << d.b;
    }
    std::string report;
    EXPECT_TRUE(validate({glb}, report)) << report;
}

// The converter's other outputs and its refusals.
TEST(SceneToGltf, ConverterWritesGltfAndObjAndRefusesBrokenFiles) {
    TempFolder temp;
    const std::string scene = temp.write("my scene.scene", kHeader + kRed + "object \"box\" {" +
                                                               kCube + " material \"red\"\n}\n");
    const std::string tool = SCENEAPI_CONVERT_PATH;
    struct Out {
        const char* file;
        const char* beside;
    };
    for (const Out& o :
         {Out{"my scene.gltf", "my scene.bin"}, Out{"my scene.obj", "my scene.mtl"}}) {
        SCOPED_TRACE(o.file);
        const tool_test::Run r =
            tool_test::run(tool + " '" + scene + "' -o '" + temp.file(o.file) + "' 2>&1");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(std::ifstream(temp.file(o.beside)).good());
    }
    std::string report;
    EXPECT_TRUE(validate({temp.file("my scene.gltf")}, report)) << report;
    std::ifstream obj(temp.file("my scene.obj"));
    std::size_t faces = 0;
    for (std::string line; std::getline(obj, line);)
        faces += line.rfind("f ", 0) == 0;
    EXPECT_EQ(faces, 12u);

    const std::string broken = temp.write("broken.scene", kHeader + "object \"x\" {\n");
    const tool_test::Run r =
        tool_test::run(tool + " '" + broken + "' -o '" + temp.file("b.glb") + "' 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("end of file inside a block"), std::string::npos) << r.out;
}

} // namespace

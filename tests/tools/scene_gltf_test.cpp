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

#include <algorithm>
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

// A model read back with assimp (the converter writes with tinygltf: reading with another library
// keeps one library's fault from cancelling out): triangles as drawn, the box of placed positions,
// base colours by material.
struct ReadBack {
    bool ok = false;
    std::size_t triangles = 0, cameras = 0, lights = 0, animations = 0;
    std::array<double, 3> min{1e30, 1e30, 1e30}, max{-1e30, -1e30, -1e30};
    std::vector<aiColor4D> colours;
};

ReadBack read_back(const std::string& path) {
    ReadBack rb;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
    if (!scene) return rb;
    rb.cameras = scene->mNumCameras;
    rb.lights = scene->mNumLights;
    rb.animations = scene->mNumAnimations;
    for (unsigned k = 0; k < scene->mNumMaterials; ++k) {
        aiColor4D d;
        if (scene->mMaterials[k]->Get(AI_MATKEY_COLOR_DIFFUSE, d) == AI_SUCCESS)
            rb.colours.push_back(d);
    }
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending{
        {scene->mRootNode, scene->mRootNode->mTransformation}};
    while (!pending.empty()) {
        const auto [node, m] = pending.back();
        pending.pop_back();
        for (unsigned c = 0; c < node->mNumChildren; ++c)
            pending.push_back({node->mChildren[c], m * node->mChildren[c]->mTransformation});
        for (unsigned k = 0; k < node->mNumMeshes; ++k) {
            const aiMesh* mesh = scene->mMeshes[node->mMeshes[k]];
            for (unsigned f = 0; f < mesh->mNumFaces; ++f)
                rb.triangles += mesh->mFaces[f].mNumIndices == 3;
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                const aiVector3D p = m * mesh->mVertices[v];
                for (int c = 0; c < 3; ++c) {
                    rb.min[c] = std::min(rb.min[c], static_cast<double>(p[c]));
                    rb.max[c] = std::max(rb.max[c], static_cast<double>(p[c]));
                }
            }
        }
    }
    rb.ok = true;
    return rb;
}

void write_glb(const std::string& path, const std::vector<unsigned char>& glb) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(glb.data()), glb.size());
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
        files.push_back(temp.file(std::to_string(files.size()) + ".glb"));
        write_glb(files.back(), glb);
        const ReadBack rb = read_back(files.back());
        ASSERT_TRUE(rb.ok);
        EXPECT_EQ(rb.triangles, c.triangles);
        EXPECT_EQ(rb.cameras, c.cameras);
        EXPECT_EQ(rb.lights, c.lights);
        EXPECT_EQ(rb.animations, c.animations);
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
    TempFolder temp;
    write_glb(temp.file("placed.glb"), glb);
    const ReadBack rb = read_back(temp.file("placed.glb"));
    ASSERT_TRUE(rb.ok);
    const std::array<double, 3> min{3, 0, 5}, max{5, 2, 7};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(rb.min[k], min[k], 1e-5) << k;
        EXPECT_NEAR(rb.max[k], max[k], 1e-5) << k;
    }
    // assimp adds a default material of its own beside the file's.
    EXPECT_NE(std::find(rb.colours.begin(), rb.colours.end(), aiColor4D(1, 0, 0, 1)),
              rb.colours.end());
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

    const ReadBack original = read_back(model), rb = read_back(glb);
    ASSERT_TRUE(original.ok);
    ASSERT_TRUE(rb.ok);
    EXPECT_EQ(rb.triangles, original.triangles);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(rb.min[c], original.min[c], 1e-4) << c;
        EXPECT_NEAR(rb.max[c], original.max[c], 1e-4) << c;
    }
    for (const aiColor4D& d : original.colours) {
        bool found = false;
        for (const aiColor4D& c : rb.colours)
            found |= std::fabs(c.r - d.r) < 1e-5 && std::fabs(c.g - d.g) < 1e-5 &&
                     std::fabs(c.b - d.b) < 1e-5;
        EXPECT_TRUE(found) << "colour " << d.r << " " << d.g << " " << d.b;
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

// Scenes handed to the library through its exported interface, written to Scene files and read
// back: values as the file keeps them, names byte for byte, and the structure.

#include "scene_test_files.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

#include <random>

using namespace vtl::reader;
using namespace reader_test;

namespace {

// Opens a Scene file in `folder`, runs the exports, closes it and reads it back.
template <typename Calls> Document export_and_read(const TempFolder& folder, Calls calls) {
    const std::string path = folder.file("scene.scene");
    EXPECT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
    calls();
    closeFile();
    return read_ok(path);
}

} // namespace

TEST(RoundTripTest, MeshValuesNamesAndInstancesComeBackAsWritten) {
    TempFolder folder;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-1e4f, 1e4f);
    std::vector<float> vertices, normals, uvs;
    std::vector<int> triangles;
    for (int i = 0; i < 300; ++i) {
        vertices.push_back(i % 7 == 0 ? 1e-7f * float(i) : spread(random));
        normals.push_back(spread(random) / 1e4f);
        uvs.push_back(spread(random) / 3e3f);
    }
    for (int i = 0; i < 100 * 3; ++i)
        triangles.push_back(int(random() % 100));
    const std::string odd_name = "cube \"A\" \xc3\xa9t\xc3\xa9\n";
    int id = 0;
    Document doc = export_and_read(folder, [&] {
        setDiffuse(3, "paint", 0.25f, 2.0f, -1.0f);
        beginGroup("outer");
        beginGroup("inner");
        beginTriangleObject(odd_name.c_str());
        for (std::size_t i = 0; i < vertices.size(); i += 3) {
            addVertex(vertices[i], vertices[i + 1], vertices[i + 2]);
            addNormal(normals[i], normals[i + 1], normals[i + 2]);
            addUV(uvs[i], uvs[i + 1]);
        }
        for (std::size_t i = 0; i < triangles.size(); i += 3)
            addTriangle(triangles[i], triangles[i + 1], triangles[i + 2]);
        setMaterial(3);
        endTriangleObject(&id, true);
        endGroup();
        beginInstanceObject("copy");
        setInstanceId(id);
        endInstanceObject();
        endGroup();
    });

    const Node* outer = find_all(doc, "group").at(0);
    EXPECT_EQ(outer->name(), "outer");
    const Node* inner = outer->child("group", "inner");
    ASSERT_NE(inner, nullptr);
    const Node* def = inner->child("object", odd_name);
    ASSERT_NE(def, nullptr);
    EXPECT_TRUE(def->definition);
    EXPECT_EQ(def->value_of("id")->number, id);
    const Node* geometry = def->child("geometry", "triangles");
    ASSERT_NE(geometry, nullptr);

    auto expect_as_g = [](const Array& a, const std::vector<float>& sent, std::size_t width) {
        ASSERT_EQ(a.numbers.size(), sent.size());
        EXPECT_EQ(a.width, width);
        for (std::size_t i = 0; i < sent.size(); ++i)
            ASSERT_EQ(a.numbers[i], as_g(sent[i])) << i;
    };
    expect_as_g(geometry->value_of("vertices")->array, vertices, 3);
    expect_as_g(geometry->value_of("normals")->array, normals, 3);
    std::vector<float> sent_uvs;
    for (std::size_t i = 0; i < uvs.size(); i += 3)
        sent_uvs.insert(sent_uvs.end(), {uvs[i], uvs[i + 1]});
    expect_as_g(geometry->value_of("uv_tex")->array, sent_uvs, 1);
    const Array& read_triangles = geometry->value_of("triangles")->array;
    EXPECT_EQ(read_triangles.numbers, std::vector<double>(triangles.begin(), triangles.end()));

    const Node* placed = inner->children.at(1).keyword == "object" ? &inner->children[1] : nullptr;
    ASSERT_NE(placed, nullptr);
    EXPECT_FALSE(placed->definition);
    EXPECT_EQ(placed->child("geometry", "instance")->value_of("id")->number, id);
    EXPECT_EQ(placed->value_of("material")->text, "paint");
    const Node* copy = outer->child("object", "copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->child("geometry")->value_of("id")->number, id);

    const Node* paint = find_all(doc, "material").at(0);
    EXPECT_TRUE(paint->definition);
    const Value* surface = paint->value_of("surface");
    ASSERT_EQ(surface->kind, ValueKind::Shader);
    EXPECT_EQ(surface->text, "vtl_diffuse");
    std::vector<double> diffuse;
    for (const Value& v : surface->body.at(0).values)
        diffuse.push_back(v.number);
    EXPECT_EQ(diffuse, (std::vector<double>{0.25, 1, 0})); // clamped
}

TEST(RoundTripTest, SurfaceDoublesKeepSixteenPlaces) {
    TempFolder folder;
    const double knots[] = {0, 0, 1.0 / 3.0, 1, 1};
    const double points[] = {-1.0 / 7.0, 2e-12, 123456.7890123456, 1, 0.1, 0.2, 0.3, 0.9};
    int id = 0;
    Document doc = export_and_read(folder, [&] {
        beginNURBSObject("patch");
        setKnotDomain(0.1, 0.9, -2.5, 1.0 / 3.0);
        setOrderUV(2, 2);
        for (double k : knots) {
            addUKnot(k);
            addVKnot(k * 2);
        }
        addControlPoint(points[0], points[1], points[2], points[3]);
        addControlPoint(points[4], points[5], points[6], points[7]);
        beginTrim();
        addTrimCurve(1, 1);
        setTrimDomain(0, 1);
        setTrimOrder(2);
        addTrimNumKnots(4);
        for (double k : {0.0, 0.0, 1.0, 1.0})
            addTrimKnot(k);
        addTrimControlPoint(0.25, 1.0 / 3.0, 1);
        addTrimControlPoint(0.75, 0.25, 1);
        endTrim();
        endNURBSObject(&id, false);
    });
    const Node* def = find_all(doc, "object").at(0);
    EXPECT_EQ(find_all(doc, "object").size(), 1u); // a definition only
    const Node* nurbs = def->child("geometry", "nurbs");
    ASSERT_NE(nurbs, nullptr);
    EXPECT_EQ(nurbs->value_of("umin")->number, as_fixed16(0.1));
    EXPECT_EQ(nurbs->value_of("vmax")->number, as_fixed16(1.0 / 3.0));
    const Array& uknot = nurbs->value_of("uknot")->array;
    ASSERT_EQ(uknot.numbers.size(), 5u);
    EXPECT_EQ(uknot.numbers[2], as_fixed16(1.0 / 3.0));
    const Array& pw = nurbs->value_of("Pw")->array;
    ASSERT_EQ(pw.numbers.size(), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(pw.numbers[i], as_fixed16(points[i])) << i;
    EXPECT_EQ(nurbs->value_of("trim_nedges")->array.numbers, std::vector<double>{1});
    EXPECT_EQ(nurbs->value_of("edge_uvw")->array.numbers.at(1), as_fixed16(1.0 / 3.0));
}

TEST(RoundTripTest, MaterialsCameraLightsAnimationAndStatements) {
    TempFolder folder;
    const double turn[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 2.5, 0.1, -3, 1};
    const double still[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float fov[4] = {-0.5f, 0.5f, -0.3f, 0.3f};
    const float warm[3] = {1, 0.9f, 0.8f};
    Document doc = export_and_read(folder, [&] {
        setProgress("start", 0.25f);
        setFlags(3);
        setPlastic(1, "plastic", 0.8f, 0.1f, 0.1f);
        setMetal(2, "metal", 0.7f, 0.7f, 0.75f);
        setGlass(3, "glass", 0.9f, 0.9f, 0.9f);
        setEmissive(4, "glow");
        setGeneric(5, "oak", "oak.png", true, "oak_bump.png", 0.6f, 0.4f, 0.2f);
        setCamera(0, 2, 8, 0, -0.25f, -1, 0, 1, 0, false, fov);
        addPointLight("bulb", 800, warm);
        addIesLight("spot", "beam.ies");
        addLineLight("strip", 1200, 1.2f, 0.1f);
        transform(turn);
        beginAnimation("spin", 0.5f, 2, true);
        addFrame(0, still);
        addFrame(30, turn);
        setFolder("anims");
        endAnimation();
    });
    EXPECT_EQ(doc.header().at(0), "---vantel:dal:7---");
    EXPECT_EQ(doc.version(), 10);
    const Node* options = find_all(doc, "load").at(0);
    EXPECT_EQ(options->value_of("import_up_vector")->number, 2);
    EXPECT_EQ(options->value_of("meter_scale")->number, 0.5);
    EXPECT_EQ(find_all(doc, "progress").at(0)->values.at(1).number, 0.25);
    EXPECT_EQ(find_all(doc, "flags").at(0)->values.at(0).number, 3);

    std::vector<std::string> kinds;
    for (const Node* m : find_all(doc, "material")) {
        const Value* surface = m->value_of("surface");
        if (surface && surface->kind == ValueKind::Shader) kinds.push_back(surface->text);
        if (surface && surface->kind == ValueKind::Number) {
            for (const Node& shader : m->children)
                if (shader.keyword == "shader" && shader.values.at(0).number == surface->number)
                    kinds.push_back(shader.values.at(1).text);
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{
                         "vtl_plastic_simple", "vtl_metal", "vtl_window_glass", "vtl_emissive",
                         "vtl_bumpmap", "vtl_point_light", "vtl_ies_light", "vtl_mesh_light"}));
    const Node* oak = find_all(doc, "material").at(4);
    const Node* diffuse = oak->children.at(1).keyword == "shader" ? &oak->children[1] : nullptr;
    ASSERT_NE(diffuse, nullptr);
    EXPECT_TRUE(diffuse->value_of("diffuse")->bound);
    EXPECT_TRUE(oak->children.at(0).value_of("texture")->is("oak.png"));

    const Node* camera = find_all(doc, "camera").at(0);
    EXPECT_EQ(camera->name(), "camera");
    EXPECT_TRUE(camera->value_of("projection")->is("perspective"));
    const std::vector<Value>& fov4 = *camera->values_of("fov4");
    ASSERT_EQ(fov4.size(), 4u);
    EXPECT_EQ(fov4[2].number, as_g(-0.3f));
    EXPECT_EQ(camera->values_of("direction")->at(1).number, -0.25);
    EXPECT_EQ(camera->value_of("reflection map")->kind, ValueKind::Shader);

    const Node* spot = find_all(doc, "object").at(1);
    EXPECT_EQ(spot->name(), "spot");
    EXPECT_EQ(spot->values_of("transform")->size(), 16u);
    const Node* top_transform = nullptr;
    for (const Node& n : doc.nodes)
        if (n.keyword == "transform") top_transform = &n;
    ASSERT_NE(top_transform, nullptr);
    EXPECT_EQ(top_transform->values.at(13).number, as_g(float(0.1)));

    const Node* animation = find_all(doc, "animation").at(0);
    EXPECT_TRUE(animation->values.at(0).is("fbx_animation"));
    EXPECT_TRUE(animation->values.at(1).is("spin"));
    EXPECT_EQ(animation->value_of("start_time")->number, 0.5);
    EXPECT_EQ(animation->value_of("timestamps")->array.numbers, (std::vector<double>{0, 30}));
    const Array& matrices = animation->value_of("matrices")->array;
    EXPECT_EQ(matrices.elements, 2u);
    EXPECT_EQ(matrices.width, 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(matrices.numbers[16 + i], as_g(turn[i])) << i;
    EXPECT_TRUE(animation->value_of("interpolate")->is("on"));
    EXPECT_TRUE(animation->value_of("folder")->is("anims"));
}

TEST(RoundTripTest, EveryNestingOfGroupsTheLibraryWritesIsRead) {
    for (const int depth : {198, 250, 5000}) {
        SCOPED_TRACE(depth);
        TempFolder folder;
        const Document doc = export_and_read(folder, [depth] {
            for (int i = 0; i < depth; ++i)
                beginGroup(("g" + std::to_string(i)).c_str());
            beginTriangleObject("leaf");
            addVertex(0, 0, 0);
            addVertex(1, 0, 0);
            addVertex(0, 1, 0);
            addTriangle(0, 1, 2);
            int id = 0;
            endTriangleObject(&id, true);
            for (int i = 0; i < depth; ++i)
                endGroup();
        });
        int groups = 0;
        const Node* innermost = nullptr;
        walk(doc.nodes, [&](const Node& n, int) {
            if (n.kind != NodeKind::Block || n.keyword != "group") return;
            EXPECT_EQ(n.name(), "g" + std::to_string(groups));
            ++groups;
            innermost = &n;
        });
        EXPECT_EQ(groups, depth);
        ASSERT_NE(innermost, nullptr);
        const Node* leaf = innermost->child("object", "leaf");
        ASSERT_NE(leaf, nullptr);
        EXPECT_NE(leaf->child("geometry"), nullptr);
    }
}

TEST(RoundTripTest, AnIesLightWhosePathIsCutWithItsShaderIsRead) {
    // The path's captured shader text, or the path alone, passes the longest formatted piece.
    for (const std::size_t length : {1048500, 1048550, 1048572, 1048573, 1048600, 1100000}) {
        SCOPED_TRACE(length);
        TempFolder folder;
        std::string path(length, 'p');
        path.replace(0, 5, "/ies/");
        const Document doc = export_and_read(folder, [&path] {
            const float white[3] = {1, 1, 1};
            addIesLight("spot", path.c_str());
            addPointLight("after", 10, white);
        });
        // The light and everything after it are read; the path comes back whole or cut.
        std::vector<const Node*> lights = find_all(doc, "object");
        ASSERT_GE(lights.size(), 2u);
        EXPECT_EQ(lights.front()->name(), "spot");
        EXPECT_EQ(lights.back()->name(), "after");
        std::string read_path;
        walk(doc.nodes, [&](const Node& n, int) {
            for (const Value& v : n.values)
                if (v.kind == ValueKind::String && v.text.size() > 1000) read_path = v.text;
        });
        ASSERT_GT(read_path.size(), 1000u);
        EXPECT_EQ(read_path, path.substr(0, read_path.size()));
    }
}

TEST(RoundTripTest, TexturePathsCutWithTheirMaterialsShaderAreRead) {
    struct Case {
        const char* what;
        bool diffuse; // the long path is the diffuse texture, else the bump texture
        std::size_t length;
    };
    const Case cases[] = {{"diffuse, cut inside", true, 1048560},
                          {"diffuse, cut after it", true, 1048200},
                          {"bump, cut inside", false, 1048560},
                          {"bump, much longer", false, 1500000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        std::string path(c.length, 't');
        const Document doc = export_and_read(folder, [&] {
            const float white[3] = {1, 1, 1};
            setGeneric(4, "textured", c.diffuse ? path.c_str() : "d.png", true,
                       c.diffuse ? "b.png" : path.c_str(), 0.5f, 0.5f, 0.5f);
            setDiffuse(5, "plain", 1, 1, 1);
            addPointLight("after", 10, white);
        });
        std::vector<std::string> materials;
        for (const Node* m : find_all(doc, "material"))
            if (m->kind == NodeKind::Block) materials.push_back(m->name());
        ASSERT_GE(materials.size(), 2u);
        EXPECT_EQ(materials[0], "textured");
        EXPECT_EQ(materials[1], "plain");
        EXPECT_EQ(find_all(doc, "object").back()->name(), "after");
        std::string read_path;
        walk(doc.nodes, [&](const Node& n, int) {
            for (const Value& v : n.values)
                if (v.kind == ValueKind::String && v.text.size() > 1000) read_path = v.text;
        });
        EXPECT_EQ(read_path, path.substr(0, read_path.size()));
    }
}

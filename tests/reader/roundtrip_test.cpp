// Scene files written by the writer and by the library through its exported interface, read
// back: values as the file keeps them, names byte for byte, deep nesting, and texts cut with
// their formatted piece. (The reader's own tests read every form the writer's tests pin down.)

#include "scene_test_files.h"
#include "sceneapi_cs_wrapper.h"
#include "support/scene_memory.h"

#include <gtest/gtest.h>

#include <random>

using namespace vtl::reader;
using namespace reader_test;

namespace {

constexpr std::size_t kPiece = 1048574; // the longest formatted piece the writer writes

Document read_text(const std::string& text) {
    ReadResult r = read_scene(text);
    EXPECT_TRUE(r.ok) << r.error.describe();
    return std::move(r.document);
}

// Opens a Scene file, runs the exports, closes it and reads it back.
template <typename Calls> Document export_and_read(Calls calls) {
    TempFolder folder;
    const std::string path = folder.file("scene.scene");
    EXPECT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
    calls();
    closeFile();
    return read_ok(path);
}

// The longest string value read: a cut text comes back as the start of what was sent.
std::string long_text(const std::vector<Node>& nodes) {
    std::string longest;
    walk(nodes, [&](const Node& n, int) {
        for (const Value& v : n.values)
            if (v.kind == ValueKind::String && v.text.size() > longest.size()) longest = v.text;
    });
    return longest;
}

} // namespace

TEST(RoundTrip, ASceneExportedThroughTheLibraryReadsBackAsWritten) {
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
    const double points[] = {-1.0 / 7.0, 2e-12, 123456.7890123456, 1, 0.1, 0.2, 0.3, 0.9};
    int id = 0;
    const Document doc = export_and_read([&] {
        setDiffuse(3, "paint", 0.25f, 0.5f, 1.0f);
        beginGroup("outer");
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
        beginInstanceObject("copy");
        setInstanceId(id);
        endInstanceObject();
        endGroup();
        beginNURBSObject("patch");
        setKnotDomain(0.1, 0.9, -2.5, 1.0 / 3.0);
        setOrderUV(2, 2);
        for (double k : {0.0, 0.0, 1.0 / 3.0, 1.0, 1.0}) {
            addUKnot(k);
            addVKnot(k * 2);
        }
        addControlPoint(points[0], points[1], points[2], points[3]);
        addControlPoint(points[4], points[5], points[6], points[7]);
        int surface_id = 0;
        endNURBSObject(&surface_id, false);
    });
    EXPECT_EQ(doc.header().at(0), "---vantel:dal:7---");
    EXPECT_EQ(doc.version(), 10);
    const Node* options = find_all(doc, "load").at(0);
    EXPECT_EQ(options->value_of("import_up_vector")->number, 2);
    EXPECT_EQ(options->value_of("meter_scale")->number, 0.5);

    const Node* outer = find_all(doc, "group").at(0);
    EXPECT_EQ(outer->name(), "outer");
    const Node* def = outer->child("object", odd_name);
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
    EXPECT_EQ(geometry->value_of("triangles")->array.numbers,
              std::vector<double>(triangles.begin(), triangles.end()));
    const Node& placed = outer->children.at(1);
    EXPECT_FALSE(placed.definition);
    EXPECT_EQ(placed.child("geometry", "instance")->value_of("id")->number, id);
    EXPECT_EQ(placed.value_of("material")->text, "paint");
    EXPECT_EQ(outer->child("object", "copy")->child("geometry")->value_of("id")->number, id);

    const Node* nurbs = find_all(doc, "object").back()->child("geometry", "nurbs");
    ASSERT_NE(nurbs, nullptr);
    EXPECT_EQ(nurbs->value_of("umin")->number, as_fixed16(0.1));
    EXPECT_EQ(nurbs->value_of("vmax")->number, as_fixed16(1.0 / 3.0));
    EXPECT_EQ(nurbs->value_of("uknot")->array.numbers.at(2), as_fixed16(1.0 / 3.0));
    const Array& pw = nurbs->value_of("Pw")->array;
    ASSERT_EQ(pw.numbers.size(), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(pw.numbers[i], as_fixed16(points[i])) << i;
}

TEST(RoundTrip, DeepNestingOfGroupsTheLibraryWritesIsRead) {
    const Document doc = export_and_read([] {
        for (int i = 0; i < 5000; ++i)
            beginGroup(("g" + std::to_string(i)).c_str());
        beginTriangleObject("leaf");
        addVertex(0, 0, 0);
        addVertex(1, 0, 0);
        addVertex(0, 1, 0);
        addTriangle(0, 1, 2);
        int id = 0;
        endTriangleObject(&id, true);
        for (int i = 0; i < 5000; ++i)
            endGroup();
    });
    const std::vector<const Node*> groups = find_all(doc, "group");
    ASSERT_EQ(groups.size(), 5000u);
    for (std::size_t i = 0; i < groups.size(); ++i)
        ASSERT_EQ(groups[i]->name(), "g" + std::to_string(i));
    ASSERT_NE(groups.back()->child("object", "leaf"), nullptr);
    EXPECT_NE(groups.back()->child("object", "leaf")->child("geometry"), nullptr);
}

TEST(RoundTrip, ANameCutWithItsPieceEndsWhereTheCutIs) {
    // A quoted name longer than one formatted piece loses its tail and its closing quote.
    const std::string huge(1100000, 'n');
    const Document doc = read_text(write_scene([&](vtlScene_api_file& w) {
        w.begin_object(huge.c_str(), true);
        w.end_object();
        w.use_material(std::string(kPiece - 2, 'm').c_str()); // fits whole, quotes and all
    }));
    ASSERT_EQ(doc.nodes.size(), 2u);
    EXPECT_EQ(doc.nodes[0].name(), huge.substr(0, kPiece - 1));
    EXPECT_EQ(doc.nodes[1].values.at(0).text, std::string(kPiece - 2, 'm'));
}

TEST(RoundTrip, AnInlineShaderCutWithItsPieceEndsWhereTheCutIs) {
    // The captured text of an inline shader is one formatted piece when it is attached: past
    // 1,048,574 characters (the indentation inserted after its line feeds not counted) the
    // writer cuts it, wherever that falls: in a text of the shader or of a shader inside it,
    // at a closing quote, a comma, a number, a line feed or a closing brace.
    enum Attach { Surface, BlockParameter, ShaderParameter };
    struct Case {
        const char* what;
        bool long_inside; // the long text is in the inner shader, else in the outer one
        Attach attach;
    };
    const Case cases[] = {{"a text of the shader, as a surface", false, Surface},
                          {"a text of an inner shader, as a surface", true, Surface},
                          {"a text of the shader, as an object's parameter", false, BlockParameter},
                          {"a text of an inner shader, after \"!\"", true, ShaderParameter}};
    const float color[3] = {0.5f, 0.25f, 1.0f};
    const int seven = 7;
    for (const Case& c : cases) {
        for (const unsigned flags : {1u, 0x400000u}) {
            for (std::size_t shorter = 0; shorter < 120; shorter += 3) {
                SCOPED_TRACE(testing::Message() << c.what << ", flags " << flags << ", " << shorter
                                                << " characters short");
                const std::string long_string(kPiece - 40 - shorter, 'p');
                const char* long_ptr = long_string.c_str();
                const char* short_ptr = "s";
                const std::string text = write_scene(
                    [&](vtlScene_api_file& w) {
                        const auto make = [&] {
                            w.begin_shader(nullptr, "outer");
                            w.set_parameter("a", vtl_type::string_ptr,
                                            c.long_inside ? &short_ptr : &long_ptr);
                            w.set_parameter("c", vtl_type::color, color);
                            w.push_shader();
                            w.begin_shader(nullptr, "inner");
                            w.set_parameter("file", vtl_type::string_ptr,
                                            c.long_inside ? &long_ptr : &short_ptr);
                            w.set_parameter("k", vtl_type::integer, &seven);
                            w.end_shader();
                            vtlShader inner = w.get_shader();
                            w.pop_shader();
                            w.set_parameter_shader("sub", inner);
                            w.set_parameter("z", vtl_type::integer, &seven);
                            w.end_shader();
                            return w.get_shader();
                        };
                        if (c.attach == Surface) {
                            w.begin_material("m", false);
                            w.set_shader(0, make());
                            w.end_material();
                        } else if (c.attach == BlockParameter) {
                            w.begin_object("m", true);
                            vtlShader outer = make();
                            w.set_parameter("held", vtl_type::shader, &outer);
                            w.end_object();
                        } else {
                            w.begin_shader("m", "named");
                            vtlShader outer = make();
                            w.set_parameter_shader("held", outer);
                            w.end_shader();
                        }
                        w.use_material("after");
                        w.begin_object("tail", true);
                        w.end_object();
                    },
                    false, flags);
                const Document doc = read_text(text);
                ASSERT_EQ(doc.nodes.size(), 3u);
                EXPECT_EQ(doc.nodes[0].name(), "m");
                EXPECT_EQ(doc.nodes[1].keyword, "material");
                EXPECT_EQ(doc.nodes[1].name(), "after");
                EXPECT_EQ(doc.nodes[2].name(), "tail");
                const std::string read = long_text(doc.nodes);
                EXPECT_GT(read.size(), kPiece - 200);
                EXPECT_EQ(read, long_string.substr(0, read.size()));
            }
        }
    }
}

TEST(RoundTrip, AnInlineShaderHoldingAHexTextIsNeverCut) {
    // The writer writes a piece holding a text written by byte count whole: a line that ends
    // where the cut would fall is no cut.
    const std::string text = "\"p\" ! \"t\" {\n \"a\" xX41,\n \"b\" \"" +
                             std::string(kPiece - 24, 'p') + "\",\n \"c\" 1,\n},\n";
    const Document doc = read_text(text);
    ASSERT_EQ(doc.nodes.size(), 1u);
    EXPECT_EQ(doc.nodes[0].values.at(0).body.size(), 3u);
}

// Scene files written by the writer and by the library through its exported interface, read
// back: deep nesting, and texts cut with their formatted piece. (The reader's own tests read
// every form the writer's tests pin down.)

#include "scene_test_files.h"
#include "sceneapi_cs_wrapper.h"
#include "support/scene_memory.h"

#include <gtest/gtest.h>

using namespace vtl::reader;
using namespace reader_test;

namespace {

constexpr std::size_t kPiece = 1048574; // the longest formatted piece the writer writes

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

TEST(RoundTrip, DeepNestingOfGroupsTheLibraryWritesIsRead) {
    TempFolder folder;
    const std::string path = folder.file("scene.scene");
    ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
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
    closeFile();
    const Document doc = read_ok(path);
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
    const Document doc = read_text_ok(write_scene([&](vtlScene_api_file& w) {
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
                const Document doc = read_text_ok(text);
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
    const Document doc = read_text_ok(text);
    ASSERT_EQ(doc.nodes.size(), 1u);
    EXPECT_EQ(doc.nodes[0].values.at(0).body.size(), 3u);
}

// Everything the Scene file writer can print, in text and in binary-array mode, read back.

#include "reader/scene_reader.h"
#include "support/scene_memory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vtl::reader;

namespace {

// Every block, statement, shader form and parameter type code in one call stream.
void write_everything(vtlScene_api_file& w) {
    const vtlColor color{0.5f, 0.25f, 1};
    const float f4[4] = {1, 2, 3, 4};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const double half = 0.5;
    const vtlVector vec{1, -2, 3.5};
    const int i4[4] = {1, -2, 3, 4};
    const int yes = 1;
    vtlMatrix m{};
    for (int k = 0; k < 16; ++k)
        m.m[k / 4][k % 4] = k + 0.5;
    const char* name = "n\"ame";
    const float floats[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9.5f};
    const vtlColor colors[2] = {{1, 0, 0}, {0, 1, 0}};
    const double doubles[2] = {0.25, -1e10};
    const vtlVector vectors[2] = {{1, 2, 3}, {4, 5, 6}};
    const int ints[3] = {7, -8, 9};
    const char* strings[2] = {"a", "b\n"};
    const vtlMatrix matrices[2] = {m, m};
    const vtlArray a_floats{floats, 10}, a_colors{colors, 2}, a_doubles{doubles, 2},
        a_vectors{vectors, 2}, a_ints{ints, 3}, a_strings{strings, 2}, a_matrices{matrices, 2},
        a_empty{floats, 0};

    w.write_raw("//---vantel:dal:7---\n// This is a Photara scene file\n\n");
    w.print("banner");
    w.set_version(-1);
    w.begin_options();
    w.set_parameter("bool", vtl_type::boolean, &yes);
    w.end_options();
    w.begin_camera(nullptr);
    w.set_parameter("fov", vtl_type::float4, f4);
    w.end_camera();
    w.modify_camera("cam");
    w.end_camera();
    w.begin_image();
    w.begin_output("a", "b", "c");
    w.set_parameter("gamma", vtl_type::float1, &f4[1]);
    w.end_output();
    w.end_image();
    w.begin_light("sun");
    w.end_light();
    w.begin_accel("bvh");
    w.end_accel();
    w.begin_matrix("m");
    w.scale(1, 2, 3);
    w.rotate(0, 90, 0);
    w.translate(1, 0, 0);
    w.end_matrix();
    w.begin_material("mat", false);
    w.define_shader("texture2_rgb", 1);
    w.set_parameter("bump", vtl_type::shader_id, &yes);
    w.end_shader();
    w.begin_shader(nullptr, "outer");
    w.push_shader();
    w.begin_shader(nullptr, "inner");
    w.set_parameter("c", vtl_type::color, &color);
    w.end_shader();
    vtlShader inner = w.get_shader();
    w.pop_shader();
    w.set_parameter_shader("sub", inner);
    w.set_parameter("held", vtl_type::shader, &inner);
    w.end_shader();
    vtlShader outer = w.get_shader();
    w.set_shader(0, outer);
    w.set_shader(9, outer);
    w.set_shader_id(1, 1);
    w.begin_shader("named", "vtl_diffuse");
    w.set_parameter_id("diffuse", 1);
    w.end_shader();
    w.end_material();
    w.begin_group(name, true);
    w.begin_object("o", false);
    w.set_id(4);
    w.set_flags(2);
    w.begin_geometry("triangles");
    w.set_parameter("nan", vtl_type::float1, &nan);
    w.set_parameter("half", vtl_type::double1, &half);
    w.set_parameter("vec", vtl_type::vector, &vec);
    w.set_parameter("i4", vtl_type::int4, i4);
    w.set_parameter("m", vtl_type::matrix, &m);
    w.set_parameter("s", vtl_type::string, name);
    w.set_parameter("sp", vtl_type::string_ptr, &name);
    w.set_parameter("sub12", vtl_type::sub_shader, nullptr);
    w.set_parameter("floats", vtl_type::array_of(vtl_type::float1), &a_floats);
    w.set_parameter("colors", vtl_type::array_of(vtl_type::color), &a_colors);
    w.set_parameter("doubles", vtl_type::array_of(vtl_type::double1), &a_doubles);
    w.set_parameter("vectors", vtl_type::array_of(vtl_type::vector), &a_vectors);
    w.set_parameter("ints", vtl_type::array_of(vtl_type::integer), &a_ints);
    w.set_parameter("bools", vtl_type::array_of(vtl_type::boolean), &a_ints);
    w.set_parameter("strings", vtl_type::array_of(vtl_type::string_ptr), &a_strings);
    w.set_parameter("matrices", vtl_type::array_of(vtl_type::matrix), &a_matrices);
    w.set_parameter("empty", vtl_type::array_of(vtl_type::float1), &a_empty);
    w.begin_array("ecolors");
    for (int k = 0; k < 3; ++k)
        w.add_array_element(vtl_type::color, &colors[k % 2]);
    w.end_array();
    w.begin_array("eints");
    for (int k = 0; k < 7; ++k)
        w.add_array_element(vtl_type::integer, &ints[k % 3]);
    w.end_array();
    w.begin_array("ebools");
    w.add_array_element(vtl_type::boolean, &yes);
    w.add_array_element(vtl_type::string_ptr, &name);
    w.end_array();
    w.begin_array("enone");
    w.end_array();
    w.end_geometry();
    w.end_object();
    w.begin_object("o", true);
    w.transform(m);
    w.set_transform(m);
    w.set_attribute("k", "v");
    w.use_material("mat");
    w.end_object();
    w.begin_animation("fbx_animation", "o");
    w.set_parameter("matrices", vtl_type::array_of(vtl_type::matrix), &a_matrices);
    w.end_animation();
    w.end_group();
    w.set_icon("\x00\xff", 2);
    w.set_data("data", "ab", 2);
    w.set_progress("p", 0.5f);
    w.error("bad \"thing\"");
    w.render();
}

} // namespace

TEST(WriterOutputTest, ReadsEverythingTheWriterWritesInTextAndBinaryMode) {
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary arrays" : "text arrays");
        const std::string text = write_scene(write_everything, binary);
        ReadResult r = read_scene(text);
        ASSERT_TRUE(r.ok) << r.error.describe() << "\n" << text;
        const Document& doc = r.document;
        EXPECT_EQ(doc.version(), 8);
        const Node* material = nullptr;
        const Node* group = nullptr;
        for (const Node& n : doc.nodes) {
            if (n.keyword == "material") material = &n;
            if (n.keyword == "group") group = &n;
        }
        ASSERT_TRUE(material && group);
        EXPECT_EQ(material->child("shader")->value_of("bump")->number, 1);
        const Value* outer = material->value_of("surface");
        ASSERT_EQ(outer->kind, ValueKind::Shader);
        EXPECT_EQ(outer->text, "outer");
        const Value& sub = outer->body.at(0).values.at(0);
        EXPECT_TRUE(sub.bound);
        EXPECT_EQ(sub.text, "inner");
        EXPECT_EQ(sub.body.at(0).values.size(), 3u);
        EXPECT_EQ(outer->body.at(1).values.at(0).text, "inner");
        EXPECT_EQ(material->child("//")->values.at(0).text, " assuming surface shader");
        EXPECT_EQ(material->value_of("shadow")->number, 1);
        EXPECT_TRUE(material->child("shader", "named")->value_of("diffuse")->bound);

        EXPECT_EQ(group->name(), "n\"ame");
        const Node* geometry = group->child("object")->child("geometry");
        auto numbers = [&](const char* key) { return geometry->value_of(key)->array.numbers; };
        EXPECT_EQ(geometry->value_of("nan")->number, -1);
        EXPECT_EQ(geometry->value_of("half")->number, 0.5);
        EXPECT_EQ(geometry->values_of("m")->size(), 16u);
        EXPECT_EQ(geometry->value_of("sp")->text, "n\"ame");
        EXPECT_TRUE(geometry->child("sub12")->values.empty());
        EXPECT_EQ(numbers("floats").back(), 9.5);
        EXPECT_EQ(geometry->value_of("floats")->array.binary, binary ? 'f' : 0);
        EXPECT_EQ(numbers("colors"), (std::vector<double>{1, 0, 0, 0, 1, 0}));
        EXPECT_EQ(numbers("doubles"), (std::vector<double>{0.25, -1e10}));
        EXPECT_EQ(numbers("vectors").size(), 6u);
        EXPECT_EQ(numbers("ints"), (std::vector<double>{7, -8, 9}));
        EXPECT_EQ(numbers("bools"), (std::vector<double>{1, 1, 1}));
        EXPECT_EQ(geometry->value_of("strings")->array.items.at(1).text, "b\n");
        EXPECT_EQ(geometry->value_of("matrices")->array.width, 16u);
        EXPECT_EQ(geometry->value_of("empty")->array.elements, 0u);
        EXPECT_EQ(numbers("ecolors"), (std::vector<double>{1, 0, 0, 0, 1, 0, 1, 0, 0}));
        EXPECT_EQ(geometry->value_of("ecolors")->array.binary, binary ? 'c' : 0);
        EXPECT_EQ(numbers("eints"), (std::vector<double>{7, -8, 9, 7, -8, 9, 7}));
        EXPECT_EQ(geometry->value_of("ebools")->array.items.size(), 2u);
        EXPECT_EQ(geometry->value_of("enone")->array.elements, 0u);
        EXPECT_EQ(doc.nodes.back().keyword, "render");
        EXPECT_EQ(doc.nodes[doc.nodes.size() - 2].values.at(0).text, "bad \"thing\"");
    }
}

TEST(WriterOutputTest, ANameCutWithItsPieceEndsWhereTheCutIs) {
    // A quoted name longer than one formatted piece loses its tail and its closing quote.
    const std::string huge(1100000, 'n');
    const std::string text = write_scene([&](vtlScene_api_file& w) {
        w.begin_object(huge.c_str(), true);
        w.end_object();
        w.use_material(std::string(1048572, 'm').c_str()); // fits whole, quotes and all
    });
    ReadResult r = read_scene(text);
    ASSERT_TRUE(r.ok) << r.error.describe();
    ASSERT_EQ(r.document.nodes.size(), 2u);
    EXPECT_EQ(r.document.nodes[0].name(), huge.substr(0, 1048573));
    EXPECT_EQ(r.document.nodes[1].values.at(0).text, std::string(1048572, 'm'));
}

TEST(WriterOutputTest, AnInlineShaderCutWithItsPieceEndsWhereTheCutIs) {
    // The captured text of an inline shader is one formatted piece when it is attached: past
    // 1,048,574 characters (the indentation inserted after its line feeds not counted) the
    // writer cuts it, wherever that falls: in a text of the shader or of a shader inside it,
    // at a closing quote, a comma, a number, a line feed or a closing brace.
    constexpr std::size_t kPiece = 1048574;
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
                const std::string long_text(kPiece - 40 - shorter, 'p');
                const char* long_ptr = long_text.c_str();
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
                const ReadResult r = read_scene(text);
                ASSERT_TRUE(r.ok) << r.error.describe();
                const std::vector<Node>& nodes = r.document.nodes;
                ASSERT_EQ(nodes.size(), 3u);
                EXPECT_EQ(nodes[0].name(), "m");
                EXPECT_EQ(nodes[1].keyword, "material");
                EXPECT_EQ(nodes[1].name(), "after");
                EXPECT_EQ(nodes[2].name(), "tail");
                std::string read_text;
                walk(nodes, [&](const Node& n, int) {
                    for (const Value& v : n.values)
                        if (v.kind == ValueKind::String && v.text.size() > 1000) read_text = v.text;
                });
                EXPECT_GT(read_text.size(), kPiece - 200);
                EXPECT_EQ(read_text, long_text.substr(0, read_text.size()));
            }
        }
    }
}

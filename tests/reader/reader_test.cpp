// The Scene file reader on hand-written texts: every block kind, statement, parameter form and
// value form, binary blocks, errors with their place, numbers and nesting.

#include "scene_test_files.h"
#include "support/scene_memory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using namespace vtl::reader;
using reader_test::read_text_ok;

namespace {

std::vector<double> all_numbers(const std::vector<Value>& values) {
    std::vector<double> out;
    for (const Value& v : values)
        if (v.kind == ValueKind::Number) out.push_back(v.number);
    return out;
}

const char* const kScene = R"(//---vantel:dal:7---
//---import:dal:1---
//---id:1---
// This is a Photara scene file

#print "Photara SceneApi oo 8.1.24 "quoted" text"
version 10

load "vtlrtopt.so" {
 "import_mode" on,
 "meter_scale" 0.5,
}

options {
 samples 16
}
#modify camera "cam" {
 fov4 -0.5 0.5 -0.375 0.375
 reflection map   "vtl_envmap" {
   "texture" "startup.hdr",
  }
}
camera {
}
image {
 output "a" "b" "c" {
  "gamma" 2.2,
 }
}

light "sun" {
 "power" 3,
}

accel "bvh" {
 "depth" 4,
}
#define matrix "m" {
 scale 1 2 3
 rotate 0 90 0
 translate -1 0 1e+38
}

#define material "oak" {
 #define shader 1 texture2_rgb {
  "texture" "oak.png",
 }
 #define shader "named" "vtl_diffuse" {
  "diffuse" ! 1,
  "inner" ! "vtl_noise" {
   "scale" 2,
  },
"bumpmap" 3,
  "sub" ,
 }
 surface 4
 shadow  "vtl_shadow" {
 } 
 flags 4096
}

group xX2241 {
 #define object "tri" {
  id 1
  geometry "triangles" {
   "vertices" [ 0 0 0,1 0 0,0 1 0 ] ,
   "triangles" [ 0,1,2 ] ,
  }
 }
 object "tri" {
  geometry "instance" {
   "id" 1,
  }
  set transform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1
  transform 2 0 0 0 0 2 0 0 0 0 2 0 0 0 0 1
  attribute "k" "v"
  material "oak"
 }
 animation "fbx_animation" "tri" {
  "timestamps" [ 0,30 ] ,
 }
}
// assuming surface shader
icon bX00ff
progress "half" 0.500

#error "first line
  second line"
render
)";

} // namespace

TEST(ReaderTest, ReadsEveryBlockKindStatementAndParameterForm) {
    Document doc = read_text_ok(kScene);
    EXPECT_EQ(doc.header(),
              (std::vector<std::string>{"---vantel:dal:7---", "---import:dal:1---", "---id:1---",
                                        " This is a Photara scene file"}));
    EXPECT_EQ(doc.version(), 10);

    std::vector<std::string> top;
    for (const Node& n : doc.nodes)
        if (n.kind != NodeKind::Comment) top.push_back(n.keyword);
    EXPECT_EQ(top,
              (std::vector<std::string>{"#print", "version", "load", "options", "camera", "camera",
                                        "image", "light", "accel", "matrix", "material", "group",
                                        "icon", "progress", "#error", "render"}));

    const Node& print = doc.nodes[4];
    EXPECT_EQ(print.kind, NodeKind::Print);
    EXPECT_EQ(print.values[0].text, "Photara SceneApi oo 8.1.24 \"quoted\" text");
    EXPECT_EQ(print.line, 6u);

    const Node& load = doc.nodes[6];
    EXPECT_EQ(load.name(), "vtlrtopt.so");
    EXPECT_EQ(load.child("import_mode")->kind, NodeKind::Parameter);
    EXPECT_TRUE(load.value_of("import_mode")->is("on"));
    EXPECT_EQ(load.value_of("meter_scale")->number, 0.5);

    const Node& cam = doc.nodes[8];
    EXPECT_TRUE(cam.modification);
    EXPECT_EQ(cam.line, 17u);
    EXPECT_EQ(all_numbers(*cam.values_of("fov4")), (std::vector<double>{-0.5, 0.5, -0.375, 0.375}));
    const Value* env = cam.value_of("reflection map");
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->kind, ValueKind::Shader);
    EXPECT_EQ(env->text, "vtl_envmap");
    EXPECT_TRUE(env->body.at(0).values.at(0).is("startup.hdr"));
    EXPECT_TRUE(doc.nodes[9].values.empty());
    EXPECT_EQ(doc.nodes[10].child("output")->values.size(), 3u);

    const Node& matrix = doc.nodes[13];
    EXPECT_TRUE(matrix.definition);
    EXPECT_EQ(all_numbers(*matrix.values_of("translate")), (std::vector<double>{-1, 0, 1e38}));

    const Node& oak = doc.nodes[14];
    const Node& numbered = oak.children[0];
    EXPECT_EQ(numbered.keyword, "shader");
    EXPECT_EQ(numbered.values[0].kind, ValueKind::Number);
    EXPECT_EQ(numbered.values[0].number, 1);
    EXPECT_TRUE(numbered.values[1].is("texture2_rgb"));
    EXPECT_EQ(numbered.values[1].kind, ValueKind::Word);
    const Node& named = oak.children[1];
    EXPECT_EQ(named.name(), "named");
    EXPECT_TRUE(named.value_of("diffuse")->bound);
    EXPECT_EQ(named.value_of("diffuse")->number, 1);
    const Value* inner = named.value_of("inner");
    EXPECT_TRUE(inner->bound);
    EXPECT_EQ(inner->kind, ValueKind::Shader);
    EXPECT_EQ(inner->body.at(0).value_of("scale"), nullptr);
    EXPECT_EQ(inner->body.at(0).values.at(0).number, 2);
    EXPECT_FALSE(named.value_of("bumpmap")->bound);
    EXPECT_EQ(named.value_of("bumpmap")->number, 3);
    EXPECT_TRUE(named.child("sub")->values.empty());
    EXPECT_EQ(oak.value_of("surface")->number, 4);
    EXPECT_EQ(oak.value_of("shadow")->kind, ValueKind::Shader);
    EXPECT_EQ(oak.value_of("flags")->number, 4096);

    const Node& group = doc.nodes[15];
    EXPECT_EQ(group.name(), "\"A");
    EXPECT_FALSE(group.definition);
    const Node& def = group.children[0];
    EXPECT_TRUE(def.definition);
    EXPECT_EQ(def.value_of("id")->number, 1);
    const Array& vertices = def.child("geometry")->value_of("vertices")->array;
    EXPECT_EQ(vertices.elements, 3u);
    EXPECT_EQ(vertices.width, 3u);
    EXPECT_EQ(vertices.numbers, (std::vector<double>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
    const Node& placed = group.children[1];
    EXPECT_EQ(placed.child("geometry")->name(), "instance");
    EXPECT_EQ(all_numbers(*placed.values_of("set transform")).size(), 16u);
    EXPECT_EQ(all_numbers(*placed.values_of("transform"))[0], 2);
    EXPECT_EQ(placed.values_of("attribute")->at(1).text, "v");
    EXPECT_EQ(placed.child("material")->kind, NodeKind::Statement);
    EXPECT_EQ(placed.name(), "tri");
    const Node& anim = group.children[2];
    EXPECT_TRUE(anim.values[0].is("fbx_animation"));
    EXPECT_TRUE(anim.values[1].is("tri"));

    EXPECT_EQ(doc.nodes[16].kind, NodeKind::Comment);
    EXPECT_EQ(doc.nodes[17].values[0].kind, ValueKind::Blob);
    EXPECT_EQ(doc.nodes[17].values[0].text, std::string("\x00\xff", 2));
    const Node& error = doc.nodes[19];
    EXPECT_EQ(error.kind, NodeKind::Error);
    EXPECT_EQ(error.values[0].text, "first line\n  second line");
    EXPECT_EQ(doc.nodes[20].keyword, "render");
    EXPECT_EQ(doc.nodes[20].line, error.line + 2);
}

TEST(ReaderTest, ReadsEveryValueForm) {
    const std::string text =
        "\"f\" 1e+38 -0 0.5000000000000000 3.40282e+38 12345678901234567890,\n"
        "\"odd\" nan -nan inf -inf,\n"
        "\"b\" on off,\n"
        "\"hex\" xX22e282ac0a,\n"
        "\"empty\" \"\",\n"
        "\"ints\" [ 0,1,2,3,4,5,6,7,8,\n 9 ] ,\n"
        "\"mats\" [  1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 ,\n 2 0 0 0 0 2 0 0 0 0 2 "
        "0 0 0 0 1 \n] ,\n"
        "\"names\" [ \"a\",\nxX22,\n\"\" \n] ,\n"
        "\"colors\" [\n  1 0 0, 0 1 0,\n  0 0 1 ],\n"
        "\"mixed\" [\n  1, \"s\", on ],\n"
        "\"none\" [ ] ,\n";
    Document doc = read_text_ok(text);
    auto value = [&](std::size_t i) -> const std::vector<Value>& { return doc.nodes.at(i).values; };
    EXPECT_EQ(all_numbers(value(0)),
              (std::vector<double>{1e38, 0, 0.5, 3.40282e38, 12345678901234567890.0}));
    EXPECT_TRUE(std::signbit(value(0)[1].number));
    EXPECT_TRUE(std::isnan(value(1)[0].number) && std::isnan(value(1)[1].number));
    EXPECT_EQ(value(1)[3].number, -INFINITY);
    EXPECT_TRUE(value(2)[0].is("on") && value(2)[1].is("off"));
    EXPECT_EQ(value(3)[0].text, "\"\xe2\x82\xac\n");
    EXPECT_EQ(value(4)[0].kind, ValueKind::String);
    EXPECT_EQ(value(4)[0].text, "");

    const Array& ints = value(5)[0].array;
    EXPECT_EQ(ints.elements, 10u);
    EXPECT_EQ(ints.numbers.back(), 9);
    EXPECT_EQ(doc.nodes[6].line, 8u); // the array's line break is counted
    const Array& mats = value(6)[0].array;
    EXPECT_EQ(mats.elements, 2u);
    EXPECT_EQ(mats.width, 16u);
    EXPECT_EQ(mats.numbers[16], 2);
    const Array& names = value(7)[0].array;
    ASSERT_EQ(names.items.size(), 3u);
    EXPECT_EQ(names.items[1].text, "\"");
    EXPECT_EQ(names.width, 0u);
    const Array& colors = value(8)[0].array;
    EXPECT_EQ(colors.elements, 3u);
    EXPECT_EQ(colors.width, 3u);
    EXPECT_EQ(colors.numbers[8], 1);
    const Array& mixed = value(9)[0].array;
    EXPECT_EQ(mixed.elements, 3u);
    EXPECT_EQ(mixed.width, 0u);
    EXPECT_TRUE(mixed.items.at(1).is("on"));
    EXPECT_EQ(value(10)[0].array.elements, 0u);
    EXPECT_EQ(doc.nodes.back().line, 20u);
}

TEST(ReaderTest, ReadsBinaryArrayBlocks) {
    const float triples[] = {1.5f, -2.0f, 3.25f, 0.0f, 1e-7f, 7.0f};
    const float floats[] = {0.125f};
    const double doubles[] = {0.1, -1e300};
    const std::int32_t ints[] = {-1, 10, 0x0a0a0a0a}; // holds line-feed bytes
    std::string text = "\"v\" [ " + binary_block('c', 6, triples, sizeof triples) + "] ,\n";
    text += "\"f\" [ " + binary_block('f', 1, floats, sizeof floats) + "] ,\n";
    text += "\"r\" [ " + binary_block('r', 2, doubles, sizeof doubles) + "] ,\n";
    text += "\"i\" [\n  " + binary_block('i', 3, ints, sizeof ints) + " ],\n";
    text += "\"e\" [ " + binary_block('f', 0, nullptr, 0) + "] ,\n";
    text += "after 1\n";
    Document doc = read_text_ok(text);
    ASSERT_EQ(doc.nodes.size(), 6u);
    const Array& v = doc.nodes[0].values[0].array;
    EXPECT_EQ(v.binary, 'c');
    EXPECT_EQ(v.elements, 2u);
    EXPECT_EQ(v.width, 3u);
    EXPECT_EQ(v.numbers, std::vector<double>(std::begin(triples), std::end(triples)));
    EXPECT_EQ(doc.nodes[1].values[0].array.numbers, std::vector<double>{0.125});
    EXPECT_EQ(doc.nodes[2].values[0].array.numbers, (std::vector<double>{0.1, -1e300}));
    const Array& i = doc.nodes[3].values[0].array;
    EXPECT_EQ(i.binary, 'i');
    EXPECT_EQ(i.numbers, (std::vector<double>{-1, 10, 0x0a0a0a0a}));
    EXPECT_EQ(doc.nodes[4].values[0].array.elements, 0u);
    EXPECT_EQ(doc.nodes[4].values[0].array.binary, 'f');
    EXPECT_EQ(doc.nodes[5].line, 7u); // line feeds inside binary data are not lines
}

TEST(ReaderTest, ReportsFaultsWithLineAndColumn) {
    struct Case {
        std::string text;
        std::size_t line, column;
        std::string message;
    };
    const Case cases[] = {
        {"group \"g\" {\n a 1\n", 3, 1, "end of file inside a block opened on line 2"},
        {"a 1\n}\n", 2, 1, "without an open block"},
        {"#include \"x\"\n", 1, 1, "unknown directive #include"},
        {"#define id 3 {\n}\n", 1, 11, "must open a block"},
        {"#define object \"o\"\n", 1, 19, "must open a block"},
        {"\"p\" 1\n\"q\" 2,\n", 1, 6, "expected ','"},
        {"\"p\" \"open,\n", 1, 11, "string not closed"},
        {"\"p\" xX2g,\n", 1, 7, "hexadecimal"},
        {"\"p\" xX123,\n", 1, 9, "hexadecimal"},
        {"\"p\" [ 1,2\n", 2, 1, "inside an array opened on line 2"},
        {"\"p\" [ 1,,2 ] ,\n", 1, 9, "empty array element"},
        {"\"p\" 1.5.5,\n", 1, 5, "neither a number nor a word: 1.5.5"},
        {"a 1 {\n}\n", 1, 5, "\"{\" not after a block keyword"},
        {"\"p\" ! on,\n", 1, 9, "\"!\" must be followed"},
        {std::string("\"p\" [ \x01\x02\x03x\0\0\0\0 ] ,\n", 19), 1, 10, "unknown element marker"},
        {std::string("\"p\" [ \x01\x02\x03"
                     "f\x05\0\0\0abcd ] ,\n",
                     22),
         1, 7, "runs past"},
        {"#error \"never closed\nx\n", 3, 1, "text not closed"},
        {"  \x7f\n", 1, 3, "unexpected character byte 0x7f"},
        {"a 1,\n", 1, 4, "unexpected character ','"},
        {"\"p\" " + std::string(100001, '[') + "\n", 1, 100005, "nested too deeply"},
    };
    for (const Case& c : cases) {
        // After a first line, so that the place counts lines from the right one.
        ReadResult r = read_scene("\"x\" 1,\n" + c.text);
        ASSERT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.error.line, c.line + 1) << c.text;
        EXPECT_EQ(r.error.column, c.column) << c.text;
        EXPECT_NE(r.error.message.find(c.message), std::string::npos)
            << c.text << " -> " << r.error.describe();
        EXPECT_TRUE(r.document.nodes.empty());
    }
    EXPECT_EQ(ReadError({"m", 4, 2}).describe(), "line 4, column 2: m");
    ReadResult missing = read_scene_file("/nonexistent/dir/x.scene");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.message.find("cannot open"), std::string::npos);
}

TEST(ReaderTest, AnyNestingUpToTheBoundIsReadAndDeeperIsRefusedWithoutDeepCalls) {
    // Nesting is kept on the heap: none of these deepens the call stack, also when the
    // document is walked and destroyed (sanitizer builds have small stack frames to spare).
    const auto nested = [](const std::string& open, const std::string& inner,
                           const std::string& close, std::size_t depth) {
        std::string text;
        text.reserve(depth * (open.size() + close.size()) + inner.size());
        for (std::size_t i = 0; i < depth; ++i)
            text += open;
        text += inner;
        for (std::size_t i = 0; i < depth; ++i)
            text += close;
        return text;
    };
    struct Case {
        const char* what;
        std::string text;
        bool ok;
        std::size_t nodes; // nodes walk() visits
    };
    const Case cases[] = {
        {"groups at the bound", nested("group \"g\" {\n", "a 1\n", "}\n", 100000), true, 100001},
        {"groups past the bound", nested("group \"g\" {\n", "", "}\n", 100001), false, 0},
        // (hexadecimal types: the writer writes such a text whole, past one formatted piece)
        {"nested inline shaders", nested("\"p\" ! xX73 {\n", "\"x\" 1,\n", "},\n", 30000), true,
         30001},
        {"nested arrays", "\"p\" " + nested("[ ", "1", " ]", 30000) + " ,\n", true, 1},
        {"arrays past the bound", "\"p\" " + nested("[ ", "1", " ]", 100001) + " ,\n", false, 0},
        {"shader marks", "\"p\" " + std::string(1000000, '!') + " 1,\n", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReadResult r = read_scene(c.text);
        EXPECT_EQ(r.ok, c.ok) << r.error.describe();
        std::size_t visited = 0;
        walk(r.document.nodes, [&](const Node&, int) { ++visited; });
        EXPECT_EQ(visited, c.nodes);
        if (!c.ok) {
            EXPECT_GT(r.error.line, 0u);
            EXPECT_GT(r.error.column, 0u);
        }
    }
}

// The Scene file writer as exact text: call sequences and the whole text each one writes, for
// blocks, statements, names, shaders, every parameter type code and every array form.

#include "file_api/null_api.h"
#include "support/scene_memory.h"

#include <cfloat>
#include <clocale>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

namespace {

const int kOn = 1;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

struct Case {
    const char* what;
    std::function<void(vtlScene_api_file&)> calls;
    std::string expected;
    bool binary = false;
    unsigned flags = 1; // as openFile leaves them: indented text
};

// Arrays of type 0x8000 + t, each on its own top-level line named "a".
void arrays(vtlScene_api_file& w, std::initializer_list<std::pair<int, vtlArray>> list) {
    for (const auto& [t, a] : list)
        w.set_parameter("a", 0x8000 + t, &a);
}

TEST(Writer, CallSequencesWriteTheirExactText) {
    const std::string huge(2000000, 'a');
    const std::string long_hex(600000, '\x80');
    const std::vector<float> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<float> colours{1, 0, 0, 0, 1, 0.5f};
    const std::vector<double> doubles{0.5, std::numeric_limits<double>::infinity(), 3.5e38, -2};
    const std::vector<int> ints{1, -1, 1 << 30};
    const std::vector<vtlVector> vectors{{1, 2, 3}, {-1, 0.5, 1e10}};

    const Case cases[] = {
        {"nested blocks indent one blank a level and choose the parameter form",
         [](vtlScene_api_file& w) {
             int five = 5;
             w.begin_group("g", true);
             w.begin_object("o", false);
             w.set_parameter("visible", 7, &kOn);
             w.begin_geometry("triangles");
             w.set_parameter("n", 6, &five);
             w.end_geometry();
             w.end_object();
             w.end_group();
             w.begin_group("defs", false);
             w.begin_object("placed", true);
             w.end_object();
             w.end_group();
         },
         "\ngroup \"g\" {\n #define object \"o\" {\n  visible on\n  geometry \"triangles\" {\n"
         "   \"n\" 5,\n  }\n }\n}\n\n#define group \"defs\" {\n object \"placed\" {\n }\n}\n"},
        {"every put starts with the indentation, also in mid-line",
         [](vtlScene_api_file& w) {
             w.begin_object("o", true);
             w.begin_animation("fbx_animation", "walk");
             w.end_animation();
             w.print("50% done\nnext");
             w.error("bad");
             w.end_object();
         },
         "object \"o\" {\n animation \"fbx_animation\"  \"walk\" {\n }\n"
         " #print \" 50% done\n next\"\n #error \" bad\"\n}\n"},
        {"load, light, accel, matrix, image and output blocks",
         [](vtlScene_api_file& w) {
             float half = 0.5f;
             w.begin_load("vtlrtopt.so");
             w.set_parameter("import_scale", 3, &half);
             w.end_load();
             w.begin_light("sun");
             w.end_light();
             w.begin_accel("bvh");
             w.set_parameter("depth", 3, &half);
             w.end_accel();
             w.begin_matrix("m");
             w.end_matrix();
             EXPECT_TRUE(w.begin_image());
             w.set_parameter("width", 3, &half);
             w.begin_output("a", "b", "c");
             w.set_parameter("x", 3, &half);
             w.end_output();
             w.set_parameter("height", 3, &half);
             w.end_image();
         },
         // load blocks keep the parameter form around them
         "load \"vtlrtopt.so\" {\n \"import_scale\" 0.5,\n}\n\nlight \"sun\" {\n}\n"
         "\naccel \"bvh\" {\n \"depth\" 0.5,\n}\n#define matrix \"m\" {\n}\n"
         "\nimage {\n width 0.5\n output \"a\" \"b\" \"c\" {\n  \"x\" 0.5,\n }\n height 0.5\n}\n"},
        {"top-level blocks are refused while another or an object is open",
         [](vtlScene_api_file& w) {
             float fov = 0.75f;
             EXPECT_TRUE(w.begin_camera(nullptr));
             EXPECT_FALSE(w.begin_camera("again"));
             EXPECT_FALSE(w.begin_options());
             EXPECT_FALSE(w.modify_camera("cam"));
             w.set_parameter("fov", 3, &fov);
             w.end_image(); // leaves camera mode without a brace
             EXPECT_TRUE(w.begin_options());
             w.end_options();
             w.end_camera(); // not in camera mode any more: no brace
             w.begin_object("o", true);
             EXPECT_FALSE(w.begin_image());
             EXPECT_FALSE(w.begin_options());
             w.end_object();
             EXPECT_TRUE(w.modify_camera("cam"));
             w.end_camera();
         },
         "\ncamera {\n fov 0.75\n \n options {\n }\n object \"o\" {\n }\n"
         " #modify  \n camera \"cam\" {\n }\n"},
        {"statements",
         [](vtlScene_api_file& w) {
             vtlMatrix m;
             for (int k = 0; k < 16; ++k)
                 m.data()[k] = k + 1;
             m.m[0][1] = 1.0 / 3.0; // rounded to float before printing
             w.transform(m);
             w.set_transform(m);
             w.scale(1.5, 2, 1e-5);
             w.rotate(0, -90, 1e6);
             w.translate(0.1, 123456, 1234567);
             w.set_version(-1);
             w.set_version(10);
             w.set_id(4000000000u);
             w.set_flags(7);
             EXPECT_TRUE(w.render());
             w.set_progress("load", 0.25f);
             w.set_attribute("k", "v");
             w.write_raw("%d%%s raw\n");
             const unsigned char icon[] = {0x00, 0xab, 0x7f};
             w.set_icon(icon, 3);
             w.set_data("blob", icon, 2);
         },
         "transform 1 0.333333 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
         "set transform 1 0.333333 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
         "scale 1.5 2 1e-05\nrotate 0 -90 1e+06\ntranslate 0.1 123456 1.23457e+06\n"
         "version 8\n\nversion 10\n\nid 4000000000\nflags 7\n\nrender\n"
         "progress \"load\" 0.250\n\nattribute \"k\" \"v\"\n%d%%s raw\nicon bX00ab7f\nblob "
         "bX00ab\n"},
        {"names are quoted unless a byte needs the hexadecimal form",
         [](vtlScene_api_file& w) {
             for (const char* name : {"plain name 100%", "", "a\"b", "\xc3\xa9t", "cr\r", "lf\n"})
                 w.use_material(name);
             w.use_material(nullptr);
         },
         "material \"plain name 100%\"\nmaterial \"\"\nmaterial xX612262\nmaterial xXc3a974\n"
         "material xX63720d\nmaterial xX6c660a\nmaterial \"\"\n"},
        {"a formatted piece is cut at 1,048,574 characters; the hexadecimal form is written whole",
         [&](vtlScene_api_file& w) {
             w.begin_object("o", true);
             w.use_material(long_hex.c_str()); // a name inside a line: not indented
             w.end_object();
             w.use_material(huge.c_str());
             w.print(huge.c_str());
         },
         "object \"o\" {\n material xX" +
             [&] {
                 std::string hex;
                 for (std::size_t i = 0; i < long_hex.size(); ++i)
                     hex += "80";
                 return hex;
             }() +
             "\n}\nmaterial \"" + std::string(1048573, 'a') + // the closing quote is cut off
             "\n#print \"" + std::string(1048574, 'a') + "\"\n"},
        {"named and numbered shaders and their references",
         [](vtlScene_api_file& w) {
             vtlColor red{1, 0, 0};
             int five = 5;
             EXPECT_EQ(w.get_shader(), nullptr);
             w.begin_shader("lam", "lambert");
             w.set_parameter("color", 1, &red);
             w.end_shader();
             EXPECT_EQ(w.get_shader(), nullptr); // a named shader does not become current
             w.define_shader("phong", 3);
             w.set_parameter_id("tex", 4);
             w.end_shader();
             w.begin_material("m", true);
             w.set_shader_id(1, 3);
             w.set_shader_id(3, 2);
             w.set_shader_id(7, 2);
             w.set_parameter("bump", 23, &five);
             w.end_material();
         },
         "#define shader \"lam\" \"lambert\" {\n \"color\" 1 0 0,\n}\n"
         "#define shader 3 phong {\n \"tex\" ! 4,\n}\n"
         "material \"m\" {\n shadow 3\n reflection map 2\n // assuming surface shader\n"
         " surface  2\n\"bump\" 5,\n}\n"},
        {"a captured shader is re-indented where it is attached",
         [](vtlScene_api_file& w) {
             vtlColor red{1, 0, 0};
             w.begin_group("g", true);
             w.begin_shader(nullptr, "lambert");
             w.set_parameter("color", 1, &red);
             w.end_shader();
             vtlShader captured = w.get_shader();
             ASSERT_NE(captured, nullptr);
             w.begin_material("m", false);
             w.set_shader(0, captured);
             w.set_shader(9, captured);
             w.set_shader(2, nullptr); // nothing
             w.end_material();
             w.end_group();
         },
         "\ngroup \"g\" {\n \n #define  material \"m\" {\n"
         "  surface   \"lambert\" {\n   \"color\" 1 0 0,\n  }  \n"
         "  // assuming surface shader\n"
         "  surface   \"lambert\" {\n   \"color\" 1 0 0,\n  }  \n }\n}\n"},
        {"a captured shader with a byte-counted write is placed byte for byte",
         [](vtlScene_api_file& w) {
             w.begin_material("m", true);
             w.begin_shader(nullptr, "tex\"ture"); // the hexadecimal form: a byte-counted write
             w.set_parameter("file", 10, "a.png");
             w.end_shader();
             w.set_shader(0, w.get_shader());
             w.end_material();
         },
         "material \"m\" {\n surface xX7465782274757265 {\n \"file\" \"a.png\",\n} \n}\n"},
        {"floats follow the non-finite rule",
         [](vtlScene_api_file& w) {
             for (float f : {kNaN, kInf, -kInf, FLT_MAX, -FLT_MAX, 1e38f, -0.0f, 1e-5f, 9.9999995f})
                 w.set_parameter("f", 3, &f);
         },
         "\"f\" -1,\n\"f\" -1,\n\"f\" -1,\n\"f\" -1,\n\"f\" -1,\n\"f\" 1e+38,\n\"f\" -0,\n"
         "\"f\" 1e-05,\n\"f\" 10,\n"},
        {"every scalar and tuple type code",
         [](vtlScene_api_file& w) {
             vtlColor colour{0.5f, 1, 0.25f};
             float four[] = {1, 2, 3, 4.5f};
             double half = 0.5, big = 1e20;
             vtlVector v{1, 2.5, 1e-7};
             int minus = -7, zero = 0, two = 2;
             int ints[] = {1, -2, 3, 4};
             vtlMatrix m{};
             for (int k = 0; k < 16; ++k)
                 m.data()[k] = k;
             m.m[0][1] = 1e-46; // rounded to float, it prints as 0
             const char* text = "tex";
             const char* quoted = "a\"b";
             w.set_parameter("c", 1, &colour);
             w.set_parameter("q", 2, four);
             w.set_parameter("q", 15, four);
             w.set_parameter("p", 14, four);
             w.set_parameter("d", 4, &half);
             w.set_parameter("d", 4, &big);
             w.set_parameter("v", 5, &v);
             w.set_parameter("i", 6, &minus);
             w.set_parameter("b", 7, &zero);
             w.set_parameter("b", 7, &two);
             w.set_parameter("m", 9, &m);
             w.set_parameter("s", 10, "tex");
             w.set_parameter("s", 13, &text);
             w.set_parameter("s", 13, &quoted);
             w.set_parameter("i2", 16, ints);
             w.set_parameter("i3", 17, ints);
             w.set_parameter("i4", 18, ints);
             w.set_parameter("id", 23, &two);
             for (int silent : {8, 11, 12, 19, 20, 21, 22, 0x2000, 0x4000, 99})
                 w.set_parameter("x", silent, ints);
         },
         "\"c\" 0.5 1 0.25,\n\"q\" 1 2 3 4.5,\n\"q\" 1 2 3 4.5,\n\"p\" 1 2,\n"
         "\"d\" 0.5000000000000000,\n\"d\" 100000000000000000000.0000000000000000,\n"
         "\"v\" 1 2.5 1e-07,\n\"i\" -7,\n\"b\" off,\n\"b\" on,\n"
         "\"m\" 0 0 2 3 4 5 6 7 8 9 10 11 12 13 14 15,\n"
         "\"s\" \"tex\",\n\"s\" \"tex\",\n\"s\" xX612262,\n"
         "\"i2\" 1 -2,\n\"i3\" 1 -2 3,\n\"i4\" 1 -2 3 4,\n\"id\" 2,\n" +
             [] {
                 std::string silent;
                 for (int i = 0; i < 10; ++i)
                     silent += "\"x\" ,\n";
                 return silent;
             }()},
        {"the block form has an unquoted name and no comma",
         [](vtlScene_api_file& w) {
             float f = 2;
             std::vector<int> ints{1, 2, 3};
             vtlArray a{ints.data(), 3};
             w.begin_options();
             w.set_parameter("gamma", 3, &f);
             w.set_parameter("list", 0x8006, &a);
             w.end_options();
         },
         "\noptions {\n gamma 2\n list [ 1,2,3 ] \n}\n"},
        {"whole text arrays break their lines after element 8 and every eighth after it",
         [&](vtlScene_api_file& w) {
             vtlArray nine{ten.data(), 9}, all{ten.data(), 10}, none{ten.data(), 0};
             w.set_parameter("nine", 0x8003, &nine);
             w.begin_geometry("g");
             w.set_parameter("ten", 0x8003, &all);
             w.set_parameter("empty", 0x8003, &none);
             w.end_geometry();
         },
         "\"nine\" [ 0,1,2,3,4,5,6,7,8 \n] ,\ngeometry \"g\" {\n"
         " \"ten\" [ 0,1,2,3,4,5,6,7,8,\n 9 ] ,\n \"empty\" [ ] ,\n}\n"},
        {"whole text arrays of every element type",
         [&](vtlScene_api_file& w) {
             const float odd[] = {kNaN, kInf, FLT_MAX, 1e38f, 0.1f};
             const int bools[] = {1, 0, 5};
             arrays(w, {{3, {odd, 5}},
                        {4, {doubles.data(), 4}},
                        {1, {colours.data(), 2}},
                        {2, {ten.data(), 1}},
                        {5, {vectors.data(), 2}},
                        {7, {bools, 3}},
                        {23, {ints.data(), 2}},
                        {14, {ten.data(), 2}}}); // no elements for other types
         },
         "\"a\" [ -1,-1,-1,1e+38,0.1 ] ,\n"
         "\"a\" [ 0.5000000000000000,-1.0000000000000000,-1.0000000000000000,"
         "-2.0000000000000000 ] ,\n"
         "\"a\" [ 1 0 0,0 1 0.5 ] ,\n\"a\" [ 0 1 2 3 ] ,\n\"a\" [ 1 2 3,-1 0.5 1e+10 ] ,\n"
         "\"a\" [ 1,0,1 ] ,\n\"a\" [ 1,-1 ] ,\n\"a\" [ ] ,\n"},
        {"matrix arrays hold one unrounded matrix a line",
         [](vtlScene_api_file& w) {
             std::vector<vtlMatrix> ms(2);
             for (int k = 0; k < 16; ++k) {
                 ms[0].data()[k] = k;
                 ms[1].data()[k] = -k;
             }
             ms[0].m[0][1] = 1e-46; // not rounded to float in matrix arrays
             vtlArray a{ms.data(), 2};
             w.begin_geometry("g");
             w.set_parameter("frames", 0x8009, &a);
             w.end_geometry();
         },
         "geometry \"g\" {\n \"frames\" [  0 1e-46 2 3 4 5 6 7 8 9 10 11 12 13 14 15 ,\n"
         " 0 -1 -2 -3 -4 -5 -6 -7 -8 -9 -10 -11 -12 -13 -14 -15 \n] ,\n}\n"},
        {"string arrays end every element with a line feed",
         [](vtlScene_api_file& w) {
             const char* names[] = {"s0", "s1", "s2", "x\ny", "s4", "s5", "s6", "s7", "s8", "s9"};
             vtlArray a{names, 10};
             w.begin_geometry("g");
             w.set_parameter("names", 0x800d, &a);
             w.end_geometry();
         },
         "geometry \"g\" {\n \"names\" [ \"s0\",\n\"s1\",\n\"s2\",\nxX780a79,\n\"s4\",\n\"s5\",\n"
         "\"s6\",\n\"s7\",\n\"s8\", \n\"s9\" \n] ,\n}\n"},
        {"binary array blocks carry marker, count and the raw values",
         [&](vtlScene_api_file& w) {
             arrays(w, {{3, {ten.data(), 0}},
                        {1, {colours.data(), 2}},
                        {3, {ten.data(), 2}},
                        {4, {doubles.data(), 2}},
                        {6, {ints.data(), 3}},
                        {23, {ints.data(), 1}},
                        {5, {vectors.data(), 1}}}); // vectors stay text
         },
         "\"a\" [ " + binary_block('f', 0, nullptr, 0) + "] ,\n\"a\" [ " +
             binary_block('c', 6, colours.data(), 24) + "] ,\n\"a\" [ " +
             binary_block('f', 2, ten.data(), 8) + "] ,\n\"a\" [ " +
             binary_block('r', 2, doubles.data(), 16) + "] ,\n\"a\" [ " +
             binary_block('i', 3, ints.data(), 12) + "] ,\n\"a\" [ " +
             binary_block('i', 1, ints.data(), 4) + "] ,\n\"a\" [ 1 2 3 ] ,\n",
         true},
        {"text arrays built element by element",
         [](vtlScene_api_file& w) {
             vtlColor c[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
             w.begin_geometry("g");
             w.begin_array("c");
             for (auto& colour : c)
                 w.add_array_element(1, &colour);
             w.end_array();
             w.end_geometry();
             w.begin_array("i");
             for (int i = 0; i < 8; ++i)
                 w.add_array_element(6, &i);
             w.end_array();
             const char* name = "n\"m";
             double d = 0.5;
             int nine = 9;
             w.begin_array("mixed");
             w.add_array_element(13, &name);
             w.add_array_element(10, "t");
             w.add_array_element(4, &d);
             w.add_array_element(23, &nine);
             w.end_array();
         },
         "geometry \"g\" {\n \"c\" [\n  1 0 0, 0 1 0,\n  0 0 1 ],\n}\n"
         "\"i\" [\n 0, 1, 2, 3, 4, 5,\n 6, 7 ],\n"
         "\"mixed\" [\n xX6e226d, \"t\", 0.5000000000000000, 9 ],\n"},
        {"binary arrays built element by element",
         [](vtlScene_api_file& w) {
             vtlColor c{1, 0.5f, 0};
             float f = 2.5f;
             int i = -3;
             double d = 0.5;
             w.begin_array("empty");
             w.end_array();
             w.begin_array("mixed");
             w.add_array_element(1, &c);
             w.add_array_element(3, &f);
             w.add_array_element(6, &i); // the block takes the marker of the last element
             w.end_array();
             w.begin_array("text");
             w.add_array_element(4, &d); // only colours, floats and ints are buffered
             w.end_array();
         },
         [] {
             const uint32_t words[] = {0x3f800000u, 0x3f000000u, 0u, 0x40200000u, 0xfffffffdu};
             return "\"empty\" [\n  ],\n\"mixed\" [\n " +
                    binary_block('i', 5, words, sizeof words) +
                    " ],\n\"text\" [\n 0.5000000000000000 ],\n";
         }(),
         true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(write_scene(c.calls, c.binary, c.flags), c.expected) << c.what;
}

TEST(Writer, NumericLocaleIsCWhileAnyWriterExistsAndRestoredAfterTheLast) {
    const char* comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (!comma) comma = std::setlocale(LC_NUMERIC, "de_DE.utf8");
#ifdef _WIN32
    if (!comma) comma = std::setlocale(LC_NUMERIC, "de-DE");
    if (!comma) comma = std::setlocale(LC_NUMERIC, "German_Germany.1252");
#endif
    ASSERT_NE(comma, nullptr) << "the de_DE locale is needed (package locales-all)";
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    auto first = std::make_unique<vtlScene_api_file>(sink, false);
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    // Lives that overlap, as when a destination replaces the one before it.
    auto second = std::make_unique<vtlScene_api_file>(sink, false);
    first.reset();
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    second.reset();
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), before);
    std::setlocale(LC_NUMERIC, "C");
    std::fclose(sink);
}

TEST(Writer, NullApiAcceptsEveryCallWithNullsAndWritesNothing) {
    NullApi api;
    vtlScene_api& a = api;
    EXPECT_FALSE(a.begin_object(nullptr, true) || a.set_parameter(nullptr, 0x8003, nullptr) ||
                 a.begin_shader(nullptr, nullptr) || a.end_animation() || a.connect(nullptr, 0, 0));
    EXPECT_EQ(a.reserved_51() + a.reserved_52(nullptr), 0);
    a.add_array_element(3, nullptr);
    a.print(nullptr);
    a.set_data(nullptr, nullptr, 100);
    a.pop_shader();
    EXPECT_EQ(a.get_shader(), nullptr);
}

} // namespace

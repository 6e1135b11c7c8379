// Blocks, statements, names, shaders and materials of the Scene file writer, checked against the
// exact text a Scene file holds.

#include "file_api/null_api.h"
#include "support/scene_memory.h"

#include <clocale>
#include <cstring>
#include <gtest/gtest.h>

namespace {

const int kOn = 1;

vtlMatrix counting_matrix() {
    vtlMatrix m;
    for (int k = 0; k < 16; ++k)
        m.data()[k] = k + 1;
    return m;
}

TEST(WriterBlocks, NestedBlocksIndentOneBlankPerLevelAndChooseTheParameterForm) {
    std::string text = write_scene([](vtlScene_api_file& w) {
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
    });
    EXPECT_EQ(text, "\ngroup \"g\" {\n"
                    " #define object \"o\" {\n"
                    "  visible on\n"
                    "  geometry \"triangles\" {\n"
                    "   \"n\" 5,\n"
                    "  }\n"
                    " }\n"
                    "}\n"
                    "\n#define group \"defs\" {\n"
                    " object \"placed\" {\n"
                    " }\n"
                    "}\n");
}

TEST(WriterBlocks, NewWriterAndFlag0x400000WriteNoIndentation) {
    auto calls = [](vtlScene_api_file& w) {
        w.begin_object("o", true);
        w.begin_geometry("t");
        w.set_parameter("b", 7, &kOn);
        w.end_geometry();
        w.end_object();
    };
    const char* flat = "object \"o\" {\ngeometry \"t\" {\n\"b\" on,\n}\n}\n";
    EXPECT_EQ(write_scene(calls, false, 0, false), flat); // initial flags 0x400001
    EXPECT_EQ(write_scene(calls, false, 0x400000), flat);
    EXPECT_EQ(write_scene(calls, false, 1),
              "object \"o\" {\n geometry \"t\" {\n  \"b\" on,\n }\n}\n");
}

TEST(WriterBlocks, EveryPutStartsWithIndentationEvenInMidLine) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        w.begin_object("o", true);
        w.begin_animation("fbx_animation", "walk");
        w.end_animation();
        w.print("50% done\nnext");
        w.error("bad");
        w.end_object();
    });
    EXPECT_EQ(text, "object \"o\" {\n"
                    " animation \"fbx_animation\"  \"walk\" {\n"
                    " }\n"
                    " #print \" 50% done\n next\"\n"
                    " #error \" bad\"\n"
                    "}\n");
}

TEST(WriterBlocks, LoadLightAccelMatrixOutputBlocks) {
    std::string text = write_scene([](vtlScene_api_file& w) {
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
    });
    EXPECT_EQ(text, "load \"vtlrtopt.so\" {\n"
                    " \"import_scale\" 0.5,\n" // load blocks keep the style around them
                    "}\n"
                    "\nlight \"sun\" {\n"
                    "}\n"
                    "\naccel \"bvh\" {\n"
                    " \"depth\" 0.5,\n"
                    "}\n"
                    "#define matrix \"m\" {\n"
                    "}\n"
                    "\nimage {\n"
                    " width 0.5\n"
                    " output \"a\" \"b\" \"c\" {\n"
                    "  \"x\" 0.5,\n"
                    " }\n"
                    " height 0.5\n"
                    "}\n");
}

TEST(WriterBlocks, TopLevelBlocksAreRefusedWhileAnotherIsOpen) {
    std::string text = write_scene([](vtlScene_api_file& w) {
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
    });
    EXPECT_EQ(text, "\ncamera {\n"
                    " fov 0.75\n"
                    " \n" // options opened at the camera's indentation
                    " options {\n"
                    " }\n"
                    " object \"o\" {\n"
                    " }\n"
                    " #modify  \n" // each put starts with the indentation
                    " camera \"cam\" {\n"
                    " }\n");
}

TEST(WriterStatements, TransformsVersionsIdsAndMessages) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        vtlMatrix m = counting_matrix();
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
    });
    EXPECT_EQ(text, "transform 1 0.333333 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
                    "set transform 1 0.333333 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"
                    "scale 1.5 2 1e-05\n"
                    "rotate 0 -90 1e+06\n"
                    "translate 0.1 123456 1.23457e+06\n"
                    "version 8\n\n"
                    "version 10\n\n"
                    "id 4000000000\n"
                    "flags 7\n"
                    "\nrender\n"
                    "progress \"load\" 0.250\n\n"
                    "attribute \"k\" \"v\"\n"
                    "%d%%s raw\n"
                    "icon bX00ab7f\n"
                    "blob bX00ab\n");
}

TEST(WriterNames, QuotedUnlessAByteNeedsTheHexForm) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        w.use_material("plain name 100%");
        w.use_material("");
        w.use_material("a\"b");
        w.use_material("\xc3\xa9t");
        w.use_material("cr\r");
        w.use_material("lf\n");
        w.use_material(nullptr);
    });
    EXPECT_EQ(text, "material \"plain name 100%\"\n"
                    "material \"\"\n"
                    "material xX612262\n"
                    "material xXc3a974\n"
                    "material xX63720d\n"
                    "material xX6c660a\n"
                    "material \"\"\n");
}

TEST(WriterNames, NamesInsideALineAreNotIndentedButTheHexFormIsWrittenWhole) {
    std::string long_hex(300000, '\x80');
    std::string text = write_scene([&](vtlScene_api_file& w) {
        w.begin_object("o", true);
        w.use_material("m");
        w.use_material(long_hex.c_str());
        w.end_object();
    });
    std::string expected = "object \"o\" {\n material \"m\"\n material xX";
    for (size_t i = 0; i < long_hex.size(); ++i)
        expected += "80";
    expected += "\n}\n";
    EXPECT_EQ(text, expected);
}

TEST(WriterNames, AFormattedPieceIsCutAt1048574Characters) {
    std::string huge(2000000, 'a');
    std::string text = write_scene([&](vtlScene_api_file& w) {
        w.use_material(huge.c_str());
        w.print(huge.c_str());
    });
    std::string cut_name = "\"" + std::string(1048573, 'a'); // the closing quote is cut off
    std::string cut_text(1048574, 'a');
    EXPECT_EQ(text, "material " + cut_name + "\n#print \"" + cut_text + "\"\n");
}

TEST(WriterShaders, NamedAndNumberedShadersAndTheirReferences) {
    std::string text = write_scene([](vtlScene_api_file& w) {
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
    });
    EXPECT_EQ(text, "#define shader \"lam\" \"lambert\" {\n"
                    " \"color\" 1 0 0,\n"
                    "}\n"
                    "#define shader 3 phong {\n"
                    " \"tex\" ! 4,\n"
                    "}\n"
                    "material \"m\" {\n"
                    " shadow 3\n"
                    " reflection map 2\n"
                    " // assuming surface shader\n"
                    " surface  2\n"
                    "\"bump\" 5,\n"
                    "}\n");
}

TEST(WriterShaders, CapturedShaderIsReindentedWhereItIsAttached) {
    vtlShader captured = nullptr;
    std::string text = write_scene([&](vtlScene_api_file& w) {
        vtlColor red{1, 0, 0};
        w.begin_group("g", true);
        w.begin_shader(nullptr, "lambert");
        w.set_parameter("color", 1, &red);
        w.end_shader();
        captured = w.get_shader();
        ASSERT_NE(captured, nullptr);
        w.begin_material("m", false);
        w.set_shader(0, captured);
        w.set_shader(9, captured);
        w.set_shader(2, nullptr); // nothing
        w.end_material();
        w.end_group();
    });
    EXPECT_EQ(text, "\ngroup \"g\" {\n"
                    " \n"
                    " #define  material \"m\" {\n"
                    "  surface   \"lambert\" {\n"
                    "   \"color\" 1 0 0,\n"
                    "  }  \n"
                    "  // assuming surface shader\n"
                    "  surface   \"lambert\" {\n"
                    "   \"color\" 1 0 0,\n"
                    "  }  \n"
                    " }\n"
                    "}\n");
}

TEST(WriterShaders, NestedCapturedShadersWithPushAndPop) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        float half = 0.5f;
        w.begin_material("m", false);
        w.begin_shader(nullptr, "outer");
        vtlShader outer = w.get_shader();
        w.push_shader();
        w.begin_shader(nullptr, "inner");
        w.set_parameter("k", 3, &half);
        w.end_shader();
        vtlShader inner = w.get_shader();
        EXPECT_NE(inner, outer);
        w.pop_shader();
        EXPECT_EQ(w.get_shader(), outer);
        w.set_parameter_shader("sub", inner);
        w.end_shader();
        EXPECT_EQ(w.get_shader(), outer);
        w.set_shader(0, outer);
        w.end_material();
    });
    EXPECT_EQ(text, "\n#define material \"m\" {\n"
                    " surface  \"outer\" {\n"
                    "  \"sub\" !  \"inner\" {\n"
                    "   \"k\" 0.5,\n"
                    "  } ,\n"
                    " } \n"
                    "}\n");
}

TEST(WriterShaders, ACapturedShaderWithAByteCountedWriteIsPlacedByteForByte) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        w.begin_material("m", true);
        w.begin_shader(nullptr, "tex\"ture"); // hex form: a byte-counted write
        w.set_parameter("file", 10, "a.png");
        w.end_shader();
        w.set_shader(0, w.get_shader());
        w.end_material();
    });
    EXPECT_EQ(text, "material \"m\" {\n"
                    " surface xX7465782274757265 {\n"
                    " \"file\" \"a.png\",\n"
                    "} \n"
                    "}\n");
}

TEST(WriterShaders, ShaderHandleParameterIsPlacedAtIndentationTwo) {
    std::string text = write_scene([](vtlScene_api_file& w) {
        float one = 1;
        w.begin_shader(nullptr, "noise");
        w.set_parameter("scale", 3, &one);
        w.end_shader();
        vtlShader noise = w.get_shader();
        w.begin_object("o", true);
        w.set_parameter("pattern", 0x10000, &noise);
        w.end_object();
    });
    EXPECT_EQ(text, "object \"o\" {\n"
                    " pattern   \"noise\" {\n"
                    "   \"scale\" 1,\n"
                    "  }\n"
                    "}\n");
}

TEST(WriterLocale, NumericLocaleIsCWhileAWriterExistsAndRestoredAfter) {
    const char* comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (!comma) comma = std::setlocale(LC_NUMERIC, "de_DE.utf8");
#ifdef _WIN32
    if (!comma) comma = std::setlocale(LC_NUMERIC, "de-DE");
    if (!comma) comma = std::setlocale(LC_NUMERIC, "German_Germany.1252");
#endif
    ASSERT_NE(comma, nullptr) << "the de_DE locale is needed (package locales-all)";
    std::string before = std::setlocale(LC_NUMERIC, nullptr);
    std::string text = write_scene([](vtlScene_api_file& w) {
        EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
        float f = 2.5f;
        double d = 0.5;
        w.set_parameter("f", 3, &f);
        w.set_parameter("d", 4, &d);
    });
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), before);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text, "\"f\" 2.5,\n\"d\" 0.5000000000000000,\n");
}

TEST(NullApiTest, AcceptsEveryCallWithNullsAndWritesNothing) {
    NullApi api;
    vtlScene_api& a = api;
    EXPECT_EQ(a.get_shader(), nullptr);
    EXPECT_FALSE(a.begin_object(nullptr, true));
    EXPECT_FALSE(a.set_parameter(nullptr, 0x8003, nullptr));
    EXPECT_FALSE(a.begin_shader(nullptr, nullptr));
    EXPECT_FALSE(a.end_animation());
    EXPECT_FALSE(a.connect(nullptr, 0, 0));
    EXPECT_EQ(a.reserved_51(), 0);
    EXPECT_EQ(a.reserved_52(nullptr), 0);
    a.add_array_element(3, nullptr);
    a.print(nullptr);
    a.set_data(nullptr, nullptr, 100);
    a.pop_shader();
    EXPECT_EQ(a.get_shader(), nullptr);
}

} // namespace

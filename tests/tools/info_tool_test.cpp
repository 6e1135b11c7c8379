// sceneapi-info on a Scene file exported through the library, on a damaged file and on bad
// arguments.

#include "scene_test_files.h"
#include "sceneapi_cs_wrapper.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace reader_test;
using tool_test::run;

namespace {

const std::string kInfo = SCENEAPI_INFO_PATH;

// A scene with a little of everything, two groups deep.
std::string export_scene(const TempFolder& folder) {
    const std::string path = folder.file("scene.scene");
    const float white[3] = {1, 1, 1};
    const double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    openFile(path.c_str(), nullptr, 1, 1);
    setDiffuse(1, "white", 1, 1, 1);
    setMetal(2, "steel", 0.5f, 0.5f, 0.5f);
    setMetal(3, "iron", 0.3f, 0.3f, 0.3f);
    beginGroup("house");
    beginGroup("room");
    beginTriangleObject("big");
    for (int i = 0; i < 30; ++i)
        addVertex(float(i), 0, float(i % 3));
    for (int i = 0; i < 8; ++i)
        addTriangle(i, i + 1, i + 2);
    setMaterial(2);
    int id = 0;
    endTriangleObject(&id, true);
    beginInstanceObject("copy");
    setInstanceId(id);
    endInstanceObject();
    endGroup();
    endGroup();
    beginTriangleObject("broken");
    addVertex(0, 0, 0);
    addTriangle(0, 0, 0);
    endTriangleObject(&id, true);
    addPointLight("bulb", 100, white);
    setCamera(0, 0, 5, 0, 0, -1, 0, 1, 0, true, nullptr);
    beginAnimation("big", 0, 1, false);
    addFrame(0, m);
    addFrame(10, m);
    endAnimation();
    closeFile();
    // The exports write definitions, which are not checked: add the line a check writes.
    std::ofstream(path, std::ios::app) << "#error \"No triangles defined\"\n";
    return path;
}

} // namespace

TEST(InfoToolTest, SummarisesAnExportedScene) {
    TempFolder folder;
    const std::string path = export_scene(folder);
    const tool_test::Run text = run(kInfo + " " + path);
    EXPECT_EQ(text.status, 0);
    for (const char* line :
         {"Scene file version 10\n",
          "header: ---vantel:dal:7--- | ---import:dal:1--- | ---id:1--- | "
          "This is a Photara scene file\n",
          " import_up_vector=1 meter_scale=1 ", "objects: 3 placed (3 instances), 2 definitions\n",
          "triangles: 9 (31 vertices)\n", "NURBS surfaces: 0\n",
          "materials: 5 (vtl_diffuse 3, vtl_metal 2)\n"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    EXPECT_NE(text.out.find("lights: 1 (vtl_point_light 1)\ncameras: 1\n"
                            "animations: 1 (2 keyframes)\n"
                            "bounds: 0 0 0 to 29 0 2\n"
                            "groups:\n  \"house\" (line "),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find(", 0 objects)\n    \"room\" (line "), std::string::npos);
    EXPECT_NE(text.out.find(", 2 objects)\nerrors:\n  line "), std::string::npos);
    EXPECT_NE(text.out.find(": No triangles defined\n"), std::string::npos);
    EXPECT_NE(text.out.find("largest objects:\n  \"big\" line "), std::string::npos);
    EXPECT_NE(text.out.find(" bytes, definition, triangles, 8 triangles\n"), std::string::npos);

    const tool_test::Run json = run(kInfo + " --json " + path);
    EXPECT_EQ(json.status, 0);
    for (const char* part :
         {"\"version\": 10", "\"import_mode\": true, \"import_merge_groups\": false",
          "\"objects\": 3, \"instances\": 3, \"definitions\": 2, \"triangles\": 9",
          "\"materials\": {\"vtl_diffuse\": 3, \"vtl_metal\": 2}",
          "\"lights\": {\"vtl_point_light\": 1}", "\"groups\": [{\"name\": \"house\", \"line\": ",
          "\"objects\": 0, \"groups\": [{\"name\": \"room\"",
          "\"largest_objects\": [{\"name\": \"big\""})
        EXPECT_NE(json.out.find(part), std::string::npos) << part << "\n" << json.out;
    EXPECT_EQ(json.out.back(), '\n');
    // The "#error" line is the file's last line.
    std::ifstream in(path);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string error =
        "\"errors\": [{\"line\": " + std::to_string(std::count(all.begin(), all.end(), '\n')) +
        ", \"text\": \"No triangles defined\"}]";
    EXPECT_NE(json.out.find(error), std::string::npos) << error;
}

namespace {

// True when text is one JSON document in well-formed UTF-8 (Python's strict decoder refuses
// overlong forms, surrogates and values past U+10FFFF).
bool valid_json(const TempFolder& folder, const std::string& text) {
    const std::string file = folder.write("printed.json", text);
    return run(PYTHON3 " -c 'import json, sys; json.loads(sys.stdin.buffer.read().decode())' < " +
               file)
               .status == 0;
}

// The bytes that make a terminal act instead of print: C0 controls but the line feed, DEL.
bool has_control_bytes(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const unsigned char b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\n') || b == 0x7f;
    });
}

// A group whose name holds the bytes given in the "xX" form, holding nothing.
std::string group_named(const std::string& hex) {
    return "version 10\ngroup xX" + hex + " {\n}\n";
}

} // namespace

TEST(InfoToolTest, HostileInputEndsInAnExitStatusAndSafeOutput) {
    TempFolder folder;
    const std::string sub = folder.file("sub");
    std::filesystem::create_directory(sub);
    std::string deep;
    for (int i = 0; i < 3000; ++i)
        deep += "group \"g\" {\n";
    deep += "object \"o\" {\n}\n";
    deep = "version 10\n" + deep;
    for (int i = 0; i < 3000; ++i)
        deep += "}\n";
    const std::string bang = "version 10\n\"p\" " + std::string(200000, '!') + " 1,\n";
    struct Case {
        const char* what;
        std::string command; // the shell line that runs the tool
        int status;
        std::vector<std::string> present; // texts the output (standard output and error) holds
        bool json;                        // the output must be valid UTF-8 JSON
    };
    const auto file = [&](const char* name, const std::string& content) {
        return kInfo + " " + folder.write(name, content);
    };
    const std::string info = kInfo + " ";
    const Case cases[] = {
        {"a folder", info + sub + " 2>&1", 1, {"sceneapi-info: " + sub + ": is a folder\n"}, false},
        {"a pipe",
         "printf 'version 10\\n' | " + info + "/dev/stdin 2>&1",
         0,
         {"Scene file version 10\n"},
         false},
        {"an empty comment", file("comment.scene", "//\n"), 0, {"header: \n"}, false},
        {"a huge version",
         file("version.scene", "version 1e35\n"),
         0,
         {"Scene file version 1e+35\n"},
         false},
        {"an infinite shader number",
         file("shader.scene", "version 10\n#define material \"m\" {\nsurface inf\n}\n"),
         0,
         {"materials: 1 (shader inf 1)\n"},
         false},
        {"a huge shader number",
         file("huge.scene", "version 10\n#define material \"m\" {\nsurface -1e300\n}\n"),
         0,
         {"materials: 1 (shader -1e+300 1)\n"},
         false},
        {"names with bytes from 0x80 on, as JSON",
         file("bytes.scene", group_named("41c3a9ff1b07") + group_named("e282ac80")) + " --json",
         0,
         {"\"A\xc3\xa9\\ufffd\\u001b\\u0007\"", "\"\xe2\x82\xac\\ufffd\""},
         true},
        {"a huge version, as JSON",
         info + "--json " + folder.file("version.scene"),
         0,
         {"\"version\": 1e+35,"},
         true},
        {"an escape sequence in a name",
         file("escape.scene", group_named("411b5b33316d07c29b")),
         0,
         {"\"A\\x1b[31m\\x07\\xc2\\x9b\" (line 2"},
         false},
        {"an escape sequence in a bad token",
         file("token.scene", "version 10\nx 1\x1b[2J\n") + " 2>&1",
         1,
         {"neither a number nor a word: 1\\x1b\n"},
         false},
        {"3000 nested groups",
         file("deep.scene", deep),
         0,
         {"objects: 1 placed", "  (2872 groups nested deeper are not listed)\n"},
         false},
        {"3000 nested groups, as JSON",
         info + "--json " + folder.file("deep.scene"),
         0,
         {"\"unlisted_groups\": 2872"},
         true},
        {"200000 shader marks",
         file("bang.scene", bang) + " 2>&1",
         1,
         {"\"!\" must be followed by a shader number or shader"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const tool_test::Run r = run(c.command);
        EXPECT_EQ(r.status, c.status) << r.out.substr(0, 2000);
        for (const std::string& text : c.present)
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out.substr(0, 2000);
        EXPECT_FALSE(has_control_bytes(r.out)) << r.out.substr(0, 2000);
        EXPECT_TRUE(!c.json || valid_json(folder, r.out)) << r.out;
    }
}

TEST(InfoToolTest, ChecksFindFaultsWithTheirLineAndColumn) {
    TempFolder folder;
    const std::string define =
        "version 10\n#define object \"a\" {\n id 1\n geometry \"triangles\" {\n";
    const std::string placed = "object \"p\" {\n geometry \"instance\" {\n  \"id\" 1,\n }\n}\n";
    struct Case {
        const char* what;
        std::string scene;
        const char* option;
        int status;
        std::string finding; // what the findings list holds, after "FILE:"
        std::string counts;  // a line of the summary
    };
    const Case cases[] = {
        {"an index past the vertices",
         define +
             "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n  \"triangles\" [ 0,1,2,2,1,3 ] ,\n"
             " }\n}\n" +
             placed,
         "", 1, "6:3: error: 1 triangle indices outside the 3 vertices (the first: 3)", ""},
        {"a negative index",
         define + "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n  \"triangles\" [ 0,-1,2 ] ,\n }\n}\n",
         "", 1, "6:3: error: 1 triangle indices outside the 3 vertices (the first: -1)", ""},
        {"an instance of an id never defined",
         define + "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n  \"triangles\" [ 0,1,2 ] ,\n }\n}\n"
                  "object \"q\" {\n geometry \"instance\" {\n  \"id\" 9,\n }\n}\n",
         "", 1, "10:2: error: an instance of object id 9, which no definition has", ""},
        {"too few normals",
         define + "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n  \"triangles\" [ 0,1,2 ] ,\n"
                  "  \"normals\" [ 0 0 1 ] ,\n }\n}\n",
         "", 1, "7:3: error: normals holds 1 elements for 3 vertices", ""},
        {"too many uvs",
         define + "  \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n  \"triangles\" [ 0,1,2 ] ,\n"
                  "  \"uv_tex\" [ 0,0,1,0,0,1,1,1 ] ,\n }\n}\n",
         "", 1, "7:3: error: uv_tex holds 4 elements for 3 vertices", ""},
        {"a material never defined", "version 10\nobject \"o\" {\n material \"paint\"\n}\n", "", 0,
         "3:2: warning: material \"paint\" is used but never defined", ""},
        {"a material never defined, strictly",
         "version 10\nobject \"o\" {\n material \"paint\"\n}\n", "--strict", 1,
         "3:2: warning: material \"paint\" is used but never defined", ""},
        {"vertices that are not numbers, counted all the same",
         define + "  \"vertices\" [ 0 0 0,nan 0 0,0 inf 0,1 1 1 ] ,\n"
                  "  \"triangles\" [ 0,1,2,0,2,3 ] ,\n }\n}\n",
         "", 0, "5:3: warning: 2 numbers that are not finite (nan or inf)",
         "triangles: 2 (4 vertices)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.write("checked.scene", c.scene);
        const tool_test::Run r = run(kInfo + " " + c.option + " " + path + " 2>&1");
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_NE(r.out.find("  " + path + ":" + c.finding + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.counts), std::string::npos) << r.out;
        const tool_test::Run json = run(kInfo + " --json " + c.option + " " + path);
        EXPECT_EQ(json.status, c.status);
        EXPECT_NE(json.out.find("\"findings\": ["), std::string::npos) << json.out;
    }
}

TEST(InfoToolTest, RefusesDamagedFilesAndBadArgumentsAndReadsStandardInput) {
    TempFolder folder;
    const std::string model = folder.write("model.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string empty = folder.write("empty.scene", "");
    const std::string blank = folder.write("blank.scene", " \n\n");
    const std::string cut =
        folder.write("cut.scene", "version 10\n\ngroup \"g\" {\n \"p\" [ 1,2\n");
    struct Case {
        std::string command;
        std::string printed; // standard error
        std::string json;    // the JSON object on standard output with --json
    };
    const Case cases[] = {
        {model, "sceneapi-info: " + model + ": not a Scene file",
         "{\"errors\": [{\"file\": \"" + model + "\", \"message\": \"not a Scene file"},
        {empty, "sceneapi-info: " + empty + ": the file is empty\n",
         "{\"errors\": [{\"file\": \"" + empty + "\", \"message\": \"the file is empty\"}]}\n"},
        {blank, "sceneapi-info: " + blank + ": the file is empty\n", "the file is empty"},
        {folder.path(), "sceneapi-info: " + folder.path() + ": is a folder\n", "is a folder"},
        {cut, cut + ":5:1: end of file inside an array opened on line 4\n",
         "\"line\": 5, \"column\": 1, \"message\": \"end"},
        {"- < " + model, "sceneapi-info: -: not a Scene file", "{\"errors\": [{\"file\": \"-\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const tool_test::Run text = run(kInfo + " " + c.command + " 2>&1");
        EXPECT_EQ(text.status, 1);
        EXPECT_NE(text.out.find(c.printed), std::string::npos) << text.out;
        const tool_test::Run json = run(kInfo + " --json " + c.command + " 2>/dev/null");
        EXPECT_EQ(json.status, 1);
        EXPECT_EQ(json.out.rfind("{\"errors\": [{", 0), 0u) << json.out;
        EXPECT_NE(json.out.find(c.json), std::string::npos) << json.out;
    }
    const tool_test::Run piped = run("printf '//x\\nversion 10\\n' | " + kInfo + " -");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out.rfind("-: 15 bytes, Scene file version 10\nheader: x\n", 0), 0u)
        << piped.out;
    EXPECT_EQ(run(kInfo + " 2>&1").status, 2);
    const tool_test::Run two = run(kInfo + " a b 2>&1");
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.out.rfind("sceneapi-info: give one FILE\nusage: sceneapi-info ", 0), 0u)
        << two.out;
    const tool_test::Run usage = run(kInfo + " --json --frob x 2>/dev/null");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.out,
              "{\"errors\": [{\"file\": \"\", \"message\": \"unknown option --frob\"}]}\n");
}

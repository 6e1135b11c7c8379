// sceneapi-info on a Scene file exported through the library, on a damaged file and on bad
// arguments.

#include "scene_test_files.h"
#include "sceneapi_cs_wrapper.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <algorithm>
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
          " import_up_vector=1 meter_scale=1 ", "objects: 4 placed (3 instances), 2 definitions\n",
          "triangles: 10 (34 vertices)\n", "NURBS surfaces: 0\n",
          "materials: 5 (vtl_diffuse 3, vtl_metal 2)\n"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    EXPECT_NE(text.out.find("lights: 1 (vtl_point_light 1)\ncameras: 1\n"
                            "animations: 1 (2 keyframes)\n"
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
          "\"objects\": 4, \"instances\": 3, \"definitions\": 2, \"triangles\": 10",
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

TEST(InfoToolTest, ReportsWhereAFileIsDamagedAndRefusesBadArguments) {
    TempFolder folder;
    const std::string path = folder.file("bad.scene");
    std::ofstream(path) << "version 10\n\ngroup \"g\" {\n \"p\" [ 1,2\n";
    const tool_test::Run bad = run(kInfo + " " + path + " 2>&1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, path + ":5:1: end of file inside an array opened on line 4\n");
    EXPECT_EQ(run(kInfo + " 2>&1").status, 2);
    EXPECT_EQ(run(kInfo + " a b 2>&1").out, "usage: sceneapi-info [--json] FILE\n");
}

// The exports driven through the shared library, checked against the Scene file text.

#include "scene_file_texts.h"
#include "sceneapi_cs_wrapper.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <set>
#include <sstream>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include "support/tool_run.h"
#endif

extern "C" int c_host_scene(const char* path);

namespace {

using cs_test::body_after_opening;
using cs_test::read_file;
using cs_test::TempFolder;

// A quad of two triangles with normals and texture coordinates, in host arrays.
constexpr float kQuadXyz[] = {0, 0, 0, 1.5f, 0, 0, 1.5f, 2, 0, 0, 2, -0.25f};
constexpr float kQuadNormals[] = {0, 0, 1, 0, 0.6f, 0.8f, 0, 0, 1, 1e-7f, 0, -1};
constexpr float kQuadUvs[] = {0, 0, 1, 0, 1, 1, 0.333333f, 1};
constexpr int kQuadTriangles[] = {0, 1, 2, 0, 2, 3};

// A mesh of one triangle.
void one_triangle(const char* name) {
    beginTriangleObject(name);
    addVertex(0.0f, 0.0f, 0.0f);
    addVertex(1.0f, 0.0f, 0.0f);
    addVertex(0.0f, 1.0f, 0.0f);
    addTriangle(0, 1, 2);
}

TEST(Exports, WholeSmallSceneFile) {
    TempFolder folder;
    const std::string path = folder.file("small.scene");
    ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
    setDiffuse(7, "paint", 0.25f, 0.5f, 2.0f);
    beginGroup("g");
    one_triangle("tri");
    setMaterial(7);
    int id = -1;
    endTriangleObject(&id, true);
    endGroup();
    setProgress("half", 0.5f);
    setFlags(3);
    const double m[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16.5};
    transform(m);
    const float color[3] = {1.0f, 0.5f, 0.25f};
    addPointLight("bulb", 99.9f, color);
    addIesLight("spot", "beam.ies");
    addLineLight("neg", -2.7f, 4.0f, 3.0f);
    closeFile();
    EXPECT_EQ(id, 1);

    const std::string expected =
        "\n#define material \"paint\" {\n"
        " surface  \"vtl_diffuse\" {\n"
        "  \"diffuse\" 0.25 0.5 1,\n"
        " } \n"
        " flags 4096\n"
        "}\n"
        "\ngroup \"g\" {\n"
        " #define object \"tri\" {\n"
        "  id 1\n"
        "  geometry \"triangles\" {\n"
        "   \"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n"
        "   \"triangles\" [ 0,1,2 ] ,\n"
        "  }\n"
        " }\n"
        " object \"tri\" {\n"
        "  geometry \"instance\" {\n"
        "   \"id\" 1,\n"
        "  }\n"
        "  material \"paint\"\n"
        " }\n"
        "}\n"
        "progress \"half\" 0.500\n\n"
        "flags 3\n"
        "transform 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16.5\n"
        "object \"bulb\" {\n"
        " geometry \"triangles\" {\n"
        "  \"vertices\" [ 0 0 0,0.001 0.001 0.001,0.002 0.002 0.002 ] ,\n"
        "  \"triangles\" [ 0,1,2 ] ,\n"
        " }\n"
        " material \"bulb\" {\n"
        "  surface   \"vtl_point_light\" {\n"
        "   \"lumen\" on,\n"
        "   \"power\" 99,\n"
        "   \"color\" 1 0.5 0.25,\n"
        "  }  \n"
        " }\n"
        "}\n"
        "object \"spot\" {\n"
        " geometry \"triangles\" {\n"
        "  \"vertices\" [ 0 0 0,0.001 0.001 0.001,0.002 0.002 0.002 ] ,\n"
        "  \"triangles\" [ 0,1,2 ] ,\n"
        " }\n"
        // cos(pi/2) stays the tiny double it is and is printed through a float.
        " transform 1 0 0 0 0 6.12323e-17 1 0 0 -1 6.12323e-17 0 0 0 0 1\n"
        " material \"spot\" {\n"
        "  surface   \"vtl_ies_light\" {\n"
        "   \"file\" \"beam.ies\",\n"
        "  }  \n"
        " }\n"
        "}\n"
        "object \"neg\" {\n"
        " geometry \"triangles\" {\n"
        "  \"vertices\" [ -2 1.5 0,-2 -1.5 0,2 -1.5 0,-2 1.5 0,2 1.5 0,2 -1.5 0 ] ,\n"
        "  \"triangles\" [ 0,1,2,3,4,5 ] ,\n"
        " }\n"
        " material \"neg\" {\n"
        "  surface   \"vtl_mesh_light\" {\n"
        "   \"lumen\" on,\n"
        "   \"power\" -2,\n"
        "  }  \n"
        " }\n"
        "}\n";
    EXPECT_EQ(body_after_opening(read_file(path)), expected);
}

TEST(Exports, IdsMaterialTableAndInstances) {
    TempFolder folder;
    const std::string first = folder.file("first.scene");
    ASSERT_EQ(openFile(first.c_str(), nullptr, 2, 0.5f), 0);
    setMetal(5, "first", 0.5f, 0.5f, 0.5f);
    setMetal(5, "second", 0.1f, 0.1f, 0.1f);
    int a = 0, b = 0;
    one_triangle("a");
    endTriangleObject(&a, false);
    one_triangle("b");
    setMaterial(5);
    endTriangleObject(&b, false);
    beginInstanceObject("again");
    setInstanceId(b);
    setMaterial(5);
    endInstanceObject();
    closeFile();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    const std::string text = read_file(first);
    EXPECT_NE(text.find("#define material \"first\" {\n"), std::string::npos);
    EXPECT_EQ(text.find("second"), std::string::npos);
    EXPECT_NE(text.find("object \"again\" {\n"
                        " geometry \"instance\" {\n"
                        "  \"id\" 2,\n"
                        " }\n"
                        " material \"first\"\n"
                        "}\n"),
              std::string::npos)
        << text;

    // A new destination starts its ids at 1 and no longer knows material 5.
    const std::string second = folder.file("second.scene");
    ASSERT_EQ(openFile(second.c_str(), nullptr, 2, 0.5f), 0);
    one_triangle("c");
    setMaterial(5);
    int c = 0;
    endTriangleObject(&c, true);
    closeFile();
    EXPECT_EQ(c, 1);
    const std::string text2 = read_file(second);
    EXPECT_EQ(text2.find("\"first\""), std::string::npos);
    EXPECT_NE(text2.find(" material \"default\" {\n"), std::string::npos) << text2;
}

TEST(Exports, CallsOutsideTheContractAreIgnored) {
    closeFile();
    disconnect();
    // No destination: nothing is written anywhere and nothing is remembered.
    setDiffuse(1, "lost", 1.0f, 1.0f, 1.0f);
    beginGroup("lost");
    endGroup();
    setFlags(1);
    setProgress(nullptr, 0.0f);
    addIesLight("lost", "lost.ies");
    setCamera(0, 0, 0, 0, 0, -1, 0, 1, 0, true, nullptr);
    one_triangle("lost");
    endTriangleObject(nullptr, true);
    // Empty slots and null pointers.
    addVertex(1, 2, 3);
    addVertices(kQuadXyz, 4);
    setInstanceId(4);
    endInstanceObject();
    setKnotDomain(0, 1, 0, 1);
    addTrimCurve(1, 0);
    endTrim();
    endNURBSObject(nullptr, true);
    addFrame(0, nullptr);
    setFolder(nullptr);
    endAnimation();
    getVersion(nullptr, 0);

    TempFolder folder;
    const std::string path = folder.file("ignored.scene");
    ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
    // Bulk calls without a mesh reach no later mesh.
    addVertices(kQuadXyz, 4);
    addNormals(kQuadNormals, 4);
    addUVs(kQuadUvs, 4);
    addTriangles(kQuadTriangles, 2);
    transform(nullptr);
    addPointLight("x", 1.0f, nullptr);
    setCamera(0, 0, 0, 0, 0, -1, 0, 1, 0, false, nullptr);
    beginAnimation(nullptr, 0.0f, 1.0f, false);
    addFrame(0, nullptr);
    beginTriangleObject(nullptr);
    setMaterial(1);
    endTriangleObject(nullptr, false);
    addIesLight(nullptr, nullptr);
    // A second end without a new begin ends nothing.
    endAnimation();
    endAnimation();
    one_triangle("twice");
    endTriangleObject(nullptr, true);
    endTriangleObject(nullptr, true);
    closeFile();
    const std::string body = body_after_opening(read_file(path));
    for (const char* once :
         {"#define object \"twice\"", "object \"twice\" {\n geometry \"instance\""})
        EXPECT_EQ(body.find(once), body.rfind(once)) << once;
    EXPECT_EQ(body.find("animation "), body.rfind("animation ")) << body;
    EXPECT_EQ(body.find("lost"), std::string::npos);
    EXPECT_EQ(body.find("\"x\""), std::string::npos);
    EXPECT_EQ(body.find("camera"), std::string::npos);
    // An empty whole array is "[ " right followed by "] ".
    EXPECT_NE(body.find("#define object \"\" {\n id 1\n geometry \"triangles\" {\n"
                        "  \"vertices\" [ ] ,\n  \"triangles\" [ ] ,\n }\n}\n"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("   \"file\" \"\",\n"), std::string::npos) << body;
}

TEST(Exports, EndingADestinationWritesNothingOfItsOwnEvenWithGroupsOpen) {
    TempFolder folder;
    const std::string path = folder.file("open-groups.scene");
    const std::string next = folder.file("next.scene");
    const std::string two_open = "\ngroup \"outer\" {\n"
                                 "\n group \"inner\" {\n"
                                 " }\n"
                                 "\n group \"inner\" {\n";
    // Ended by closeFile and by the next openFile: the file ends where the host stopped.
    for (bool replaced : {false, true}) {
        ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
        beginGroup("outer");
        beginGroup("inner");
        endGroup();
        beginGroup("inner");
        if (replaced)
            ASSERT_EQ(openFile(next.c_str(), nullptr, 2, 0.5f), 0);
        else
            closeFile();
        EXPECT_EQ(body_after_opening(read_file(path)), two_open);
    }
    // A stray endGroup in the next file stays ignored: nothing closes what the last one left.
    endGroup();
    closeFile();
    EXPECT_EQ(body_after_opening(read_file(next)), "");
}

TEST(Exports, OpeningTheFileBeingWrittenEndsItFirstAndLeavesNoHole) {
    TempFolder folder;
    const std::string path = folder.file("same.scene");
    ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
    // More than a stream buffer: part of the first file has reached the disk.
    beginTriangleObject("first file");
    for (int i = 0; i < 20000; ++i)
        addVertex(static_cast<float>(i), 0.5f, 0.25f);
    addTriangle(0, 1, 2);
    endTriangleObject(nullptr, true);
    beginGroup("first file");
    endGroup();
    // The same file under another name: the first stream must end before the file is cut.
    const std::string other_name = folder.file(".") + "/same.scene";
    ASSERT_EQ(openFile(other_name.c_str(), nullptr, 2, 0.5f), 0);
    beginGroup("second file");
    endGroup();
    closeFile();
    const std::string text = read_file(path);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_EQ(body_after_opening(text), "\ngroup \"second file\" {\n}\n");
}

// The live-link exports are tested end to end with the stand-in application (tests/dev/link).
TEST(Exports, Version) {
    char version[8];
    std::memset(version, 'x', sizeof version);
    getVersion(version, 0);
    EXPECT_EQ(std::memcmp(version, "1.7\0xxxx", 8), 0);
}

TEST(Exports, PlainCHost) {
    TempFolder folder;
    const std::string path = folder.file("c.scene");
    EXPECT_EQ(c_host_scene(path.c_str()), 1);
    const std::string text = read_file(path);
    EXPECT_EQ(text.rfind(cs_test::kHeader, 0), 0u);
    EXPECT_NE(text.find("#define object \"c mesh\" {\n id 1\n"), std::string::npos) << text;
}

// Writes the quad into a file of its own, filled by `fill`, and returns the file's text.
template <typename Fill>
std::string quad_file(const TempFolder& folder, const char* name, Fill fill) {
    const std::string path = folder.file(name);
    EXPECT_EQ(openFile(path.c_str(), nullptr, 2, 0.5f), 0);
    beginTriangleObject("quad");
    fill();
    int id = 0;
    endTriangleObject(&id, true);
    closeFile();
    EXPECT_EQ(id, 1);
    return read_file(path);
}

TEST(Exports, BulkCallsWriteWhatSingleCallsWrite) {
    TempFolder folder;
    const std::string single = quad_file(folder, "single.scene", [] {
        for (int i = 0; i < 4; ++i) {
            addVertex(kQuadXyz[3 * i], kQuadXyz[3 * i + 1], kQuadXyz[3 * i + 2]);
            addNormal(kQuadNormals[3 * i], kQuadNormals[3 * i + 1], kQuadNormals[3 * i + 2]);
            addUV(kQuadUvs[2 * i], kQuadUvs[2 * i + 1]);
        }
        addTriangle(0, 1, 2);
        addTriangle(0, 2, 3);
    });
    EXPECT_NE(single.find("\"vertices\" [ 0 0 0,1.5 0 0,1.5 2 0,0 2 -0.25 ] ,\n"
                          "  \"triangles\" [ 0,1,2,0,2,3 ] ,\n"
                          "  \"uv_tex\" [ 0,0,1,0,1,1,0.333333,1 ] ,\n"
                          "  \"normals\" [ 0 0 1,0 0.6 0.8,0 0 1,1e-07 0 -1 ] ,\n"),
              std::string::npos)
        << single;

    const std::string bulk = quad_file(folder, "bulk.scene", [] {
        addTriangles(kQuadTriangles, 2);
        addUVs(kQuadUvs, 4);
        addNormals(kQuadNormals, 4);
        addVertices(kQuadXyz, 4);
    });
    EXPECT_EQ(bulk, single);

    // Pieces of the arrays, bulk and single calls mixed, and input that is ignored.
    const std::string mixed = quad_file(folder, "mixed.scene", [] {
        addVertex(kQuadXyz[0], kQuadXyz[1], kQuadXyz[2]);
        addVertices(kQuadXyz + 3, 2);
        addVertices(nullptr, 5);
        addVertices(kQuadXyz + 9, 0);
        addNormals(kQuadNormals, -1);
        addUVs(nullptr, 4);
        addTriangles(kQuadTriangles, -3);
        addVertices(kQuadXyz + 9, 1);
        addNormals(kQuadNormals, 3);
        addNormal(kQuadNormals[9], kQuadNormals[10], kQuadNormals[11]);
        addUVs(kQuadUvs, 1);
        addUV(kQuadUvs[2], kQuadUvs[3]);
        addUVs(kQuadUvs + 4, 2);
        addTriangle(0, 1, 2);
        addTriangles(kQuadTriangles + 3, 1);
    });
    EXPECT_EQ(mixed, single);
}

TEST(Exports, DynamicSymbolTableHoldsExactlyTheExports) {
#ifdef _WIN32
    // The DLL's export directory, read from the loaded image.
    const auto* base =
        reinterpret_cast<const unsigned char*>(GetModuleHandleA("sceneapi_cs_wrapper.dll"));
    ASSERT_NE(base, nullptr);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const auto* name_offsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> names;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + name_offsets[i]));
#else
    const tool_test::Run nm =
        tool_test::run(std::string("nm -D --defined-only '") + SCENEAPI_LIBRARY_PATH + "'");
    ASSERT_EQ(nm.status, 0) << "nm is needed for this test";
    std::istringstream lines(nm.out);
    std::set<std::string> names;
    for (std::string line; std::getline(lines, line);)
        names.insert(line.substr(line.rfind(' ') + 1));
#endif
    // The header's 55 exports, in its order.
    std::istringstream list(
        "openFile closeFile connectToPhotara disconnect probePhotara getVersion setProgress "
        "setFlags transform beginTriangleObject addVertex addNormal addUV addTriangle "
        "addVertices addNormals addUVs addTriangles endTriangleObject beginInstanceObject "
        "setInstanceId endInstanceObject beginNURBSObject setKnotDomain setOrderUV addUKnot "
        "addVKnot addControlPoint endNURBSObject beginTrim addTrimCurve setTrimDomain "
        "setTrimOrder addTrimNumKnots addTrimKnot addTrimControlPoint endTrim beginGroup "
        "endGroup setDiffuse setPlastic setMetal setGlass setEmissive setGeneric setMaterial "
        "setCamera addPointLight addIesLight addLineLight beginAnimation addFrame setFolder "
        "endAnimation getLastError");
    const std::set<std::string> expected{std::istream_iterator<std::string>(list), {}};
    EXPECT_EQ(expected.size(), 55u);
    EXPECT_EQ(names, expected);
}

} // namespace

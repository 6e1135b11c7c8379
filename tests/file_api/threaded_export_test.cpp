// A big mesh exported through the C interface at several thread counts: the Scene files are
// byte for byte the same, no failure is reported, and no thread of the library is alive
// between two exports. Nothing here depends on timing.

#include "sceneapi_cs_wrapper.h"
#include "support/temp_folder.h"
#include "support/thread_count.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using test_support::read_file;
using test_support::settle_threads;
using test_support::thread_count;

// A grid of side x side vertices with a normal and a uv each; its arrays are above the size
// from which the writer formats on several threads.
struct Grid {
    int side;
    std::vector<float> xyz, normals, uv;
    std::vector<int> triangles;
    explicit Grid(int s) : side(s) {
        for (int j = 0; j < s; ++j) {
            for (int i = 0; i < s; ++i) {
                const float x = float(i) / float(s - 1) * 3.7f - 1.1f;
                const float y = float(j) / float(s - 1) * 2.3f + 0.01f;
                xyz.insert(xyz.end(), {x, y, x * y * 0.37f - 0.5f});
                normals.insert(normals.end(), {0.267f * x, -0.535f, 0.801f * y});
                uv.insert(uv.end(), {float(i) / float(s - 1), float(j) / float(s - 1)});
            }
        }
        for (int j = 0; j + 1 < s; ++j) {
            for (int i = 0; i + 1 < s; ++i) {
                const int a = j * s + i;
                triangles.insert(triangles.end(), {a, a + 1, a + s, a + 1, a + s + 1, a + s});
            }
        }
    }
    int vertices() const { return side * side; }
    int triangle_count() const { return int(triangles.size() / 3); }
};

// Exports the grid to `path` with SCENEAPI_THREADS set to `threads`; returns the failure text.
std::string export_grid(const Grid& grid, const std::string& path, const char* threads,
                        int threads_before) {
    setenv("SCENEAPI_THREADS", threads, 1);
    EXPECT_EQ(openFile(path.c_str(), nullptr, 2, 0.01f), 0);
    beginTriangleObject("grid");
    addVertices(grid.xyz.data(), grid.vertices());
    addNormals(grid.normals.data(), grid.vertices());
    addUVs(grid.uv.data(), grid.vertices());
    addTriangles(grid.triangles.data(), grid.triangle_count());
    int id = 0;
    endTriangleObject(&id, true);
    EXPECT_EQ(thread_count(), threads_before) << "a thread is alive after endTriangleObject";
    beginTriangleObject("small");
    addVertices(grid.xyz.data(), 3);
    addTriangles(grid.triangles.data(), 1);
    endTriangleObject(&id, true);
    closeFile();
    EXPECT_EQ(thread_count(), threads_before) << "a thread is alive after closeFile";
    char why[1024] = {0};
    return getLastError(why, sizeof why - 1) != 0 ? std::string(why) : std::string();
}

TEST(ThreadedExport, TheSameFileAtEveryThreadCount) {
    const char* saved = std::getenv("SCENEAPI_THREADS");
    const std::string kept = saved ? saved : "";
    test_support::TempFolder folder;
    const Grid grid(331); // 109,561 vertices, 218,120 triangles
    settle_threads();
    const int before = thread_count();

    const std::string reference_path = folder.path() + "/one.scene";
    EXPECT_EQ(export_grid(grid, reference_path, "1", before), "");
    const std::string reference = read_file(reference_path);
    ASSERT_GT(reference.size(), 10u * 1000 * 1000);
    for (const char* threads : {"2", "3", "8"}) {
        const std::string path = folder.path() + "/threads" + threads + ".scene";
        EXPECT_EQ(export_grid(grid, path, threads, before), "") << threads;
        EXPECT_TRUE(read_file(path) == reference) << "threads " << threads;
    }

    if (saved)
        setenv("SCENEAPI_THREADS", kept.c_str(), 1);
    else
        unsetenv("SCENEAPI_THREADS");
}

} // namespace

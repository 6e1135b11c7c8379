// An exception inside an export stops at the C boundary: the host gets it from getLastError and
// the log as "<export>: <what>", and the export returns as if nothing was asked. The exception
// is the allocation failure of a host whose memory ran out, made here by this program's own
// operator new, which the library's allocations go through too.

#include "sceneapi_cs_wrapper.h"
#include "support/registry_files.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

namespace {

// Allocations left before one fails; negative: none fails.
std::atomic<int> g_allocations_before_failure{-1};

} // namespace

void* operator new(std::size_t size) {
    if (g_allocations_before_failure.load() >= 0 && g_allocations_before_failure-- == 0)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// What the operator new above took from malloc goes back to free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

std::string last_error() {
    char text[256] = "";
    return getLastError(text, sizeof text) == -1 ? std::string(text) : std::string();
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(Boundary, AnExceptionInAnExportReachesTheHostAndTheLogOnce) {
    // The log goes to the resource folder of an installation record.
    test_support::RegistryFiles records;
    records.folder.write("photara", "");
    records.write_user("[HKEY_CURRENT_USER\\SOFTWARE\\Vantel\\Photara 8]\n\"BinName\"=\"" +
                       records.folder.file("photara") + "\"\n\"ResourceFolder\"=\"" +
                       records.folder.path() + "\"\n");
    const std::string path = records.folder.file("out.scene");
    const std::string long_name(64, 'n'); // a copy of it allocates
    struct Row {
        const char* export_name;
        std::function<void()> before; // untouched by the failure
        std::function<void()> call;   // its first allocation fails
    };
    const Row rows[] = {
        {"addVertex", [] { beginTriangleObject("mesh"); }, [] { addVertex(1, 2, 3); }},
        {"addTriangles", [] { beginTriangleObject("mesh"); },
         [] {
             const int abc[] = {0, 1, 2};
             addTriangles(abc, 1);
         }},
        {"beginGroup", [] {}, [&] { beginGroup(long_name.c_str()); }},
        {"setDiffuse", [] {}, [&] { setDiffuse(3, long_name.c_str(), 1, 0, 0); }},
        {"beginAnimation", [] {}, [&] { beginAnimation(long_name.c_str(), 0, 1, false); }},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 1.0f), 0);
        row.before();
        g_allocations_before_failure = 0;
        row.call();
        g_allocations_before_failure = -1;
        const std::string expected = std::string(row.export_name) + ": std::bad_alloc";
        EXPECT_EQ(last_error(), expected);
        closeFile();
        const std::string log = test_support::read_file(records.folder.file("sceneapi.log"));
        EXPECT_EQ(count(log, "ERROR:  " + expected + "\n"), 1u) << log;
    }
    // The next open starts clean.
    ASSERT_EQ(openFile(path.c_str(), nullptr, 2, 1.0f), 0);
    EXPECT_EQ(last_error(), "");
    closeFile();
}

} // namespace

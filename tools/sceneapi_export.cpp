// sceneapi-export: writes a built-in sample scene into a Scene file through the exported
// interface, or sends it over a live link, then prints a one-line summary.
//
//   sceneapi-export            writes sample.scene
//   sceneapi-export -o PATH    writes PATH ("-": standard output)
//   sceneapi-export --live     sends the scene to a running Photara (any instance of version 7
//                              to 20; Photara is started when none runs)

#include "sceneapi_cs_wrapper.h"
#include "sceneapi_version.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: sceneapi-export [-o PATH | --live]   (PATH \"-\": standard output)\n"
    "       sceneapi-export --help | --version\n";
constexpr int kUpAxisY = 1;

// What the scene handed over.
struct Tally {
    int objects = 0;
    long triangles = 0;
};

// One mesh from flat arrays: vertices (x, y, z), triangles (a, b, c), optional normals and uvs.
int mesh(Tally& tally, const char* name, int material, const std::vector<float>& vertices,
         const std::vector<int>& triangles, const std::vector<float>& normals,
         const std::vector<float>& uvs, bool place) {
    beginTriangleObject(name);
    for (std::size_t i = 0; i + 2 < vertices.size(); i += 3)
        addVertex(vertices[i], vertices[i + 1], vertices[i + 2]);
    for (std::size_t i = 0; i + 2 < normals.size(); i += 3)
        addNormal(normals[i], normals[i + 1], normals[i + 2]);
    for (std::size_t i = 0; i + 1 < uvs.size(); i += 2)
        addUV(uvs[i], uvs[i + 1]);
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3)
        addTriangle(triangles[i], triangles[i + 1], triangles[i + 2]);
    setMaterial(material);
    int id = 0;
    endTriangleObject(&id, place);
    tally.triangles += static_cast<long>(triangles.size() / 3);
    if (place) ++tally.objects;
    return id;
}

// A placement of the defined object `id`; each placement carries its own material.
void instance(Tally& tally, const char* name, int id, int material) {
    beginInstanceObject(name);
    setInstanceId(id);
    setMaterial(material);
    endInstanceObject();
    ++tally.objects;
}

// An axis-aligned box of half size h centred at (cx, cy, cz).
void box(float cx, float cy, float cz, float h, std::vector<float>& v, std::vector<int>& t) {
    for (int i = 0; i < 8; ++i) {
        v.push_back(cx + ((i & 1) ? h : -h));
        v.push_back(cy + ((i & 2) ? h : -h));
        v.push_back(cz + ((i & 4) ? h : -h));
    }
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces)
        t.insert(t.end(), {f[0], f[1], f[2]});
}

// A rotation about y by `angle` radians followed by a move, row after row.
std::vector<double> turn_y(double angle, double x, double y, double z) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, x, y, z, 1};
}

// The sample: materials of every kind, camera, meshes with a twice-placed instance, a group,
// a trimmed NURBS patch, one light of each kind and an animation.
Tally write_sample() {
    Tally tally;
    setProgress("sample scene", 0.0f);
    setDiffuse(1, "matte white", 0.9f, 0.9f, 0.9f);
    setPlastic(2, "red plastic", 0.8f, 0.1f, 0.1f);
    setMetal(3, "brushed steel", 0.7f, 0.7f, 0.75f);
    setGlass(4, "clear glass", 0.95f, 0.95f, 0.95f);
    setEmissive(5, "glow");
    setGeneric(6, "oak", "textures/oak.png", true, "textures/oak_bump.png", 0.6f, 0.4f, 0.2f);

    const float fov4[4] = {-0.5f, 0.5f, -0.375f, 0.375f};
    setCamera(0.0f, 2.0f, 8.0f, 0.0f, -0.25f, -1.0f, 0.0f, 1.0f, 0.0f, false, fov4);

    // The floor: a textured quad with normals and uvs.
    mesh(tally, "floor", 6, {-5, 0, -5, 5, 0, -5, 5, 0, 5, -5, 0, 5}, {0, 2, 1, 0, 3, 2},
         {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0}, {0, 0, 4, 0, 4, 4, 0, 4}, true);

    // A table group: a top and a glass vase.
    beginGroup("table");
    std::vector<float> v;
    std::vector<int> t;
    box(0.0f, 1.0f, 0.0f, 0.5f, v, t);
    mesh(tally, "table top", 3, v, t, {}, {}, true);
    mesh(tally, "vase", 4, {0, 1.5f, 0, 0.2f, 1.5f, 0, 0, 1.5f, 0.2f, 0, 2.0f, 0},
         {0, 2, 1, 0, 1, 3, 1, 2, 3, 2, 0, 3}, {}, {}, true);
    endGroup();

    // A crate defined once and placed twice.
    v.clear();
    t.clear();
    box(2.5f, 0.5f, 1.0f, 0.5f, v, t);
    const int crate = mesh(tally, "crate", 2, v, t, {}, {}, false);
    instance(tally, "crate A", crate, 2);
    instance(tally, "crate B", crate, 2);

    // A bilinear NURBS patch with a square hole.
    beginNURBSObject("panel");
    setKnotDomain(0.0, 1.0, 0.0, 1.0);
    setOrderUV(2, 2);
    for (double k : {0.0, 0.0, 1.0, 1.0})
        addUKnot(k);
    for (double k : {0.0, 0.0, 1.0, 1.0})
        addVKnot(k);
    addControlPoint(-3.0, 0.0, -3.0, 1.0);
    addControlPoint(-1.0, 0.0, -3.0, 1.0);
    addControlPoint(-3.0, 2.0, -3.0, 1.0);
    addControlPoint(-1.0, 2.0, -3.0, 1.0);
    setMaterial(1);
    beginTrim();
    addTrimCurve(4, 1);
    const double corners[5][2] = {
        {0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}, {0.25, 0.25}};
    for (int e = 0; e < 4; ++e) {
        setTrimDomain(0.0, 1.0);
        setTrimOrder(2);
        addTrimNumKnots(4);
        for (double k : {0.0, 0.0, 1.0, 1.0})
            addTrimKnot(k);
        addTrimControlPoint(corners[e][0], corners[e][1], 1.0);
        addTrimControlPoint(corners[e + 1][0], corners[e + 1][1], 1.0);
    }
    endTrim();
    int panel = 0;
    endNURBSObject(&panel, true);
    ++tally.objects;

    // A glowing strip to carry the emissive material.
    mesh(tally, "glow strip", 5, {-1, 3, -2, 1, 3, -2, 1, 3.1f, -2}, {0, 1, 2}, {}, {}, true);
    setProgress("sample scene", 0.5f);

    const float warm[3] = {1.0f, 0.9f, 0.8f};
    addPointLight("key light", 800.0f, warm);
    addIesLight("downlight", "profiles/downlight.ies");
    addLineLight("strip light", 1200.0f, 1.2f, 0.1f);
    tally.objects += 3;

    beginAnimation("crate spin", 0.0f, 2.0f, true);
    for (int frame = 0; frame < 3; ++frame)
        addFrame(frame * 30, turn_y(frame * 0.785398, 2.5, 0.5, 1.0).data());
    setFolder("animations");
    endAnimation();

    setProgress("sample scene", 1.0f);
    return tally;
}

// Measures what the Scene file grew by: a descriptor on the destination taken before it is
// opened (for "-", a duplicate of standard output), and its size at that moment.
class ByteCounter {
public:
    explicit ByteCounter(const std::string& path) : path_(path) {
        if (path_ == "-") {
            fd_ = dup(STDOUT_FILENO);
            if (fd_ >= 0) start_ = size_of_fd(fd_);
        }
    }
    ~ByteCounter() {
        if (fd_ >= 0) close(fd_);
    }
    ByteCounter(const ByteCounter&) = delete;
    ByteCounter& operator=(const ByteCounter&) = delete;

    // Bytes written since construction; -1 when the destination is not a regular file.
    long long written() const {
        if (path_ != "-") {
            struct stat info {};
            if (stat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
            return static_cast<long long>(info.st_size);
        }
        if (fd_ < 0 || start_ < 0) return -1;
        const long long end = size_of_fd(fd_);
        return end < 0 ? -1 : end - start_;
    }

private:
    // The size of the regular file behind `fd`; -1 for anything else.
    static long long size_of_fd(int fd) {
        struct stat info {};
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
        return static_cast<long long>(info.st_size);
    }

    std::string path_;
    int fd_ = -1;
    long long start_ = -1;
};

// Prints the library's report of the first failure since the destination was opened and
// returns 1; returns 0 when there is none.
int report_failure() {
    char text[2048] = {};
    if (getLastError(text, sizeof text - 1) == 0) return 0;
    std::fprintf(stderr, "sceneapi-export: %s\n", text);
    return 1;
}

// Sends the sample over a live link to any running instance and prints the summary.
int send_live() {
    const auto start = std::chrono::steady_clock::now();
    char error[512] = {};
    // Any running instance of major version 7 to 20 will do.
    if (connectToPhotara("", error, sizeof error - 1, kUpAxisY, 1.0f, 7, 20, true) != 0) {
        std::fprintf(stderr, "sceneapi-export: %s", error);
        if (error[0] == '\0' || error[std::strlen(error) - 1] != '\n') std::fputc('\n', stderr);
        disconnect();
        return 1;
    }
    const Tally tally = write_sample();
    disconnect();
    if (report_failure() != 0) return 1;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("sceneapi-export: live link: %d objects, %ld triangles in %.1f ms\n", tally.objects,
                tally.triangles, ms);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string path = "sample.scene";
    bool live = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("sceneapi-export %s (interface %s)\n", SCENEAPI_VERSION,
                        SCENEAPI_INTERFACE_VERSION);
            return 0;
        } else if (std::strcmp(argv[i], "--live") == 0) {
            live = true;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    if (live) return send_live();

    const ByteCounter counter(path);
    const auto start = std::chrono::steady_clock::now();
    if (openFile(path.c_str(), nullptr, kUpAxisY, 1.0f) != 0) return report_failure();
    const Tally tally = write_sample();
    closeFile();
    // A file that did not receive the whole scene is no success, whatever was handed over.
    if (report_failure() != 0) return 1;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    // With "-" the scene owns standard output, so the summary goes to standard error.
    FILE* out = path == "-" ? stderr : stdout;
    const long long bytes = counter.written();
    std::fprintf(out, "sceneapi-export: %s: %d objects, %ld triangles, ",
                 path == "-" ? "standard output" : path.c_str(), tally.objects, tally.triangles);
    if (bytes >= 0)
        std::fprintf(out, "%lld bytes", bytes);
    else
        std::fprintf(out, "bytes not counted");
    std::fprintf(out, " in %.1f ms\n", ms);
    return 0;
}

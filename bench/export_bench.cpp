// Export of big meshes, measured side by side in one run: the public C interface writing a
// Scene file (value by value and in bulk, with the writer's threads and on one thread), the same
// text with every number printed by snprintf,
// the bare fwrite of the finished bytes, the ASCII PLY exporter of assimp on the same mesh, and
// the peak resident memory of the export. Prints a table; exits non-zero when the snprintf text
// differs from ours.

#include "file_api/chunk_pipeline.h"
#include "grid_mesh.h"
#include "sceneapi_cs_wrapper.h"

#include <assimp/Exporter.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Grid sides giving 100,352, 999,698 and (with --10m) 9,999,392 triangles.
constexpr int kSmallSide = 224;
constexpr int kLargeSide = 707;
constexpr int kHugeSide = 2236;
// Best of this many runs per figure (fewer for the slow assimp runs on the large mesh).
constexpr int kRepeats = 5;
constexpr int kRepeatsLarge = 3;
// What a managed host pays for one call across the interface (measured with mono).
constexpr double kManagedCallSeconds = 50e-9;

constexpr char kMeshName[] = "grid";
constexpr char kDefinitionStart[] = "#define object \"grid\" {\n";
constexpr char kPlyFormat[] = "ply";
constexpr int kUpAxis = 2;
constexpr float kMeterScale = 1.0f;
// Indentation of the array lines inside the geometry block, and the chunk the reference
// formats into before writing.
constexpr unsigned kArrayIndent = 2;
constexpr std::size_t kChunk = std::size_t(1) << 20;
constexpr std::size_t kNumberRoom = 64;
constexpr char kStatusFile[] = "/proc/self/status";
constexpr char kClearRefs[] = "/proc/self/clear_refs";
constexpr char kResetPeak[] = "5";

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Best time of `runs` runs; `prepare` runs untimed before each one.
double best_of(int runs, const std::function<void()>& prepare, const std::function<void()>& run) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double start = now();
        run();
        best = std::min(best, now() - start);
    }
    return best;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

long file_size(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? long(in.tellg()) : -1;
}

// A folder of its own under the temporary folder, removed with its files.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/export-bench-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        for (const std::string& f : files_)
            std::remove(f.c_str());
        rmdir(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string file(const std::string& name) {
        files_.push_back(path_ + "/" + name);
        return files_.back();
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

// ---- Ours, through the public C interface -------------------------------------------------

struct HandOver {
    double calls_seconds = 0; // begin and the adds
    double total_seconds = 0; // openFile to closeFile
};

void hand_over_single(const GridMesh& m) {
    const float* v = m.vertices.data();
    const float* n = m.normals.data();
    const float* t = m.uvs.data();
    const int* tri = m.triangles.data();
    for (int i = 0; i < m.vertex_count(); ++i)
        addVertex(v[3 * i], v[3 * i + 1], v[3 * i + 2]);
    for (int i = 0; i < m.vertex_count(); ++i)
        addNormal(n[3 * i], n[3 * i + 1], n[3 * i + 2]);
    for (int i = 0; i < m.vertex_count(); ++i)
        addUV(t[2 * i], t[2 * i + 1]);
    for (int i = 0; i < m.triangle_count(); ++i)
        addTriangle(tri[3 * i], tri[3 * i + 1], tri[3 * i + 2]);
}

void hand_over_bulk(const GridMesh& m) {
    addVertices(m.vertices.data(), m.vertex_count());
    addNormals(m.normals.data(), m.vertex_count());
    addUVs(m.uvs.data(), m.vertex_count());
    addTriangles(m.triangles.data(), m.triangle_count());
}

// The writer's thread count of the exports that follow (read by openFile).
void use_threads(unsigned threads) {
    setenv("SCENEAPI_THREADS", std::to_string(threads).c_str(), 1);
}

HandOver export_mesh(const GridMesh& m, const std::string& path, bool bulk) {
    HandOver t;
    const double start = now();
    if (openFile(path.c_str(), nullptr, kUpAxis, kMeterScale) != 0) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(2);
    }
    const double calls_start = now();
    beginTriangleObject(kMeshName);
    if (bulk)
        hand_over_bulk(m);
    else
        hand_over_single(m);
    t.calls_seconds = now() - calls_start;
    int id = 0;
    endTriangleObject(&id, true);
    closeFile();
    t.total_seconds = now() - start;
    return t;
}

HandOver best_export(const GridMesh& m, const std::string& path, bool bulk, int runs) {
    HandOver best{1e30, 1e30};
    for (int i = 0; i < runs; ++i) {
        std::remove(path.c_str());
        HandOver t = export_mesh(m, path, bulk);
        best.calls_seconds = std::min(best.calls_seconds, t.calls_seconds);
        best.total_seconds = std::min(best.total_seconds, t.total_seconds);
    }
    return best;
}

// ---- The reference: the same mesh text with every number printed by snprintf -------------

class SnprintfWriter {
public:
    explicit SnprintfWriter(FILE* out) : out_(out), buffer_(new char[kChunk + kNumberRoom]) {}
    ~SnprintfWriter() { flush(); }
    SnprintfWriter(const SnprintfWriter&) = delete;
    SnprintfWriter& operator=(const SnprintfWriter&) = delete;

    void text(const char* s) { text(s, std::strlen(s)); }
    void text(const char* s, std::size_t n) {
        flush();
        std::fwrite(s, 1, n, out_);
    }
    // One array parameter: element i printed by `element`, a comma between elements, a blank
    // after the last, a line break and the indentation after every eighth.
    template <typename Element> void array(const char* name, std::size_t count, Element element) {
        used_ += std::size_t(std::snprintf(cursor(), kNumberRoom, "  \"%s\" [ ", name));
        for (std::size_t i = 0; i < count; ++i) {
            element(i);
            put(i + 1 < count ? ',' : ' ');
            if (i > 0 && i % 8 == 0) {
                put('\n');
                for (unsigned k = 0; k < kArrayIndent; ++k)
                    put(' ');
            }
        }
        used_ += std::size_t(std::snprintf(cursor(), kNumberRoom, "] ,\n"));
        flush();
    }
    void g(float v) { used_ += std::size_t(std::snprintf(cursor(), kNumberRoom, "%g", double(v))); }
    void d(int v) { used_ += std::size_t(std::snprintf(cursor(), kNumberRoom, "%d", v)); }
    void put(char c) {
        buffer_[used_++] = c;
        if (used_ >= kChunk) flush();
    }
    char* cursor() {
        if (used_ + kNumberRoom > kChunk) flush();
        return buffer_.get() + used_;
    }
    void flush() {
        if (used_) std::fwrite(buffer_.get(), 1, used_, out_);
        used_ = 0;
    }

private:
    FILE* out_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// Floats print as themselves strictly inside the finite float range, else as -1.
float finite_or_minus_one(float v) {
    return (v > -3.40282347e38f && v < 3.40282347e38f) ? v : -1.0f;
}

// Writes `opening`, the mesh definition block formatted with snprintf, then `closing`.
void write_reference(const GridMesh& m, const std::string& opening, const std::string& closing,
                     const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::perror(path.c_str());
        std::exit(2);
    }
    {
        SnprintfWriter w(out);
        w.text(opening.data(), opening.size());
        w.text(kDefinitionStart);
        w.text(" id 1\n geometry \"triangles\" {\n");
        auto triple = [&](const std::vector<float>& values) {
            return [&w, &values](std::size_t i) {
                w.g(values[3 * i]);
                w.put(' ');
                w.g(values[3 * i + 1]);
                w.put(' ');
                w.g(values[3 * i + 2]);
            };
        };
        w.array("vertices", m.vertices.size() / 3, triple(m.vertices));
        w.array("triangles", m.triangles.size(), [&](std::size_t i) { w.d(m.triangles[i]); });
        w.array("uv_tex", m.uvs.size(), [&](std::size_t i) { w.g(finite_or_minus_one(m.uvs[i])); });
        w.array("normals", m.normals.size() / 3, triple(m.normals));
        w.text(" }\n}\n");
        w.text(closing.data(), closing.size());
    }
    std::fclose(out);
}

// ---- The floor: the finished bytes written with fwrite ------------------------------------

void write_bytes(const std::string& bytes, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::perror(path.c_str());
        std::exit(2);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

// ---- assimp's ASCII PLY exporter ----------------------------------------------------------

std::unique_ptr<aiScene> assimp_scene(const GridMesh& m) {
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode();
    scene->mRootNode->mNumMeshes = 1;
    scene->mRootNode->mMeshes = new unsigned[1]{0};
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial* [1] { new aiMaterial() };
    auto* mesh = new aiMesh();
    scene->mNumMeshes = 1;
    scene->mMeshes = new aiMesh* [1] { mesh };
    mesh->mMaterialIndex = 0;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    const unsigned nv = unsigned(m.vertex_count());
    mesh->mNumVertices = nv;
    mesh->mVertices = new aiVector3D[nv];
    mesh->mNormals = new aiVector3D[nv];
    mesh->mTextureCoords[0] = new aiVector3D[nv];
    mesh->mNumUVComponents[0] = 2;
    for (unsigned i = 0; i < nv; ++i) {
        mesh->mVertices[i] =
            aiVector3D(m.vertices[3 * i], m.vertices[3 * i + 1], m.vertices[3 * i + 2]);
        mesh->mNormals[i] =
            aiVector3D(m.normals[3 * i], m.normals[3 * i + 1], m.normals[3 * i + 2]);
        mesh->mTextureCoords[0][i] = aiVector3D(m.uvs[2 * i], m.uvs[2 * i + 1], 0.0f);
    }
    const unsigned nf = unsigned(m.triangle_count());
    mesh->mNumFaces = nf;
    mesh->mFaces = new aiFace[nf];
    for (unsigned f = 0; f < nf; ++f) {
        mesh->mFaces[f].mNumIndices = 3;
        mesh->mFaces[f].mIndices =
            new unsigned[3]{unsigned(m.triangles[3 * f]), unsigned(m.triangles[3 * f + 1]),
                            unsigned(m.triangles[3 * f + 2])};
    }
    return scene;
}

void export_ply(const aiScene& scene, Assimp::Exporter& exporter, const std::string& path) {
    if (exporter.Export(&scene, kPlyFormat, path) != aiReturn_SUCCESS) {
        std::fprintf(stderr, "assimp: %s\n", exporter.GetErrorString());
        std::exit(2);
    }
}

// ---- Peak resident memory -----------------------------------------------------------------

// A "VmRSS:" or "VmHWM:" figure of this process, in bytes.
long status_bytes(const char* key) {
    FILE* f = std::fopen(kStatusFile, "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    const std::size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0) kib = std::strtol(line + n, nullptr, 10);
    std::fclose(f);
    return kib < 0 ? -1 : kib * 1024;
}

// Runs one export in a child process that first gives free heap memory back to the system and
// restarts its peak count; returns how far the peak rose above the resident size at the start.
long export_peak_bytes(const GridMesh& m, const std::string& path, bool bulk) {
    std::fflush(nullptr);
    int channel[2];
    if (pipe(channel) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        close(channel[0]);
        malloc_trim(0);
        if (FILE* clear = std::fopen(kClearRefs, "w")) {
            std::fputs(kResetPeak, clear);
            std::fclose(clear);
        }
        const long baseline = status_bytes("VmRSS:");
        export_mesh(m, path, bulk);
        const long peak = status_bytes("VmHWM:");
        const long rise = (baseline < 0 || peak < 0) ? -1 : peak - baseline;
        if (write(channel[1], &rise, sizeof rise) != sizeof rise) _exit(1);
        _exit(0);
    }
    close(channel[1]);
    long rise = -1;
    if (read(channel[0], &rise, sizeof rise) != sizeof rise) rise = -1;
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return rise;
}

// ---- One mesh -----------------------------------------------------------------------------

// The large mesh's time per triangle, for the huge mesh's ratio.
double large_ns_per_triangle = 0;

constexpr double kMB = 1e6;
constexpr double kMiB = 1024.0 * 1024.0;

bool run_mesh(int side, unsigned threads, ScratchFolder& folder) {
    const GridMesh mesh(side);
    const bool huge = side >= kHugeSide; // only our exports, the floor and the memory
    // Our exports and the floor are timed as often on the huge mesh as on the large one, so that
    // the time per triangle of the two compares like with like; the slow references run once.
    const int runs = side >= kLargeSide ? kRepeatsLarge : kRepeats;
    const int reference_runs = huge ? 1 : runs;
    const double tris = mesh.triangle_count();
    const std::string tag = std::to_string(side);
    const std::string ours_path = folder.file("ours-" + tag + ".scene");
    const std::string ref_path = folder.file("snprintf-" + tag + ".scene");
    const std::string floor_path = folder.file("fwrite-" + tag + ".scene");
    const std::string ply_path = folder.file("assimp-" + tag + ".ply");
    auto remove = [](const std::string& p) { return [p] { std::remove(p.c_str()); }; };

    const std::string one_path = folder.file("one-thread-" + tag + ".scene");
    use_threads(1);
    const HandOver one_thread = best_export(mesh, one_path, true, runs);
    const std::string one_thread_text = read_file(one_path);
    std::remove(one_path.c_str());
    use_threads(threads);
    const HandOver single = huge ? HandOver{} : best_export(mesh, ours_path, false, runs);
    const HandOver bulk = best_export(mesh, ours_path, true, runs);
    const std::string ours = read_file(ours_path);
    const double bytes = double(ours.size());
    const bool same_as_one_thread = ours == one_thread_text;

    // The parts around the mesh definition come from our file; the mesh text is the reference's.
    const std::size_t mesh_at = ours.find(kDefinitionStart);
    const std::size_t mesh_end = ours.find("\n}\n", mesh_at);
    if (mesh_at == std::string::npos || mesh_end == std::string::npos) {
        std::fprintf(stderr, "no mesh definition in our file\n");
        return false;
    }
    const std::string opening = ours.substr(0, mesh_at);
    const std::string closing = ours.substr(mesh_end + 3);
    const double reference = best_of(reference_runs, remove(ref_path),
                                     [&] { write_reference(mesh, opening, closing, ref_path); });
    const bool identical = read_file(ref_path) == ours && same_as_one_thread;
    std::remove(ref_path.c_str());

    const double floor = best_of(runs, remove(floor_path), [&] { write_bytes(ours, floor_path); });
    std::remove(floor_path.c_str());

    double ply = 0, ply_bytes = 0;
    if (!huge) {
        const std::unique_ptr<aiScene> scene = assimp_scene(mesh);
        Assimp::Exporter exporter;
        ply = best_of(runs, remove(ply_path), [&] { export_ply(*scene, exporter, ply_path); });
        ply_bytes = double(file_size(ply_path));
        std::remove(ply_path.c_str());
    }

    const long peak_bulk = export_peak_bytes(mesh, ours_path, true);
    const long peak_single = huge ? 0 : export_peak_bytes(mesh, ours_path, false);
    std::remove(ours_path.c_str());
    const double raw = double(mesh.raw_bytes());
    const double memory_limit = 1.5 * raw + 8 * kMiB;
    const double threaded_memory_limit = raw + 16 * kMiB;

    const double calls = double(mesh.single_calls());
    const double managed_single = single.calls_seconds + calls * kManagedCallSeconds;
    const double managed_bulk = bulk.calls_seconds + 4 * kManagedCallSeconds;

    std::printf("\n== %d triangles, %d vertices, normals and uvs: %.1f MB of Scene file text, "
                "%.1f MB of mesh arrays ==\n",
                mesh.triangle_count(), mesh.vertex_count(), bytes / kMB, raw / kMB);
    std::printf("%-46s %10s %10s %12s %s\n", "", "seconds", "MB/s", "Mtriangles/s", "ratio");
    auto row = [&](const char* what, double s, double out_bytes, const char* ratio) {
        std::printf("%-46s %10.4f %10.0f %12.2f %s\n", what, s, out_bytes / s / kMB, tris / s / 1e6,
                    ratio);
    };
    char text[160];
    char what[64];
    std::snprintf(what, sizeof what, "ours, bulk exports, %u thread%s", threads,
                  threads == 1 ? "" : "s");
    const double ns_per_triangle = bulk.total_seconds / tris * 1e9;
    if (side == kLargeSide) large_ns_per_triangle = ns_per_triangle;
    if (huge && large_ns_per_triangle > 0)
        std::snprintf(text, sizeof text,
                      "%.2f ns a triangle, %.2fx the 1M figure  [target <= 1.15x]", ns_per_triangle,
                      ns_per_triangle / large_ns_per_triangle);
    else
        std::snprintf(text, sizeof text, "%.2f ns a triangle", ns_per_triangle);
    row(what, bulk.total_seconds, bytes, text);
    std::snprintf(text, sizeof text, "threads %.2fx faster  [target >= 1.6x]  bytes %s",
                  one_thread.total_seconds / bulk.total_seconds,
                  same_as_one_thread ? "identical" : "DIFFER: FAIL");
    row("ours, bulk exports, 1 thread", one_thread.total_seconds, bytes, text);
    if (!huge) {
        std::snprintf(text, sizeof text, "bulk %.2fx faster",
                      single.total_seconds / bulk.total_seconds);
        row("ours, per-value exports", single.total_seconds, bytes, text);
    }
    std::snprintf(text, sizeof text, "ours %.2fx faster  [target >= 3x]  bytes %s",
                  reference / bulk.total_seconds, identical ? "identical: PASS" : "DIFFER: FAIL");
    row("snprintf reference, same text", reference, bytes, text);
    std::snprintf(text, sizeof text, "ours %.2fx the floor  [target <= 2.5x]",
                  bulk.total_seconds / floor);
    row("fwrite of the finished bytes (floor)", floor, bytes, text);
    if (huge) {
        std::printf("peak resident memory of the bulk export above the start: %.1f MiB, the "
                    "arrays %.1f MiB + %.1f MiB  [target <= arrays + 16 MiB] %s\n",
                    peak_bulk / kMiB, raw / kMiB, (peak_bulk - raw) / kMiB,
                    peak_bulk <= threaded_memory_limit ? "within" : "ABOVE");
        return identical;
    }
    std::snprintf(text, sizeof text, "ours %.2fx faster per triangle  [target >= 8x]",
                  ply / bulk.total_seconds);
    row("assimp ASCII PLY exporter, same mesh", ply, ply_bytes, text);
    std::printf("%-46s %.1f MB written\n", "", ply_bytes / kMB);

    std::printf("hand-over of the mesh (beginTriangleObject and the adds):\n");
    std::printf("  per-value %d calls: %.4f s (%.1f ns a call); bulk 4 calls: %.4f s; "
                "bulk %.1fx faster  [target >= 5x]\n",
                int(calls), single.calls_seconds, single.calls_seconds / calls * 1e9,
                bulk.calls_seconds, single.calls_seconds / bulk.calls_seconds);
    std::printf("  with %.0f ns a call of a managed host: per-value %.4f s, bulk %.4f s: "
                "bulk %.1fx faster\n",
                kManagedCallSeconds * 1e9, managed_single, managed_bulk,
                managed_single / managed_bulk);
    std::printf("peak resident memory of the export above the start (limit 1.5 x %.1f MiB of "
                "arrays + 8 MiB = %.1f MiB):\n",
                raw / kMiB, memory_limit / kMiB);
    std::printf("  bulk %.1f MiB (%.2f x the arrays) %s; per-value %.1f MiB (%.2f x the arrays) "
                "%s\n",
                peak_bulk / kMiB, peak_bulk / raw, peak_bulk <= memory_limit ? "within" : "ABOVE",
                peak_single / kMiB, peak_single / raw,
                peak_single <= memory_limit ? "within" : "ABOVE");
    std::printf("  bulk: the arrays + %.1f MiB  [target <= arrays + 16 MiB] %s\n",
                (peak_bulk - raw) / kMiB, peak_bulk <= threaded_memory_limit ? "within" : "ABOVE");
    return identical;
}

} // namespace

// export_bench [--10m]: --10m adds a mesh of ten million triangles (our exports, the floor and
// the memory only; about 0.6 GB of files at a time in the temporary folder).
int main(int argc, char** argv) {
    const bool ten_million = argc > 1 && std::strcmp(argv[1], "--10m") == 0;
    char host[256] = "";
    gethostname(host, sizeof host - 1);
    // The thread count the writer takes by itself (SCENEAPI_THREADS, else the cores).
    const unsigned threads = vtl::chunk_pipeline::default_threads();
    std::printf(
        "export_bench on %s, %ld cores, the writer's threads: %u (SCENEAPI_THREADS "
        "overrides); best of %d runs (%d on the large and 10M meshes, the snprintf reference "
        "once on the 10M one); files in "
        "the temporary folder\n",
        host, sysconf(_SC_NPROCESSORS_ONLN), threads, kRepeats, kRepeatsLarge);
    ScratchFolder folder;
    bool identical = true;
    std::vector<int> sides = {kSmallSide, kLargeSide};
    if (ten_million) sides.push_back(kHugeSide);
    for (int side : sides)
        identical = run_mesh(side, threads, folder) && identical;
    std::printf("\nsnprintf reference and ours byte-identical: %s\n", identical ? "PASS" : "FAIL");
    return identical ? 0 : 1;
}

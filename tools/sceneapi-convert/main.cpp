// sceneapi-convert: reads models (any format assimp reads: glTF, OBJ, FBX, PLY, STL, ...) and
// hands them to the library through its exported C interface.
//
//   sceneapi-convert MODEL -o OUT.scene         writes a Scene file ("-o -": standard output)
//   sceneapi-convert MODEL... -d OUTDIR         one Scene file per model, and a table
//   sceneapi-convert MODEL --live               sends it to a running Photara
//   sceneapi-convert FILE.scene -o OUT.glb      a Scene file as glTF (.glb, .gltf) or OBJ
//
// Exit status 0 when every model was converted, 1 when one failed ("sceneapi-convert: MODEL:
// reason", or the library's report when the destination failed), 2 for bad arguments.

#include "progress.h"
#include "scene_converter.h"
#include "scene_export.h"
#include "sceneapi_cs_wrapper.h"
#include "sceneapi_version.h"
#include "texture_files.h"

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/importerdesc.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/version.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
// Some of assimp's importers leave their partial scene behind when they give up on a broken
// file; that memory is the system library's, not the converter's.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libassimp.so\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
#endif

namespace {

constexpr const char kUsage[] =
    "usage: sceneapi-convert MODEL -o OUT.scene [options]     a Scene file (\"-o -\": standard "
    "output)\n"
    "       sceneapi-convert MODEL... -d OUTDIR [options]     one Scene file per model; a folder\n"
    "                                                         stands for the models in it\n"
    "       sceneapi-convert MODEL --live [options]           a running Photara\n"
    "       sceneapi-convert FILE.scene -o OUT.glb|.gltf|.obj a Scene file as glTF or OBJ\n"
    "       sceneapi-convert --help | --version | --list-formats\n"
    "options:\n"
    "  --up-axis x|y|z   up axis written into the import options (also 0|1|2; default y)\n"
    "  --meter-scale S   metres per model unit, a positive number (default 1)\n"
    "  --quiet           nothing but errors: no progress bar, warnings or summary\n"
    "exit status: 0 converted, 1 a model or its destination failed, 2 bad arguments\n";

enum class Action { Convert, Help, Version, Formats };

struct Options {
    Action action = Action::Convert;
    std::vector<std::string> models;
    std::string output; // -o
    std::string folder; // -d
    bool live = false;
    bool quiet = false;
    int up_axis = 1; // y up, the convention of the models assimp hands over
    float meter_scale = 1;
};

// One model and where it goes.
struct Job {
    std::string model;
    std::string output;  // empty for the live link
    std::string failure; // set when the job fails before it starts (a folder without models)
};

// What became of one model.
struct Outcome {
    bool ok = false;
    bool destination_failed = false; // the reason is the library's report, naming the file
    std::string reason;
    ConversionSummary summary;
    double ms = 0;
};

// Reads the command line into `o`; the usage error, or an empty text.
std::string parse(int argc, char** argv, Options& o) {
    bool only_models = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (only_models || a.empty() || a[0] != '-' || a == "-") {
            o.models.push_back(a);
        } else if (a == "--") {
            only_models = true;
        } else if (a == "--help") {
            o.action = Action::Help;
        } else if (a == "--version") {
            o.action = Action::Version;
        } else if (a == "--list-formats") {
            o.action = Action::Formats;
        } else if (a == "-o" || a == "-d") {
            std::string& target = a == "-o" ? o.output : o.folder;
            if (!value(v) || v.empty()) return a + " needs a value";
            if (!target.empty()) return "give only one of -o, -d and --live";
            target = v;
        } else if (a == "--live") {
            o.live = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--up-axis") {
            if (!value(v)) return a + " needs a value";
            static const std::map<std::string, int> axes = {{"x", 0}, {"y", 1}, {"z", 2},
                                                            {"0", 0}, {"1", 1}, {"2", 2}};
            const auto axis = axes.find(v);
            if (axis == axes.end()) return "--up-axis takes x, y, z, 0, 1 or 2, not \"" + v + "\"";
            o.up_axis = axis->second;
        } else if (a == "--meter-scale") {
            if (!value(v)) return a + " needs a value";
            char* end = nullptr;
            errno = 0;
            const double s = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(s) || s <= 0 ||
                s > 3.4e38 || static_cast<float>(s) <= 0)
                return "--meter-scale takes a positive number, not \"" + v + "\"";
            o.meter_scale = static_cast<float>(s);
        } else {
            return "unknown option " + a;
        }
    }
    if (o.action != Action::Convert) return {};
    if (o.models.empty()) return "no model given";
    const int destinations = !o.output.empty() + !o.folder.empty() + o.live;
    if (destinations == 0) return "no destination: give -o OUT.scene, -d OUTDIR or --live";
    if (destinations > 1) return "give only one of -o, -d and --live";
    if (o.folder.empty() && o.models.size() > 1)
        return "-o and --live take one model; use -d OUTDIR for several";
    return {};
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code e1, e2;
    if (fs::equivalent(a, b, e1)) return true;
    const fs::path ca = fs::weakly_canonical(a, e1), cb = fs::weakly_canonical(b, e2);
    return !e1 && !e2 && ca == cb;
}

// Why `model` cannot be read at all, or an empty text.
std::string unreadable(const std::string& model) {
    std::error_code e;
    const fs::file_status st = fs::status(model, e);
    if (!fs::exists(st)) return "no such file";
    if (fs::is_directory(st)) return "is a folder (give -d OUTDIR to convert the models in it)";
    std::FILE* f = std::fopen(model.c_str(), "rb");
    if (!f) return std::strerror(errno);
    const int first = std::fgetc(f);
    std::fclose(f);
    if (first == EOF && fs::is_regular_file(st)) return "the file is empty";
    return {};
}

// Shows the share of reading on the bar.
class ReadProgress : public Assimp::ProgressHandler {
public:
    ReadProgress(Bar& bar, std::string text) : bar_(bar), text_(std::move(text)) {}
    bool Update(float percentage) override {
        if (percentage >= 0) bar_.show(text_, kReadShare * std::min(percentage, 1.f));
        return true;
    }

private:
    Bar& bar_;
    std::string text_;
};

// The library's report of the first failure since the destination was opened, or an empty
// text.
std::string library_failure() {
    char text[2048] = {};
    if (getLastError(text, sizeof text - 1) == 0) return {};
    return text[0] ? text : "the destination failed";
}

Outcome convert(const Options& o, const Job& job) {
    Outcome out;
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    out.reason = unreadable(job.model);
    if (!out.reason.empty()) return out;
    const std::string name = fs::path(job.model).filename().string();
    Bar bar(!o.quiet);
    Assimp::Importer importer;
    importer.SetProgressHandler(new ReadProgress(bar, "reading " + name)); // owned by importer
    const aiScene* scene =
        importer.ReadFile(job.model, aiProcess_ValidateDataStructure | aiProcess_Triangulate |
                                         aiProcess_JoinIdenticalVertices | aiProcess_SortByPType);
    if (!scene) {
        out.reason = importer.GetErrorString();
        if (out.reason.empty())
            out.reason = importer.IsExtensionSupported(fs::path(job.model).extension().string())
                             ? "the importer read no scene from it and gave no reason"
                             : "no importer reads this format (see --list-formats)";
        return out;
    }
    const bool to_file = !o.live;
    const bool file_output = to_file && job.output != "-";
    TextureFiles textures(*scene, job.model, file_output ? fs::path(job.output) : fs::path());
    SceneConverter converter(*scene, textures);
    out.reason = converter.refusal();
    if (!out.reason.empty()) return out;

    if (o.live) {
        char error[512] = {};
        // Any major version of the application will do.
        if (connectToPhotara(name.c_str(), error, sizeof error - 1, o.up_axis, o.meter_scale, 1,
                             1000, true) != 0) {
            out.reason = std::string("no live link: ") + (error[0] ? error : "no reason given");
            return out;
        }
    } else if (openFile(job.output.c_str(), nullptr, o.up_axis, o.meter_scale) != 0) {
        out.reason = library_failure();
        out.destination_failed = true;
        return out;
    }
    {
        Progress progress("converting " + name, converter.work(), bar);
        out.summary = converter.convert(progress);
    }
    closeFile();
    bar.erase();
    // A destination that did not receive the whole scene is no success.
    out.reason = library_failure();
    if (!out.reason.empty()) {
        out.destination_failed = true;
        std::error_code e;
        if (file_output && fs::is_regular_file(job.output, e)) fs::remove(job.output, e);
        return out;
    }
    out.ok = true;
    out.ms = elapsed();
    return out;
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string summary_line(const std::string& model, const std::string& destination,
                         const ConversionSummary& s, double ms) {
    std::string materials;
    for (const auto& [kind, n] : s.materials)
        materials += (materials.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    char time[32];
    std::snprintf(time, sizeof time, "%.1f ms", ms);
    return model + " -> " + destination + ": " + plural(s.objects, "mesh", "meshes") +
           " placed once, " + plural(s.definitions, "shared mesh", "shared meshes") + " placed " +
           plural(s.instances, "time", "times") + ", " +
           plural(s.triangles, "triangle", "triangles") + " (" +
           plural(s.vertices, "vertex", "vertices") + "), " + plural(s.groups, "group", "groups") +
           "; materials: " + (materials.empty() ? "none" : materials) + "; " +
           plural(s.cameras, "camera", "cameras") + ", " +
           plural(s.point_lights, "point light", "point lights") + ", " +
           plural(s.animations, "animation", "animations") + " (" +
           plural(s.keyframes, "keyframe", "keyframes") + ")" +
           (s.warnings.empty() ? "" : "; " + plural(s.warnings.size(), "warning", "warnings")) +
           "; " + time + "\n";
}

// Reports a failure (always) and the warnings (unless quiet) of one model.
void report(const Options& o, const Job& job, const Outcome& r) {
    for (const std::string& w : r.summary.warnings)
        if (!o.quiet) std::cerr << "sceneapi-convert: " << job.model << ": warning: " << w << "\n";
    if (r.ok) return;
    if (r.destination_failed)
        std::cerr << "sceneapi-convert: " << r.reason << "\n";
    else
        std::cerr << "sceneapi-convert: " << job.model << ": " << r.reason << "\n";
}

// The models of the command line, folders replaced by the models in them, each with its output.
std::vector<Job> batch_jobs(const Options& o) {
    Assimp::Importer importer;
    std::vector<Job> jobs;
    std::set<std::string> outputs;
    const auto add = [&](const fs::path& model) {
        const fs::path folder(o.folder);
        fs::path out = folder / (model.stem().string() + ".scene");
        if (!outputs.insert(out.string()).second)
            out = folder / (model.filename().string() + ".scene");
        outputs.insert(out.string());
        Job job{model.string(), out.string(), {}};
        if (same_file(job.model, job.output)) job.failure = "the output is the model itself";
        jobs.push_back(job);
    };
    for (const std::string& m : o.models) {
        std::error_code e;
        if (!fs::is_directory(m, e)) {
            add(m);
            continue;
        }
        std::vector<fs::path> found;
        for (fs::recursive_directory_iterator
                 it(m, fs::directory_options::skip_permission_denied, e),
             end;
             !e && it != end; it.increment(e)) {
            std::error_code f;
            if (it->is_regular_file(f) &&
                importer.IsExtensionSupported(it->path().extension().string()))
                found.push_back(it->path());
        }
        std::sort(found.begin(), found.end());
        if (found.empty()) jobs.push_back({m, {}, "no model of a readable format in it"});
        for (const fs::path& p : found)
            add(p);
    }
    return jobs;
}

void print_table(std::ostream& out, const std::vector<Job>& jobs, const std::vector<Outcome>& r) {
    std::size_t width = 5;
    for (const Job& j : jobs)
        width = std::max(width, j.model.size());
    char line[512];
    std::snprintf(line, sizeof line, "%-*s  %-6s %10s %8s %9s %7s %8s %9s\n", int(width), "model",
                  "result", "triangles", "objects", "materials", "lights", "warnings", "ms");
    out << line;
    std::size_t failed = 0, triangles = 0;
    double ms = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const ConversionSummary& s = r[i].summary;
        std::size_t materials = 0;
        for (const auto& m : s.materials)
            materials += m.second;
        if (!r[i].ok) ++failed;
        triangles += s.triangles;
        ms += r[i].ms;
        if (r[i].ok)
            std::snprintf(line, sizeof line, "%-*s  %-6s %10zu %8zu %9zu %7zu %8zu %9.1f\n",
                          int(width), jobs[i].model.c_str(), "ok", s.triangles,
                          s.objects + s.instances, materials, s.point_lights, s.warnings.size(),
                          r[i].ms);
        else
            std::snprintf(line, sizeof line, "%-*s  %-6s %.300s\n", int(width),
                          jobs[i].model.c_str(), "FAILED", r[i].reason.c_str());
        out << line;
    }
    std::snprintf(line, sizeof line,
                  "%zu models: %zu converted, %zu failed; %zu triangles; %.1f ms\n", jobs.size(),
                  jobs.size() - failed, failed, triangles, ms);
    out << line;
}

void list_formats() {
    Assimp::Importer importer;
    std::map<std::string, std::string> formats;
    for (std::size_t i = 0; i < importer.GetImporterCount(); ++i) {
        const aiImporterDesc* d = importer.GetImporterInfo(i);
        if (!d || !d->mFileExtensions) continue;
        std::istringstream extensions(d->mFileExtensions);
        for (std::string ext; extensions >> ext;)
            formats.emplace(ext, d->mName ? d->mName : "");
    }
    for (const auto& [ext, name] : formats)
        std::printf(".%-10s %s\n", ext.c_str(), name.c_str());
}

int run(const Options& o) {
    if (o.folder.empty() && !o.live && is_view_format(o.output) &&
        unreadable(o.models.front()).empty() && is_scene_file(o.models.front())) {
        // A Scene file to glTF or OBJ: read with the Scene file reader, not as a model.
        const SceneExport r = export_scene(o.models.front(), o.output);
        for (const std::string& w : r.warnings)
            if (!o.quiet)
                std::cerr << "sceneapi-convert: " << o.models.front() << ": warning: " << w << "\n";
        if (!r.ok) {
            std::cerr << "sceneapi-convert: " << o.models.front() << ": " << r.reason << "\n";
            return 1;
        }
        if (!o.quiet) std::cout << r.summary;
        return 0;
    }
    if (o.folder.empty()) {
        const Job job{o.models.front(), o.live ? std::string() : o.output, {}};
        const Outcome r = convert(o, job);
        report(o, job, r);
        if (!r.ok) return 1;
        // With the scene on standard output, the summary goes to standard error.
        if (!o.quiet)
            (job.output == "-" ? std::cerr : std::cout)
                << summary_line(job.model, o.live ? "live link" : job.output, r.summary, r.ms);
        return 0;
    }
    std::error_code e;
    fs::create_directories(o.folder, e);
    if (!fs::is_directory(o.folder)) {
        std::cerr << "sceneapi-convert: " << o.folder << ": "
                  << (e ? e.message() : std::string("not a folder")) << "\n";
        return 1;
    }
    const std::vector<Job> jobs = batch_jobs(o);
    std::vector<Outcome> outcomes;
    for (const Job& job : jobs) {
        Outcome r;
        if (job.failure.empty()) {
            r = convert(o, job);
        } else {
            r.reason = job.failure;
        }
        report(o, job, r);
        outcomes.push_back(std::move(r));
    }
    if (!o.quiet) print_table(std::cout, jobs, outcomes);
    return std::all_of(outcomes.begin(), outcomes.end(), [](const Outcome& r) { return r.ok; }) ? 0
                                                                                                : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    const std::string usage_error = parse(argc, argv, o);
    if (!usage_error.empty()) {
        std::cerr << "sceneapi-convert: " << usage_error << "\n" << kUsage;
        return 2;
    }
    switch (o.action) {
    case Action::Help:
        std::cout << kUsage;
        return 0;
    case Action::Version: {
        char version[16] = {};
        getVersion(version, sizeof version);
        std::printf("sceneapi-convert %s (interface %s, assimp %u.%u.%u)\n", SCENEAPI_VERSION,
                    version, aiGetVersionMajor(), aiGetVersionMinor(), aiGetVersionPatch());
        return 0;
    }
    case Action::Formats:
        list_formats();
        return 0;
    default:
        break;
    }
    if (o.folder.empty() && !o.live && o.output != "-" && same_file(o.models.front(), o.output)) {
        std::cerr << "sceneapi-convert: " << o.models.front()
                  << ": the output is the model itself\n";
        return 2;
    }
    try {
        return run(o);
    } catch (const std::exception& e) { // out of memory on a huge model, a file system fault
        std::cerr << "sceneapi-convert: " << (o.models.empty() ? "" : o.models.front() + ": ")
                  << e.what() << "\n";
        return 1;
    }
}

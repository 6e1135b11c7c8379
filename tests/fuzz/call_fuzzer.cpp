#include "call_fuzzer.h"

#include "scene_oracle.h"
#include "sceneapi_cs_wrapper.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <set>
#include <utility>

namespace fuzz {

namespace {

constexpr std::size_t kFaultsKept = 200;
// One string in this many is several hundred kilobytes to several megabytes long.
constexpr std::uint32_t kLongStringOdds = 1500;
constexpr std::uint32_t kLongestSequence = 400;

// splitmix64: the same numbers on every platform and standard library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
    bool one_in(std::uint32_t n) { return below(n) == 0; }

private:
    std::uint64_t state_;
};

// A host string argument: null, or text kept alive for the call.
struct HostString {
    bool null = false;
    std::string text;
    const char* arg() const { return null ? nullptr : text.c_str(); } // a null reads as ""
};

template <typename T> T pick(Rng& rng, std::initializer_list<T> values) {
    return *(values.begin() + rng.below(static_cast<std::uint32_t>(values.size())));
}

// What the library holds, as far as the written text depends on it, and the calls that made it.
struct Session {
    Session(std::uint64_t seed, std::string dir) : rng(seed), folder(std::move(dir)) {}

    Rng rng;
    std::string folder;
    FuzzRun figures;
    std::uint64_t file_counter = 0;
    bool open = false;
    std::size_t open_groups = 0; // groups begun and not ended in the open destination
    std::string failed_open;     // the start of the failure of a refused open since the last one
    std::string path;
    std::set<int> materials;
    std::optional<std::string> mesh;
    std::optional<std::string> surface;
    std::optional<std::string> animation;
    std::string animation_folder;
    std::vector<int> ids;
    // Strings the open file must carry, with the export that handed each over.
    std::vector<std::pair<std::string, const char*>> expected;
    const char* current_export = "";

    // ---- argument generators ----

    std::string plain(std::size_t n) {
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 _-.{}[]%/";
        std::string s(n, ' ');
        for (char& c : s)
            c = alphabet[rng.below(sizeof alphabet - 1)];
        return s;
    }

    std::string long_text() {
        const std::size_t n = pick<std::size_t>(rng, {kMaxPiece - 3, kMaxPiece - 2, kMaxPiece - 1,
                                                      kMaxPiece, kMaxPiece + 1, 3u << 20, 700000});
        std::string s(n, static_cast<char>('a' + rng.below(26)));
        if (rng.one_in(2)) s[rng.below(static_cast<std::uint32_t>(n))] = '\xe9'; // hex form
        if (rng.one_in(3)) s[rng.below(static_cast<std::uint32_t>(n))] = '"';
        return s;
    }

    HostString str() {
        static const std::string kHostile[] = {
            "",
            "say \"hi\"",
            "line\nbreak\r\nand\rreturn",
            "%n%n%s%s%d%x%%%1000000d%n",
            "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82", // valid UTF-8
            "\xff\xfe\xc0\x80\xed\xa0\x80\x80\xbf",      // invalid UTF-8
            std::string("a\" }\n}\n") + kInjectionMarker + " {\n#error \"x",
            std::string("} ") + kInjectionMarker + " { // \\\" \\n",
            "\t\x01\x02\x03\x1b[0m\x7f"};
        HostString h;
        if (rng.one_in(kLongStringOdds)) {
            h.text = long_text();
            return h;
        }
        const std::uint32_t kind = rng.below(16); // 0: null, 1 to 9: hostile, else plain
        h.null = kind == 0;
        if (kind >= 1 && kind <= 9) h.text = kHostile[kind - 1];
        if (kind > 9) h.text = plain(rng.below(24));
        return h;
    }

    float real() {
        using limits = std::numeric_limits<float>;
        const float nan = limits::quiet_NaN(), inf = limits::infinity();
        const float tiny = limits::denorm_min(), big = limits::max();
        const float special[] = {nan, inf, -inf, tiny, -tiny * 77.0f, big, -big, -0.0f};
        const std::uint32_t kind = rng.below(14);
        if (kind < 8) return special[kind];
        if (kind == 8) return static_cast<float>(static_cast<std::int32_t>(rng.next())) * 1e-3f;
        return static_cast<float>(rng.below(2001)) / 100.0f - 10.0f;
    }

    double real64() {
        using limits = std::numeric_limits<double>;
        const double special[] = {limits::quiet_NaN(), -limits::infinity(), limits::denorm_min(),
                                  limits::max(), 1e300};
        const std::uint32_t kind = rng.below(12);
        if (kind < 5) return special[kind];
        if (kind == 5) return static_cast<double>(rng.next()) * 1e-9;
        return static_cast<double>(rng.below(2001)) / 100.0 - 10.0;
    }

    int integer() {
        const std::uint32_t kind = rng.below(10);
        if (kind < 3) return std::initializer_list<int>{INT_MIN, INT_MAX, -1}.begin()[kind];
        if (kind == 3) return static_cast<int>(static_cast<std::uint32_t>(rng.next()));
        if (kind == 4)
            return ids.empty() ? 0 : ids[rng.below(static_cast<std::uint32_t>(ids.size()))];
        return static_cast<int>(rng.below(12));
    }

    bool flag() { return rng.one_in(2); }

    // An array of n values, or null now and then.
    template <typename T, typename Gen>
    std::optional<std::vector<T>> array(std::size_t n, Gen gen) {
        if (rng.one_in(12)) return std::nullopt;
        std::vector<T> v(n);
        for (T& x : v)
            x = gen();
        return v;
    }
    template <typename T> static const T* data(const std::optional<std::vector<T>>& v) {
        return v ? v->data() : nullptr;
    }

    // A bulk call: an array of `count` elements (or null with any count at all).
    template <typename T, typename Gen>
    void bulk(void (*call)(const T*, int), std::size_t width, Gen gen) {
        if (rng.one_in(8)) {
            call(nullptr, pick(rng, {INT_MAX, INT_MIN, -1, 0, 5}));
            return;
        }
        const std::size_t n = rng.below(40);
        std::vector<T> values(n * width);
        for (T& x : values)
            x = gen();
        const int count = rng.one_in(8) ? pick(rng, {0, -1, INT_MIN}) : static_cast<int>(n);
        call(values.data(), count);
    }

    // ---- what the file must carry ----

    void expect(const std::string& s) {
        if (open) expected.emplace_back(s, current_export);
    }

    // A host string the open file must carry.
    HostString carried() {
        HostString h = str();
        expect(h.text);
        return h;
    }

    void fault(const std::string& what) {
        if (figures.faults.size() < kFaultsKept) figures.faults.push_back(path + ": " + what);
    }

    // Checks the file just ended and removes it.
    void check_file() {
        std::ifstream in(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        in.close();
        ++figures.files_checked;
        const SceneCheck check = check_scene(text, open_groups);
        if (!check.ok) fault(check.fault);
        // Past a fault the strings are no longer found where they stand.
        for (const auto& [s, from] : expected) {
            if (check.carries(s))
                ++figures.strings_round_tripped;
            else if (check.ok)
                fault(std::string(from) + ": a string of " + std::to_string(s.size()) +
                      " bytes did not come back: \"" + s.substr(0, 60) + "\"");
        }
        expected.clear();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }

    void destination_ended() {
        if (open) check_file();
        open = false;
        open_groups = 0;
        materials.clear();
    }

    // ---- the calls ----

    void open_file() {
        const std::uint32_t kind = rng.below(20); // 0: in a missing folder, 1: a folder
        const bool should_open = kind > 1;
        const std::string next = kind == 0 ? folder + "/missing/x.scene"
                                 : kind == 1
                                     ? folder
                                     : folder + "/f" + std::to_string(++file_counter) + ".scene";
        const int result =
            openFile(next.c_str(), rng.one_in(4) ? &rng : nullptr, integer(), real());
        if (result != (should_open ? 0 : -1))
            fault("openFile(" + next + ") returned " + std::to_string(result));
        if (result != 0) {
            failed_open = "opening \"" + next + "\": ";
            expect_failure(failed_open);
            return;
        }
        destination_ended();
        failed_open.clear();
        expect_failure("");
        open = true;
        path = next;
    }

    void close_file(bool as_disconnect) {
        if (as_disconnect)
            disconnect();
        else
            closeFile();
        // Every file goes to a healthy folder: ending it reports no failure of its own, only
        // the refused open that came after it, if any.
        if (open) expect_failure(failed_open);
        destination_ended();
    }

    // Checks that getLastError's text starts with `start`; an empty start means no failure.
    void expect_failure(const std::string& start) {
        char text[512];
        const int result = getLastError(text, sizeof text);
        text[sizeof text - 1] = '\0';
        if (result != (start.empty() ? 0 : -1) || std::string(text).rfind(start, 0) != 0)
            fault("getLastError returned " + std::to_string(result) + " \"" + text + "\" where \"" +
                  start + "\" was due");
    }

    // Ends the mesh or surface `object` with `end`; the id it hands out joins the known ones.
    void end_object(void (*end)(int*, bool), std::optional<std::string>& object) {
        int id = INT_MIN;
        const bool pass_id = !rng.one_in(10);
        end(pass_id ? &id : nullptr, flag());
        if (object && open) {
            expect(*object);
            if (pass_id) ids.push_back(id);
        }
        object.reset();
    }

    template <typename F> void material(F define) {
        const int id = rng.one_in(2) ? static_cast<int>(rng.below(6)) : integer();
        const HostString name = str();
        define(id, name);
        if (open && materials.insert(id).second) expect(name.text);
    }

    void run_sequence(std::uint64_t length);
};

using S = Session;

struct Export {
    const char* name;
    std::uint32_t weight;
    void (*call)(S&);
};

// A material export that takes an id, a name and a colour.
template <void (*define)(int, const char*, float, float, float)> void colour_material(S& s) {
    s.material(
        [&](int id, const HostString& n) { define(id, n.arg(), s.real(), s.real(), s.real()); });
}

// An export that begins a mesh, a placement or a surface named by the host.
template <void (*begin)(const char*), std::optional<std::string> S::*object>
void begin_object(S& s) {
    const HostString name = s.str();
    begin(name.arg());
    s.*object = name.text;
}

// Every export of the interface; a new export is one more line here.
const Export kExports[] = {
    {"openFile", 3, [](S& s) { s.open_file(); }},
    {"closeFile", 2, [](S& s) { s.close_file(false); }},
    {"disconnect", 1, [](S& s) { s.close_file(true); }},
    {"connectToPhotara", 1,
     [](S& s) {
         char buffer[64];
         const int size = pick(s.rng, {0, -5, 1, 8, 64});
         connectToPhotara(s.str().arg(), s.rng.one_in(5) ? nullptr : buffer, size, s.integer(),
                          s.real(), s.integer(), s.integer(), s.flag());
         // It replaces the destination whether or not an instance answers.
         s.destination_ended();
     }},
    {"probePhotara", 1,
     [](S& s) {
         bool found = true;
         probePhotara(s.str().arg(), s.integer(), s.integer(), s.flag(),
                      s.rng.one_in(5) ? nullptr : &found);
     }},
    {"getVersion", 1,
     [](S& s) {
         char buffer[8];
         getVersion(s.rng.one_in(5) ? nullptr : buffer, s.integer());
     }},
    {"setProgress", 2,
     [](S& s) {
         const HostString text = s.carried();
         setProgress(text.arg(), s.real());
     }},
    {"setFlags", 1, [](S& s) { setFlags(static_cast<unsigned>(s.integer())); }},
    {"transform", 2,
     [](S& s) {
         const auto m = s.array<double>(16, [&] { return s.real64(); });
         transform(S::data(m));
     }},
    {"beginTriangleObject", 6, begin_object<beginTriangleObject, &S::mesh>},
    {"addVertex", 12, [](S& s) { addVertex(s.real(), s.real(), s.real()); }},
    {"addNormal", 5, [](S& s) { addNormal(s.real(), s.real(), s.real()); }},
    {"addUV", 5, [](S& s) { addUV(s.real(), s.real()); }},
    {"addTriangle", 10, [](S& s) { addTriangle(s.integer(), s.integer(), s.integer()); }},
    {"addVertices", 3, [](S& s) { s.bulk<float>(addVertices, 3, [&] { return s.real(); }); }},
    {"addNormals", 2, [](S& s) { s.bulk<float>(addNormals, 3, [&] { return s.real(); }); }},
    {"addUVs", 2, [](S& s) { s.bulk<float>(addUVs, 2, [&] { return s.real(); }); }},
    {"addTriangles", 3, [](S& s) { s.bulk<int>(addTriangles, 3, [&] { return s.integer(); }); }},
    {"endTriangleObject", 5, [](S& s) { s.end_object(endTriangleObject, s.mesh); }},
    {"beginInstanceObject", 2, begin_object<beginInstanceObject, &S::mesh>},
    {"setInstanceId", 2, [](S& s) { setInstanceId(s.integer()); }},
    {"endInstanceObject", 2,
     [](S& s) {
         endInstanceObject();
         s.mesh.reset();
     }},
    {"beginNURBSObject", 3, begin_object<beginNURBSObject, &S::surface>},
    {"setKnotDomain", 2,
     [](S& s) { setKnotDomain(s.real64(), s.real64(), s.real64(), s.real64()); }},
    {"setOrderUV", 2, [](S& s) { setOrderUV(s.integer(), s.integer()); }},
    {"addUKnot", 4, [](S& s) { addUKnot(s.real64()); }},
    {"addVKnot", 4, [](S& s) { addVKnot(s.real64()); }},
    {"addControlPoint", 6,
     [](S& s) { addControlPoint(s.real64(), s.real64(), s.real64(), s.real64()); }},
    {"endNURBSObject", 3, [](S& s) { s.end_object(endNURBSObject, s.surface); }},
    {"beginTrim", 2, [](S&) { beginTrim(); }},
    {"addTrimCurve", 3, [](S& s) { addTrimCurve(s.integer(), s.integer()); }},
    {"setTrimDomain", 3, [](S& s) { setTrimDomain(s.real64(), s.real64()); }},
    {"setTrimOrder", 3, [](S& s) { setTrimOrder(s.integer()); }},
    {"addTrimNumKnots", 3, [](S& s) { addTrimNumKnots(s.integer()); }},
    {"addTrimKnot", 4, [](S& s) { addTrimKnot(s.real64()); }},
    {"addTrimControlPoint", 4,
     [](S& s) { addTrimControlPoint(s.real64(), s.real64(), s.real64()); }},
    {"endTrim", 2, [](S&) { endTrim(); }},
    {"beginGroup", 3,
     [](S& s) {
         beginGroup(s.carried().arg());
         if (s.open) ++s.open_groups;
     }},
    {"endGroup", 3,
     [](S& s) {
         endGroup();
         if (s.open_groups > 0) --s.open_groups;
     }},
    {"setDiffuse", 2, colour_material<setDiffuse>},
    {"setPlastic", 2, colour_material<setPlastic>},
    {"setMetal", 2, colour_material<setMetal>},
    {"setGlass", 2, colour_material<setGlass>},
    {"setEmissive", 2,
     [](S& s) { s.material([&](int id, const HostString& n) { setEmissive(id, n.arg()); }); }},
    {"setGeneric", 2,
     [](S& s) {
         s.material([&](int id, const HostString& n) {
             const HostString diffuse = s.str(), bump = s.str();
             setGeneric(id, n.arg(), diffuse.arg(), s.flag(), bump.arg(), s.real(), s.real(),
                        s.real());
         });
     }},
    {"setMaterial", 4,
     [](S& s) { setMaterial(s.rng.one_in(2) ? static_cast<int>(s.rng.below(6)) : s.integer()); }},
    {"setCamera", 2,
     [](S& s) {
         const auto fov = s.array<float>(4, [&] { return s.real(); });
         setCamera(s.real(), s.real(), s.real(), s.real(), s.real(), s.real(), s.real(), s.real(),
                   s.real(), s.flag(), S::data(fov));
     }},
    {"addPointLight", 2,
     [](S& s) {
         const HostString name = s.str();
         const auto color = s.array<float>(3, [&] { return s.real(); });
         addPointLight(name.arg(), s.real(), S::data(color));
         if (color) s.expect(name.text);
     }},
    {"addIesLight", 2,
     [](S& s) {
         const HostString name = s.carried(), file = s.carried();
         addIesLight(name.arg(), file.arg());
     }},
    {"addLineLight", 2,
     [](S& s) {
         const HostString name = s.carried();
         addLineLight(name.arg(), s.real(), s.real(), s.real());
     }},
    {"beginAnimation", 3,
     [](S& s) {
         const HostString name = s.str();
         beginAnimation(name.arg(), s.real(), s.real(), s.flag());
         s.animation = name.text;
         s.animation_folder.clear();
     }},
    {"addFrame", 6,
     [](S& s) {
         const auto m = s.array<double>(16, [&] { return s.real64(); });
         addFrame(s.integer(), S::data(m));
     }},
    {"setFolder", 2,
     [](S& s) {
         const HostString folder = s.str();
         setFolder(folder.arg());
         if (s.animation) s.animation_folder = folder.text;
     }},
    {"endAnimation", 3,
     [](S& s) {
         endAnimation();
         if (s.animation) {
             s.expect(*s.animation);
             s.expect(s.animation_folder);
         }
         s.animation.reset();
     }},
};

std::uint32_t total_weight() {
    std::uint32_t sum = 0;
    for (const Export& e : kExports)
        sum += e.weight;
    return sum;
}

void Session::run_sequence(std::uint64_t length) {
    ++figures.sequences;
    // Most sequences write into a file of their own; some run without a destination.
    if (!rng.one_in(10)) {
        open_file();
        ++figures.calls;
    }
    static const std::uint32_t kTotal = total_weight();
    for (std::uint64_t i = 0; i < length; ++i) {
        std::uint32_t roll = rng.below(kTotal);
        const Export* chosen = kExports;
        while (roll >= chosen->weight)
            roll -= (chosen++)->weight;
        current_export = chosen->name;
        chosen->call(*this);
        ++figures.calls;
    }
    // End most files; leave some open for the next openFile to replace.
    if (rng.below(10) < 8) {
        close_file(rng.one_in(5));
        ++figures.calls;
    }
}

} // namespace

FuzzRun fuzz_calls(std::uint64_t seed, const std::string& folder, std::uint64_t calls) {
    // Empty installation records: the live-link exports must never reach an application that
    // happens to be installed on the machine running the fuzz (loading it, launching it or
    // waiting for it).
    const std::string records = folder + "/no-installations.reg";
    std::ofstream(records) << "Windows Registry Editor Version 5.00\n";
    setenv("SCENEAPI_HKCU_REG", records.c_str(), 1);
    setenv("SCENEAPI_HKLM_REG", records.c_str(), 1);
    Session session(seed, folder);
    while (session.figures.calls < calls)
        session.run_sequence(1 + session.rng.below(kLongestSequence));
    session.close_file(false);
    return std::move(session.figures);
}

} // namespace fuzz

#include "scene_summary.h"

#include "file_api/scene_text.h"
#include "reader/scene_matrix.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <string_view>

using namespace vtl::scene_text;

using namespace vtl::reader;

namespace {

using vtl::reader::kIdentity;
using vtl::reader::Matrix;
using vtl::reader::product;

// An axis-aligned box; empty until a point is added.
struct Box {
    bool empty = true;
    double min[3] = {0, 0, 0}, max[3] = {0, 0, 0};

    void add(const double p[3]) {
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(p[k])) return;
        }
        for (int k = 0; k < 3; ++k) {
            min[k] = empty ? p[k] : std::min(min[k], p[k]);
            max[k] = empty ? p[k] : std::max(max[k], p[k]);
        }
        empty = false;
    }
    // Adds the eight corners of `b` moved by `m`.
    void add(const Box& b, const Matrix& m) {
        if (b.empty) return;
        for (int corner = 0; corner < 8; ++corner) {
            const double p[3] = {corner & 1 ? b.max[0] : b.min[0], corner & 2 ? b.max[1] : b.min[1],
                                 corner & 4 ? b.max[2] : b.min[2]};
            double q[3];
            for (int j = 0; j < 3; ++j)
                q[j] = p[0] * m[j] + p[1] * m[4 + j] + p[2] * m[8 + j] + m[12 + j];
            add(q);
        }
    }
};

// The type of a material's surface shader: inline, or a numbered shader defined in it.
std::string material_kind(const Node& material) {
    const Value* surface = material.value_of("surface");
    if (!surface) return "none";
    if (surface->kind == ValueKind::Shader) return surface->text;
    if (surface->kind == ValueKind::Number) {
        for (const Node& c : material.children)
            if (c.keyword == "shader" && c.values.size() >= 2 &&
                c.values[0].kind == ValueKind::Number && c.values[0].number == surface->number)
                return c.values[1].text;
        char number[32];
        std::snprintf(number, sizeof number, "%g", surface->number); // any double, inf too
        return std::string("shader ") + number;
    }
    return "unknown";
}

// Surface shader types that make a material a light.
bool is_light_kind(std::string_view kind) {
    for (std::string_view k : {kPointLight, kIesLight, kMeshLight})
        if (k == kind) return true;
    return false;
}

// The number of the first "version" statement, as written; -1 without one.
double document_version(const Document& document) {
    for (const Node& n : document.nodes)
        if (n.kind == NodeKind::Statement && n.keyword == "version" && !n.values.empty() &&
            n.values.front().kind == ValueKind::Number)
            return n.values.front().number;
    return -1;
}

// True when the document has a "version" statement at its top level, whatever it holds.
bool has_version(const Document& document) {
    for (const Node& n : document.nodes)
        if (n.kind == NodeKind::Statement && n.keyword == "version") return true;
    return false;
}

const Array* array_of(const Node& block, std::string_view key) {
    const Value* v = block.value_of(key);
    return v && v->kind == ValueKind::Array ? &v->array : nullptr;
}

// Scalars of an array: numbers, and any element that is not one.
std::size_t scalars(const Array* a) {
    return a ? a->numbers.size() + a->items.size() : 0;
}

// Elements of an array of triples (vertices, normals).
std::size_t triples(const Array* a) {
    if (!a) return 0;
    return a->binary == 'c' || a->width == 3 ? a->elements : scalars(a) / 3;
}

// "nan", "inf", "-nan", "infinity", ... as an array element that is kept as a word.
bool non_finite_word(std::string text) {
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text == "nan" || text == "inf" || text == "infinity";
}

std::string number_text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// Walks the tree once, filling the summary, with a list of pending levels instead of the call
// stack, so that any nesting the reader takes is walked.
class Gatherer {
public:
    Gatherer(SceneSummary& s, std::string_view text) : s_(s), text_(text) {}

    void run(const std::vector<Node>& nodes) {
        pending_.push_back({&nodes, 0, kNoGroup, 0, false, kIdentity, kIdentity});
        while (!pending_.empty()) {
            Level& level = pending_.back();
            if (level.next == level.nodes->size()) {
                pending_.pop_back();
                continue;
            }
            const Node& n = (*level.nodes)[level.next++];
            if (!level.in_object && n.kind == NodeKind::Statement) transform(n, level);
            const Level at = level; // visit_node may add levels, which moves `level`
            finite(n);
            if (at.in_object && n.kind == NodeKind::Block && n.keyword == "geometry")
                continue; // measured with its object
            visit_node(n, at);
        }
        finish();
    }

    // The objects gathered on the way.
    std::vector<ObjectSummary> objects;

private:
    static constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);

    // A list of nodes being walked: inside which listed group (or none) and at which depth.
    struct Level {
        const std::vector<Node>* nodes;
        std::size_t next;
        std::size_t group; // index in s_.groups, kNoGroup at the top or below the listing
        int depth;         // group nesting
        bool in_object;    // the contents of an object block
        Matrix matrix;     // where the level's contents stand
        Matrix outer;      // where the enclosing level's contents stand
    };
    // A defined object: its id's place and its box in its own coordinates.
    struct Definition {
        Box box;
    };
    // A placement of a defined object.
    struct Placement {
        double id;
        Matrix matrix;
        const Node* node;
    };

    SceneSummary& s_;
    std::string_view text_;
    std::vector<Level> pending_;
    std::map<double, Definition> definitions_;
    std::vector<Placement> placements_;
    std::set<std::string> materials_defined_;
    std::vector<std::pair<std::string, const Node*>> materials_used_;
    Box bounds_;

    void find(bool error, const Node& at, const char* format, ...) {
        (error ? s_.error_count : s_.warning_count) += 1;
        if (s_.findings.size() >= 100) { // the others are only counted
            ++s_.unlisted_findings;
            return;
        }
        char message[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
        Finding f;
        f.error = error;
        f.line = at.line;
        const std::size_t offset = std::min(at.offset, text_.size());
        const std::size_t line_start = offset == 0 ? 0
                                       : text_.rfind('\n', offset - 1) == std::string_view::npos
                                           ? 0
                                           : text_.rfind('\n', offset - 1) + 1;
        f.column = offset - line_start + 1;
        f.message = message;
        s_.findings.push_back(std::move(f));
    }

    // A "transform" or "set transform" statement moves what follows it on its level.
    void transform(const Node& n, Level& level) {
        const bool set = n.keyword == "set transform";
        if (!set && n.keyword != "transform") return;
        if (n.values.size() != 16) return;
        Matrix m;
        for (int k = 0; k < 16; ++k) {
            if (n.values[k].kind != ValueKind::Number) return;
            m[k] = n.values[k].number;
        }
        level.matrix = product(m, set ? level.outer : level.matrix);
    }

    // Numbers that are not finite, in a node's own values.
    void finite(const Node& n) {
        std::size_t bad = 0;
        for (const Value& v : n.values) {
            if (v.kind == ValueKind::Number && !std::isfinite(v.number)) ++bad;
            if (v.kind != ValueKind::Array) continue;
            for (double x : v.array.numbers)
                bad += !std::isfinite(x);
            for (const Value& item : v.array.items)
                bad += (item.kind == ValueKind::Number && !std::isfinite(item.number)) ||
                       (item.kind == ValueKind::Word && non_finite_word(item.text));
        }
        if (bad > 0) find(false, n, "%zu numbers that are not finite (nan or inf)", bad);
    }

    // One node: errors, groups, objects, materials, cameras, lights, animations, options.
    void visit_node(const Node& n, const Level& at) {
        if (n.kind == NodeKind::Error) {
            s_.errors.push_back({n.line, n.values.empty() ? std::string() : n.values[0].text});
            find(false, n, "the file reports an error: %s",
                 s_.errors.back().text.substr(0, 300).c_str());
            return;
        }
        if (n.kind == NodeKind::Statement && n.keyword == "material" && !n.values.empty() &&
            n.values[0].kind == ValueKind::String) {
            materials_used_.emplace_back(n.values[0].text, &n);
            return;
        }
        if (n.kind != NodeKind::Block) return;
        if (n.keyword == "group") {
            std::size_t group = kNoGroup;
            // Deeper groups are counted, not listed: a listing stays readable and its JSON
            // nesting within what JSON readers take.
            if (at.depth < 128) {
                group = s_.groups.size();
                s_.groups.push_back({n.name(), n.line, 0, at.depth});
            } else {
                ++s_.unlisted_groups;
            }
            pending_.push_back({&n.children, 0, group, at.depth + 1, false, at.matrix, at.matrix});
        } else if (n.keyword == "object") {
            object(n, at);
        } else if (n.keyword == "material") {
            materials_defined_.insert(n.name());
            const std::string kind = material_kind(n);
            ++(is_light_kind(kind) ? s_.lights : s_.materials)[kind];
        } else if (n.keyword == "camera") {
            ++s_.cameras;
        } else if (n.keyword == "light") {
            ++s_.lights["light block"];
        } else if (n.keyword == "animation") {
            ++s_.animations;
            s_.keyframes += scalars(array_of(n, kTimestamps));
        } else if (n.keyword == "load" && n.name() == "vtlrtopt.so") {
            for (const Node& option : n.children)
                if (option.kind != NodeKind::Block)
                    s_.import_options.emplace_back(
                        option.keyword, option.values.empty() ? nullptr : &option.values[0]);
        } else {
            pending_.push_back({&n.children, 0, at.group, at.depth, false, at.matrix, at.matrix});
        }
    }

    // The checks of a triangle geometry; its box in the object's coordinates.
    Box triangles(const Node& geometry, std::size_t* triangle_count, std::size_t* vertex_count) {
        Box box;
        const Array* vertices = array_of(geometry, kVertices);
        const Array* indices = array_of(geometry, kTriangles);
        const std::size_t n = triples(vertices);
        *vertex_count = n;
        *triangle_count = scalars(indices) / 3;
        for (const Node& p : geometry.children)
            finite(p);
        if (vertices && vertices->items.empty() && vertices->numbers.size() == 3 * n)
            for (std::size_t v = 0; v < n; ++v) {
                const double point[3] = {vertices->numbers[3 * v], vertices->numbers[3 * v + 1],
                                         vertices->numbers[3 * v + 2]};
                box.add(point);
            }
        if (indices) {
            if (scalars(indices) % 3 != 0)
                find(true, *geometry.child(kTriangles),
                     "the triangle indices are %zu numbers, not a multiple of 3", scalars(indices));
            std::size_t outside = 0;
            double first = 0;
            for (double i : indices->numbers)
                if (!(i >= 0 && i < static_cast<double>(n) && i == std::floor(i)) && outside++ == 0)
                    first = i;
            outside += indices->items.size();
            if (outside > 0)
                find(true, *geometry.child(kTriangles),
                     "%zu triangle indices outside the %zu vertices (the first: %s)", outside, n,
                     number_text(first).c_str());
        }
        const Array* normals = array_of(geometry, kNormals);
        if (normals && triples(normals) != n)
            find(true, *geometry.child("normals"), "%s holds %zu elements for %zu vertices",
                 kNormals, triples(normals), n);
        const Array* uvs = array_of(geometry, kUvTex);
        if (uvs && scalars(uvs) != 2 * n)
            find(true, *geometry.child(kUvTex), "%s holds %zu elements for %zu vertices", kUvTex,
                 scalars(uvs) / 2, n);
        return box;
    }

    // One object block: counted as placed or defined, its geometry measured and checked; its
    // other contents are walked as if they stood beside it. The carrier geometry of a light
    // counts as the light, not as an object.
    void object(const Node& n, const Level& at) {
        ObjectSummary o;
        o.name = n.name();
        o.line = n.line;
        o.bytes = n.size;
        o.definition = n.definition;
        bool light = false;
        Matrix matrix = at.matrix;
        const Value* id = nullptr;
        for (const Node& c : n.children) {
            if (c.kind == NodeKind::Block && c.keyword == "material" && !c.definition &&
                is_light_kind(material_kind(c)))
                light = true;
            if (c.kind == NodeKind::Statement) {
                Level own{nullptr, 0, kNoGroup, 0, true, matrix, at.matrix};
                transform(c, own);
                matrix = own.matrix;
                if (c.keyword == "id" && !c.values.empty() && c.values[0].kind == ValueKind::Number)
                    id = &c.values[0];
            }
        }
        Box box;
        for (const Node& c : n.children) {
            if (c.kind != NodeKind::Block || c.keyword != "geometry") continue;
            o.geometry = c.name();
            if (o.geometry == kInstance && !o.definition && !light) {
                ++s_.instances;
                const Value* target = c.value_of("id");
                if (target && target->kind == ValueKind::Number)
                    placements_.push_back({target->number, matrix, &c});
            }
            if (o.geometry == kNurbs) ++s_.nurbs_surfaces;
            if (o.geometry == kTriangles) {
                std::size_t vertices = 0;
                box = triangles(c, &o.triangles, &vertices);
                if (!light) {
                    s_.triangles += o.triangles;
                    s_.vertices += vertices;
                }
            }
        }
        if (o.definition) {
            ++s_.definitions;
            if (id) definitions_[id->number].box = box;
        } else if (!light) {
            ++s_.objects;
            if (at.group != kNoGroup) ++s_.groups[at.group].objects;
            bounds_.add(box, matrix);
        }
        objects.push_back(std::move(o));
        pending_.push_back({&n.children, 0, at.group, at.depth, true, matrix, at.matrix});
    }

    // The checks that need the whole file: instances and materials; the bounds.
    void finish() {
        for (const Placement& p : placements_) {
            const auto d = definitions_.find(p.id);
            if (d == definitions_.end())
                find(true, *p.node, "an instance of object id %s, which no definition has",
                     number_text(p.id).c_str());
            else
                bounds_.add(d->second.box, p.matrix);
        }
        std::set<std::string> reported;
        for (const auto& [name, node] : materials_used_)
            if (materials_defined_.count(name) == 0 && reported.insert(name).second)
                find(false, *node, "material \"%s\" is used but never defined",
                     name.substr(0, 200).c_str());
        std::stable_sort(s_.findings.begin(), s_.findings.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        s_.has_bounds = !bounds_.empty;
        for (int k = 0; k < 3; ++k) {
            s_.bounds_min[k] = bounds_.min[k];
            s_.bounds_max[k] = bounds_.max[k];
        }
    }
};

} // namespace

SceneSummary SceneSummary::of(const Document& document, std::string_view text) {
    SceneSummary s;
    s.bytes = text.size();
    s.version = document_version(document);
    s.header = document.header();
    Gatherer gatherer(s, text);
    gatherer.run(document.nodes);
    std::vector<ObjectSummary>& objects = gatherer.objects;
    std::stable_sort(
        objects.begin(), objects.end(),
        [](const ObjectSummary& a, const ObjectSummary& b) { return a.bytes > b.bytes; });
    if (objects.size() > 5) objects.resize(5);
    s.largest = std::move(objects);
    return s;
}

ReadResult read_scene_to_summarise(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    ReadResult r;
    if (start == std::string_view::npos) {
        r.ok = false;
        r.error.message = "the file is empty";
        return r;
    }
    const std::string_view head = text.substr(start);
    const bool opens_as_scene = head.substr(0, 2) == "//" || head.substr(0, 7) == "version";
    r = read_scene(text);
    if (!r.ok && opens_as_scene) return r;
    if (!r.ok || (r.document.header().empty() && !has_version(r.document))) {
        r.ok = false;
        r.error = {"not a Scene file (no header comment and no version line)", 0, 0};
    }
    return r;
}

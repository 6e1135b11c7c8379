#include "scene_summary.h"

#include "info_texts.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

using namespace vtl::reader;

namespace {

// The type of a material's surface shader: inline, or a numbered shader defined in it.
std::string material_kind(const Node& material) {
    const Value* surface = material.value_of(info_texts::kSurface);
    if (!surface) return "none";
    if (surface->kind == ValueKind::Shader) return surface->text;
    if (surface->kind == ValueKind::Number) {
        for (const Node& c : material.children)
            if (c.keyword == info_texts::kShader && c.values.size() >= 2 &&
                c.values[0].kind == ValueKind::Number && c.values[0].number == surface->number)
                return c.values[1].text;
        char number[32];
        std::snprintf(number, sizeof number, "%g", surface->number); // any double, inf too
        return std::string("shader ") + number;
    }
    return "unknown";
}

bool is_light_kind(std::string_view kind) {
    for (std::string_view k : info_texts::kLightKinds)
        if (k == kind) return true;
    return false;
}

// The number of the first "version" statement, as written; -1 without one.
double document_version(const Document& document) {
    for (const Node& n : document.nodes)
        if (n.kind == NodeKind::Statement && n.keyword == info_texts::kVersion &&
            !n.values.empty() && n.values.front().kind == ValueKind::Number)
            return n.values.front().number;
    return -1;
}

// Elements of an array parameter of `block`, or 0.
std::size_t array_numbers(const Node& block, std::string_view key) {
    const Value* v = block.value_of(key);
    return v && v->kind == ValueKind::Array ? v->array.numbers.size() : 0;
}

// Walks the tree once, filling the summary, with a list of pending levels instead of the call
// stack, so that any nesting the reader takes is walked.
class Gatherer {
public:
    explicit Gatherer(SceneSummary& s) : s_(s) {}

    // Every node of the document.
    void run(const std::vector<Node>& nodes) {
        pending_.push_back({&nodes, 0, kNoGroup, 0, false});
        while (!pending_.empty()) {
            Level& level = pending_.back();
            if (level.next == level.nodes->size()) {
                pending_.pop_back();
                continue;
            }
            const Node& n = (*level.nodes)[level.next++];
            const Level at = level; // visit_node may add levels, which moves `level`
            if (at.in_object && n.kind == NodeKind::Block && n.keyword == info_texts::kGeometry)
                continue; // measured with its object
            visit_node(n, at);
        }
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
    };

    SceneSummary& s_;
    std::vector<Level> pending_;

    // One node: errors, groups, objects, materials, cameras, lights, animations, options.
    void visit_node(const Node& n, const Level& at) {
        if (n.kind == NodeKind::Error) {
            s_.errors.push_back({n.line, n.values.empty() ? std::string() : n.values[0].text});
            return;
        }
        if (n.kind != NodeKind::Block) return;
        if (n.keyword == info_texts::kGroup) {
            std::size_t group = kNoGroup;
            if (at.depth < info_texts::kListedGroupDepth) {
                group = s_.groups.size();
                s_.groups.push_back({n.name(), n.line, 0, at.depth});
            } else {
                ++s_.unlisted_groups;
            }
            pending_.push_back({&n.children, 0, group, at.depth + 1, false});
        } else if (n.keyword == info_texts::kObject) {
            object(n, at);
        } else if (n.keyword == info_texts::kMaterial) {
            const std::string kind = material_kind(n);
            ++(is_light_kind(kind) ? s_.lights : s_.materials)[kind];
        } else if (n.keyword == info_texts::kCamera) {
            ++s_.cameras;
        } else if (n.keyword == info_texts::kLight) {
            ++s_.lights[info_texts::kLightBlock];
        } else if (n.keyword == info_texts::kAnimation) {
            ++s_.animations;
            s_.keyframes += array_numbers(n, info_texts::kTimestamps);
        } else if (n.keyword == info_texts::kLoad && n.name() == info_texts::kOptionsModule) {
            for (const Node& option : n.children)
                if (option.kind != NodeKind::Block)
                    s_.import_options.emplace_back(
                        option.keyword, option.values.empty() ? nullptr : &option.values[0]);
        } else {
            pending_.push_back({&n.children, 0, at.group, at.depth, false});
        }
    }

    // One object block: counted as placed or defined, its geometry measured; its other
    // contents are walked as if they stood beside it.
    void object(const Node& n, const Level& at) {
        ObjectSummary o;
        o.name = n.name();
        o.line = n.line;
        o.bytes = n.size;
        o.definition = n.definition;
        if (o.definition) {
            ++s_.definitions;
        } else {
            ++s_.objects;
            if (at.group != kNoGroup) ++s_.groups[at.group].objects;
        }
        for (const Node& c : n.children) {
            if (c.kind != NodeKind::Block || c.keyword != info_texts::kGeometry) continue;
            o.geometry = c.name();
            if (o.geometry == info_texts::kInstanceGeometry && !o.definition) ++s_.instances;
            if (o.geometry == info_texts::kNurbsGeometry) ++s_.nurbs_surfaces;
            if (o.geometry == info_texts::kTriangleGeometry) {
                o.triangles = array_numbers(c, info_texts::kTrianglesArray) / 3;
                s_.triangles += o.triangles;
                s_.vertices += array_numbers(c, info_texts::kVertices) / 3;
            }
        }
        objects.push_back(std::move(o));
        pending_.push_back({&n.children, 0, at.group, at.depth, true});
    }
};

} // namespace

SceneSummary SceneSummary::of(const Document& document, std::size_t bytes) {
    SceneSummary s;
    s.bytes = bytes;
    s.version = document_version(document);
    s.header = document.header();
    Gatherer gatherer(s);
    gatherer.run(document.nodes);
    std::vector<ObjectSummary>& objects = gatherer.objects;
    std::stable_sort(
        objects.begin(), objects.end(),
        [](const ObjectSummary& a, const ObjectSummary& b) { return a.bytes > b.bytes; });
    if (objects.size() > static_cast<std::size_t>(info_texts::kLargestCount))
        objects.resize(info_texts::kLargestCount);
    s.largest = std::move(objects);
    return s;
}

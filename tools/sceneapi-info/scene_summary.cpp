#include "scene_summary.h"

#include "info_texts.h"

#include <algorithm>
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
        return "shader " + std::to_string(static_cast<long>(surface->number));
    }
    return "unknown";
}

bool is_light_kind(std::string_view kind) {
    for (std::string_view k : info_texts::kLightKinds)
        if (k == kind) return true;
    return false;
}

// Elements of an array parameter of `block`, or 0.
std::size_t array_numbers(const Node& block, std::string_view key) {
    const Value* v = block.value_of(key);
    return v && v->kind == ValueKind::Array ? v->array.numbers.size() : 0;
}

// Walks the tree once, filling the summary.
class Gatherer {
public:
    explicit Gatherer(SceneSummary& s) : s_(s) {}

    // Every node of a list, inside `groups` and directly under `parent` (null: top level).
    void visit(const std::vector<Node>& nodes, std::vector<GroupSummary>& groups,
               GroupSummary* parent) {
        for (const Node& n : nodes)
            visit_node(n, groups, parent);
    }

    // The objects gathered on the way.
    std::vector<ObjectSummary> objects;

private:
    SceneSummary& s_;

    // One node: errors, groups, objects, materials, cameras, lights, animations, options.
    void visit_node(const Node& n, std::vector<GroupSummary>& groups, GroupSummary* parent) {
        if (n.kind == NodeKind::Error) {
            s_.errors.push_back({n.line, n.values.empty() ? std::string() : n.values[0].text});
            return;
        }
        if (n.kind != NodeKind::Block) return;
        if (n.keyword == info_texts::kGroup) {
            GroupSummary g;
            g.name = n.name();
            g.line = n.line;
            visit(n.children, g.groups, &g);
            groups.push_back(std::move(g));
        } else if (n.keyword == info_texts::kObject) {
            object(n, groups, parent);
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
            visit(n.children, groups, parent);
        }
    }

    // One object block: counted as placed or defined, its geometry measured.
    void object(const Node& n, std::vector<GroupSummary>& groups, GroupSummary* parent) {
        ObjectSummary o;
        o.name = n.name();
        o.line = n.line;
        o.bytes = n.size;
        o.definition = n.definition;
        if (o.definition) {
            ++s_.definitions;
        } else {
            ++s_.objects;
            if (parent) ++parent->objects;
        }
        for (const Node& c : n.children) {
            if (c.kind == NodeKind::Block && c.keyword == info_texts::kGeometry) {
                o.geometry = c.name();
                if (o.geometry == info_texts::kInstanceGeometry && !o.definition) ++s_.instances;
                if (o.geometry == info_texts::kNurbsGeometry) ++s_.nurbs_surfaces;
                if (o.geometry == info_texts::kTriangleGeometry) {
                    o.triangles = array_numbers(c, info_texts::kTrianglesArray) / 3;
                    s_.triangles += o.triangles;
                    s_.vertices += array_numbers(c, info_texts::kVertices) / 3;
                }
            } else {
                visit_node(c, groups, parent);
            }
        }
        objects.push_back(std::move(o));
    }
};

} // namespace

SceneSummary SceneSummary::of(const Document& document, std::size_t bytes) {
    SceneSummary s;
    s.bytes = bytes;
    s.version = document.version();
    s.header = document.header();
    Gatherer gatherer(s);
    gatherer.visit(document.nodes, s.groups, nullptr);
    std::vector<ObjectSummary>& objects = gatherer.objects;
    std::stable_sort(
        objects.begin(), objects.end(),
        [](const ObjectSummary& a, const ObjectSummary& b) { return a.bytes > b.bytes; });
    if (objects.size() > static_cast<std::size_t>(info_texts::kLargestCount))
        objects.resize(info_texts::kLargestCount);
    s.largest = std::move(objects);
    return s;
}

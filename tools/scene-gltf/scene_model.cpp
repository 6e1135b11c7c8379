#include "scene_model.h"

#include "file_api/scene_text.h"
#include "nurbs_tessellation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <tuple>
#include <unordered_map>

using namespace vtl::scene_text;

using vtl::reader::Document;
using vtl::reader::Node;
using vtl::reader::NodeKind;
using vtl::reader::Value;
using vtl::reader::ValueKind;

namespace vtl::gltf::detail {

namespace {

constexpr std::size_t kMaxNodeDepth = 64; // deeper groups are flattened into the 64th
constexpr double kPi = 3.14159265358979323846;

// The light kinds of surface shaders and their carrier objects.
bool is_light_kind(std::string_view kind) {
    return kind == kPointLight || kind == kIesLight || kind == kMeshLight;
}

// A statement or parameter among `nodes`.
const Node* find(const std::vector<Node>& nodes, std::string_view keyword) {
    for (const Node& n : nodes)
        if ((n.kind == NodeKind::Statement || n.kind == NodeKind::Parameter) &&
            n.keyword == keyword)
            return &n;
    return nullptr;
}

// Up to `count` leading numbers of a statement or parameter; false unless all are there.
bool numbers(const Node* n, double* out, std::size_t count) {
    if (!n || n->values.size() < count) return false;
    for (std::size_t k = 0; k < count; ++k) {
        if (n->values[k].kind != ValueKind::Number || !std::isfinite(n->values[k].number))
            return false;
        out[k] = n->values[k].number;
    }
    return true;
}

std::string text_of(const Node* n) {
    if (!n || n->values.empty()) return {};
    const Value& v = n->values[0];
    return v.kind == ValueKind::String || v.kind == ValueKind::Word ? v.text : std::string();
}

const vtl::reader::Array* array_of(const Node& geometry, std::string_view name) {
    const Node* p = geometry.child(name);
    if (!p || p->values.empty() || p->values[0].kind != ValueKind::Array) return nullptr;
    return &p->values[0].array;
}

// A transform statement's matrix.
bool transform_of(const Node& n, Matrix& m) {
    if (n.kind != NodeKind::Statement || n.values.size() != 16) return false;
    if (n.keyword != "transform" && n.keyword != "set transform") return false;
    for (int k = 0; k < 16; ++k) {
        if (n.values[k].kind != ValueKind::Number || !std::isfinite(n.values[k].number))
            return false;
        m[k] = n.values[k].number;
    }
    return true;
}

float unit(double x) {
    return static_cast<float>(std::clamp(std::isfinite(x) ? x : 0.0, 0.0, 1.0));
}

// One shader: its type and its parameters.
struct Shader {
    std::string type;
    const std::vector<Node>* params = nullptr;
};

class Builder {
public:
    Builder(const Document& d, const Options& o) : document_(d), options_(o) {}

    SceneModel run() {
        collect_shared();
        walk();
        if (undefined_materials_ > 0)
            warn(std::to_string(undefined_materials_) +
                 " placements refer to materials the file does not define; drawn grey");
        if (bad_triangles_ > 0)
            warn(std::to_string(bad_triangles_) +
                 " triangles with an index outside their vertices dropped");
        if (dropped_attributes_ > 0)
            warn(std::to_string(dropped_attributes_) +
                 " normal, uv or colour arrays that do not fit their mesh dropped");
        if (non_finite_ > 0)
            warn(std::to_string(non_finite_) + " numbers that are not finite written as 0");
        if (undefined_ids_ > 0)
            warn(std::to_string(undefined_ids_) + " instances of ids the file does not define");
        for (const auto& [what, count] : unsupported_)
            warn(what + (count > 1 ? " (" + std::to_string(count) + " times)" : ""));
        return std::move(model_);
    }

private:
    const Document& document_;
    const Options& options_;
    SceneModel model_;
    std::map<double, const Node*> shaders_;            // numbered shaders
    std::map<std::string, const Node*> material_defs_; // material blocks by name
    std::map<std::string, int> material_index_;
    std::map<double, const Node*> object_defs_;          // "#define object" blocks by id
    std::map<std::pair<const Node*, int>, int> mesh_of_; // geometry block (and nothing) to mesh
    std::map<std::string, std::size_t> unsupported_;
    std::size_t undefined_materials_ = 0, bad_triangles_ = 0, dropped_attributes_ = 0;
    std::size_t non_finite_ = 0, undefined_ids_ = 0;

    void warn(std::string text) { model_.warnings.push_back(std::move(text)); }
    void unsupported(const std::string& what) { ++unsupported_[what]; }

    // Numbered shaders, material blocks and object definitions anywhere in the file.
    void collect_shared() {
        vtl::reader::walk(document_.nodes, [&](const Node& n, int) {
            if (n.kind != NodeKind::Block) return;
            if (n.keyword == "shader" && n.definition && !n.values.empty() &&
                n.values[0].kind == ValueKind::Number)
                shaders_[n.values[0].number] = &n;
            else if (n.keyword == "material" && !n.name().empty())
                material_defs_.emplace(n.name(), &n);
            else if (n.keyword == "object" && n.definition) {
                double id = 0;
                if (numbers(find(n.children, "id"), &id, 1)) object_defs_.emplace(id, &n);
            }
        });
    }

    Shader numbered(double number) {
        const auto it = shaders_.find(number);
        if (it == shaders_.end() || it->second->values.size() < 2) return {};
        return {it->second->values[1].text, &it->second->children};
    }

    // The surface shader of a material block, through bump and opacity wrappers to the shader
    // that carries the colour.
    Shader surface_of(const Node& material) {
        Shader s;
        const Node* surface = find(material.children, "surface");
        if (!surface || surface->values.empty()) return s;
        const Value& v = surface->values[0];
        if (v.kind == ValueKind::Shader)
            s = {v.text, &v.body};
        else if (v.kind == ValueKind::Number)
            s = numbered(v.number);
        for (int hop = 0; hop < 8 && s.params; ++hop) {
            if (s.type == "vtl_bumpmap") {
                unsupported("bump maps not carried");
                double base = 0;
                if (!numbers(find(*s.params, "shader"), &base, 1)) break;
                s = numbered(base);
            } else if (s.type == "vtl_composite") {
                unsupported("opacity maps not carried");
                const Node* list = find(*s.params, "shaders");
                if (!list || list->values.empty() || list->values[0].kind != ValueKind::Array ||
                    list->values[0].array.numbers.empty())
                    break;
                s = numbered(list->values[0].array.numbers.back());
            } else {
                break;
            }
        }
        return s;
    }

    // A colour parameter and the texture bound beside it ("name" ! N to a texture shader).
    void colour(const Shader& s, std::string_view name, MaterialData& m, bool texture) {
        for (const Node& p : *s.params) {
            if (p.keyword != name || p.values.empty()) continue;
            if (p.values[0].bound && p.values[0].kind == ValueKind::Number) {
                const Shader t = numbered(p.values[0].number);
                if (texture && t.params && t.type.rfind("texture2", 0) == 0)
                    m.texture = text_of(find(*t.params, "texture"));
                continue;
            }
            double c[3];
            if (numbers(&p, c, 3))
                for (int k = 0; k < 3; ++k)
                    m.base[k] = unit(c[k]);
        }
    }

    MaterialData material_data(const Node& block) {
        MaterialData m;
        m.name = block.name();
        const Shader s = surface_of(block);
        m.kind = s.type;
        if (!s.params) {
            unsupported("materials without a surface shader drawn grey");
            m.base = {0.8f, 0.8f, 0.8f, 1};
            return m;
        }
        double value = 0;
        if (s.type == "vtl_diffuse") {
            colour(s, "diffuse", m, true);
        } else if (s.type == "vtl_plastic_simple") {
            colour(s, "diffuse", m, true);
            m.roughness = numbers(find(*s.params, "roughness"), &value, 1) ? unit(value) : 0.4f;
        } else if (s.type == "vtl_metal") {
            colour(s, "color", m, false);
            m.metallic = 1;
            m.roughness = 0.3f;
        } else if (s.type == "vtl_window_glass") {
            colour(s, "transmission", m, false);
            m.base[3] = 0.25f;
            m.blend = true;
            m.roughness = 0.05f;
        } else if (s.type == "vtl_emissive") {
            colour(s, "color", m, false);
            for (int k = 0; k < 3; ++k)
                m.emissive[k] = m.base[k];
        } else if (is_light_kind(s.type)) {
            colour(s, "color", m, false);
            m.emissive = {m.base[0], m.base[1], m.base[2]};
        } else {
            unsupported("surface shader \"" + s.type + "\" drawn grey");
            m.base = {0.8f, 0.8f, 0.8f, 1};
        }
        return m;
    }

    int material(const Node* block, const std::string& name) {
        const auto known = material_index_.find(name);
        if (known != material_index_.end()) return known->second;
        if (!block) {
            const auto def = material_defs_.find(name);
            if (def != material_defs_.end()) block = def->second;
        }
        MaterialData m;
        if (block) {
            m = material_data(*block);
        } else {
            ++undefined_materials_;
            m.name = name;
            m.base = {0.8f, 0.8f, 0.8f, 1};
        }
        model_.materials.push_back(std::move(m));
        const int index = static_cast<int>(model_.materials.size() - 1);
        material_index_[name] = index;
        return index;
    }

    float finite(double x) {
        const float f = static_cast<float>(x);
        if (std::isfinite(f)) return f;
        ++non_finite_;
        return 0;
    }

    // A "triangles" geometry block as one mesh with one attribute value per vertex; corners
    // with separately indexed normals or uvs become vertices of their own.
    int triangle_mesh(const Node& g, const std::string& name) {
        MeshData mesh;
        mesh.name = name;
        const auto* vertices = array_of(g, kVertices);
        const auto* indices = array_of(g, kTriangles);
        if (!vertices || !indices || !vertices->items.empty()) return -1;
        const std::size_t nv = vertices->numbers.size() / 3;
        auto load = [&](const char* key, std::size_t width, std::vector<double>& out) {
            out.clear();
            const auto* a = array_of(g, key);
            if (a && a->items.empty()) out.assign(a->numbers.begin(), a->numbers.end());
            if (out.size() % width != 0) {
                ++dropped_attributes_;
                out.clear();
            }
        };
        std::vector<double> normals, uvs, colors, normal_index, uv_index;
        load(kNormals, 3, normals);
        load(kUvTex, 2, uvs);
        load("vcolors", 3, colors);
        load("triangles_norm", 1, normal_index);
        load(kTrianglesUv, 1, uv_index);
        const std::size_t corners = indices->items.empty() ? indices->numbers.size() / 3 * 3 : 0;
        if (!indices->items.empty()) ++bad_triangles_;
        // Which attribute arrays fit: indexed ones by corner, the rest by vertex.
        const bool n_indexed = !normals.empty() && normal_index.size() == indices->numbers.size();
        const bool n_vertex = !normals.empty() && normal_index.empty() && normals.size() == 3 * nv;
        const bool t_indexed = !uvs.empty() && uv_index.size() == indices->numbers.size();
        const bool t_vertex = !uvs.empty() && uv_index.empty() && uvs.size() == 2 * nv;
        const bool c_vertex = colors.size() == 3 * nv && nv > 0;
        if (!normals.empty() && !n_indexed && !n_vertex) ++dropped_attributes_;
        if (!uvs.empty() && !t_indexed && !t_vertex) ++dropped_attributes_;
        if (!colors.empty() && !c_vertex) ++dropped_attributes_;
        const bool has_n = n_indexed || n_vertex, has_t = t_indexed || t_vertex;
        std::map<std::tuple<std::size_t, std::size_t, std::size_t>, std::uint32_t> made;
        auto index_at = [](const std::vector<double>& list, std::size_t i, std::size_t limit,
                           std::size_t& out) {
            const double x = list[i];
            if (!(x >= 0 && x < static_cast<double>(limit)) || x != std::floor(x)) return false;
            out = static_cast<std::size_t>(x);
            return true;
        };
        std::vector<double> idx(indices->numbers.begin(), indices->numbers.end());
        for (std::size_t t = 0; t < corners; t += 3) {
            std::tuple<std::size_t, std::size_t, std::size_t> key[3];
            bool ok = true;
            for (int c = 0; c < 3 && ok; ++c) {
                std::size_t v = 0, n = 0, uv = 0;
                ok = index_at(idx, t + c, nv, v);
                if (ok && has_n)
                    ok = n_indexed ? index_at(normal_index, t + c, normals.size() / 3, n)
                                   : (n = v, true);
                if (ok && has_t)
                    ok = t_indexed ? index_at(uv_index, t + c, uvs.size() / 2, uv) : (uv = v, true);
                key[c] = {v, n, uv};
            }
            if (!ok) {
                ++bad_triangles_;
                continue;
            }
            for (const auto& k : key) {
                const auto [it, fresh] =
                    made.emplace(k, static_cast<std::uint32_t>(mesh.positions.size() / 3));
                mesh.indices.push_back(it->second);
                if (!fresh) continue;
                const auto [v, n, uv] = k;
                for (int c = 0; c < 3; ++c)
                    mesh.positions.push_back(finite(vertices->numbers[3 * v + c]));
                if (has_n) {
                    double x = normals[3 * n], y = normals[3 * n + 1], z = normals[3 * n + 2];
                    const double length = std::sqrt(x * x + y * y + z * z);
                    if (length > 1e-12 && std::isfinite(length))
                        x /= length, y /= length, z /= length;
                    else
                        x = 0, y = 0, z = 1;
                    mesh.normals.insert(
                        mesh.normals.end(),
                        {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
                }
                if (has_t) {
                    mesh.uvs.push_back(finite(uvs[2 * uv]));
                    mesh.uvs.push_back(finite(uvs[2 * uv + 1]));
                }
                if (c_vertex)
                    for (int c = 0; c < 3; ++c)
                        mesh.colors.push_back(unit(colors[3 * v + c]));
            }
        }
        if (indices->numbers.size() % 3 != 0) ++bad_triangles_;
        if (mesh.indices.empty()) return -1;
        model_.meshes.push_back(std::move(mesh));
        return static_cast<int>(model_.meshes.size() - 1);
    }

    // The mesh of a geometry block, made once however often it is placed; -1 for none.
    int mesh_of(const Node& g, const std::string& name, int depth = 0) {
        const auto known = mesh_of_.find({&g, 0});
        if (known != mesh_of_.end()) return known->second;
        int mesh = -1;
        const std::string kind = g.name();
        if (kind == kTriangles) {
            mesh = triangle_mesh(g, name);
        } else if (kind == kNurbs) {
            MeshData m;
            m.name = name;
            std::string reason;
            if (!tessellate_nurbs(g, options_.nurbs_segments_per_span, m, reason))
                warn("NURBS surface \"" + name + "\" (line " + std::to_string(g.line) +
                     ") left out: " + reason);
            else if (!m.indices.empty()) {
                model_.meshes.push_back(std::move(m));
                mesh = static_cast<int>(model_.meshes.size() - 1);
            }
        } else if (kind == kInstance) {
            double id = 0;
            const auto def = numbers(find(g.children, "id"), &id, 1) ? object_defs_.find(id)
                                                                     : object_defs_.end();
            if (def == object_defs_.end()) {
                ++undefined_ids_;
            } else if (depth < 8) {
                for (const Node& c : def->second->children)
                    if (c.kind == NodeKind::Block && c.keyword == "geometry") {
                        mesh = mesh_of(c, def->second->name(), depth + 1);
                        break;
                    }
            }
        } else {
            unsupported("geometry \"" + kind + "\" left out");
        }
        mesh_of_[{&g, 0}] = mesh;
        return mesh;
    }

    std::size_t add_node(std::string name, const Matrix& m, std::size_t parent, bool root) {
        SceneNode n;
        n.name = std::move(name);
        n.matrix = m;
        model_.nodes.push_back(std::move(n));
        const std::size_t index = model_.nodes.size() - 1;
        (root ? model_.roots : model_.nodes[parent].children).push_back(index);
        return index;
    }

    // An object block placed in the scene.
    void object(const Node& n, const Matrix& at, std::size_t parent, bool root) {
        Matrix m = at;
        const Node* geometry = nullptr;
        const Node* material_block = nullptr;
        std::string material_name;
        for (const Node& c : n.children) {
            Matrix t;
            if (transform_of(c, t))
                m = c.keyword == "set transform" ? product(t, at) : product(t, m);
            if (c.kind == NodeKind::Block && c.keyword == "geometry" && !geometry) geometry = &c;
            if (c.keyword == "material" && material_name.empty()) {
                if (c.kind == NodeKind::Block) material_block = &c, material_name = c.name();
                if (c.kind == NodeKind::Statement) material_name = text_of(&c);
            }
        }
        // A light's carrier: the light, not its mesh.
        const Node* light_block =
            material_block
                ? material_block
                : (material_defs_.count(material_name) ? material_defs_[material_name] : nullptr);
        if (light_block) {
            const Shader s = surface_of(*light_block);
            if (is_light_kind(s.type) && s.params) {
                light(n, s, m, parent, root);
                if (!options_.light_carriers) return;
            }
        }
        if (!geometry) return;
        const int mesh = mesh_of(*geometry, n.name());
        if (mesh < 0) return;
        const std::size_t node = add_node(n.name(), m, parent, root);
        model_.nodes[node].mesh = mesh;
        model_.nodes[node].material = material(material_block, material_name);
        for (const Node& c : n.children)
            if (c.kind == NodeKind::Block && c.keyword == "animation") animation(c, node);
    }

    void light(const Node& n, const Shader& s, const Matrix& m, std::size_t parent, bool root) {
        PointLight l;
        l.name = n.name();
        l.kind = s.type;
        double c[3], power = 0;
        if (numbers(find(*s.params, "color"), c, 3))
            for (int k = 0; k < 3; ++k)
                l.color[k] = unit(c[k]);
        if (numbers(find(*s.params, "power"), &power, 1) && power >= 0)
            l.intensity = static_cast<float>(power / (4 * kPi)); // lumen to candela, all round
        else
            l.intensity = 100.0f / (4 * kPi);
        if (s.type != kPointLight)
            unsupported(s.type == kIesLight ? "IES lights carried as point lights"
                                            : "line lights carried as point lights");
        // Placed where its carrier stands: the centre of the carrier's vertices.
        Matrix at = m;
        for (const Node& c2 : n.children)
            if (c2.kind == NodeKind::Block && c2.keyword == "geometry") {
                const auto* v = array_of(c2, kVertices);
                if (!v || v->numbers.size() < 3 || !v->items.empty()) break;
                double centre[3] = {0, 0, 0};
                const std::size_t count = v->numbers.size() / 3;
                for (std::size_t i = 0; i < count; ++i)
                    for (int k = 0; k < 3; ++k)
                        centre[k] += v->numbers[3 * i + k] / static_cast<double>(count);
                Matrix shift = kIdentity;
                for (int k = 0; k < 3; ++k)
                    shift[12 + k] = std::isfinite(centre[k]) ? centre[k] : 0;
                at = product(shift, m);
                break;
            }
        model_.lights.push_back(std::move(l));
        const std::size_t node = add_node(n.name(), at, parent, root);
        model_.nodes[node].light = static_cast<int>(model_.lights.size() - 1);
    }

    void camera(const Node& n, std::size_t parent, bool root) {
        CameraData cam;
        cam.name = n.name().empty() ? "camera" : n.name();
        cam.orthographic = text_of(find(n.children, "projection")) == "orthographic";
        double f4[4], f = 0, clip[2];
        if (numbers(find(n.children, "fov4"), f4, 4) && f4[1] > f4[0] && f4[3] > f4[2]) {
            cam.yfov = std::atan(f4[3]) - std::atan(f4[2]);
            cam.aspect = (f4[1] - f4[0]) / (f4[3] - f4[2]);
            cam.xmag = (f4[1] - f4[0]) / 2;
            cam.ymag = (f4[3] - f4[2]) / 2;
        } else if (numbers(find(n.children, "fov"), &f, 1) && f > 0 && f < 180) {
            cam.yfov = f * kPi / 180;
        }
        if (numbers(find(n.children, "clipping"), clip, 2) && clip[0] > 0 && clip[1] > clip[0]) {
            cam.znear = clip[0];
            cam.zfar = clip[1];
        }
        double position[3] = {0, 0, 0}, direction[3] = {0, 0, -1}, up[3] = {0, 1, 0}, look[3];
        numbers(find(n.children, "position"), position, 3);
        numbers(find(n.children, "direction"), direction, 3);
        numbers(find(n.children, "up"), up, 3);
        if (numbers(find(n.children, "look_at"), look, 3))
            for (int k = 0; k < 3; ++k)
                direction[k] = look[k] - position[k];
        // The camera looks down its -z with +y up: z = -direction, x = up × z, y = z × x.
        auto normalise = [](double* v) {
            const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            if (!(l > 1e-12) || !std::isfinite(l)) return false;
            for (int k = 0; k < 3; ++k)
                v[k] /= l;
            return true;
        };
        double z[3] = {-direction[0], -direction[1], -direction[2]};
        if (!normalise(z)) z[0] = 0, z[1] = 0, z[2] = 1;
        double x[3] = {up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2],
                       up[0] * z[1] - up[1] * z[0]};
        if (!normalise(x)) { // up along the view: any perpendicular
            const double other[3] = {std::fabs(z[0]) < 0.9 ? 1.0 : 0.0,
                                     std::fabs(z[0]) < 0.9 ? 0.0 : 1.0, 0};
            x[0] = other[1] * z[2] - other[2] * z[1];
            x[1] = other[2] * z[0] - other[0] * z[2];
            x[2] = other[0] * z[1] - other[1] * z[0];
            normalise(x);
        }
        const double y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2],
                             z[0] * x[1] - z[1] * x[0]};
        Matrix m = {x[0], x[1], x[2], 0, y[0],        y[1],        y[2],        0,
                    z[0], z[1], z[2], 0, position[0], position[1], position[2], 1};
        for (const Node& c : n.children) {
            Matrix t;
            if (transform_of(c, t)) m = product(m, t);
        }
        model_.cameras.push_back(std::move(cam));
        const std::size_t node = add_node(n.name().empty() ? "camera" : n.name(), m, parent, root);
        model_.nodes[node].camera = static_cast<int>(model_.cameras.size() - 1);
        if (model_.cameras.size() == 2) warn("more than one camera; the first is the view");
    }

    // A keyframed animation of the node it stands in.
    void animation(const Node& n, std::size_t node) {
        AnimationData a;
        a.name = n.values.size() >= 2 && n.values[1].kind == ValueKind::String ? n.values[1].text
                                                                               : n.name();
        const auto* stamps = array_of(n, kTimestamps);
        const auto* matrices = array_of(n, kMatrices);
        double start = 0, duration = 0;
        numbers(find(n.children, "start_time"), &start, 1);
        numbers(find(n.children, "duration"), &duration, 1);
        const Node* interpolate = find(n.children, "interpolate");
        a.step = interpolate && !interpolate->values.empty() && interpolate->values[0].is("off");
        if (!stamps || !matrices || !stamps->items.empty() || !matrices->items.empty()) {
            warn("animation \"" + a.name + "\" without keyframes left out");
            return;
        }
        const std::size_t count = std::min(stamps->numbers.size(), matrices->numbers.size() / 16);
        if (count != stamps->numbers.size() || count * 16 != matrices->numbers.size())
            warn("animation \"" + a.name + "\": times and matrices differ in number; " +
                 std::to_string(count) + " keyframes used");
        if (count == 0) return;
        const double first = stamps->numbers[0], last = stamps->numbers[count - 1];
        // Time stamps spread over [start, start + duration]; without a duration, 30 a second.
        const bool spread = duration > 0 && last > first && std::isfinite(last - first);
        std::size_t dropped = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const double s = stamps->numbers[k];
            const double t = spread ? start + (s - first) / (last - first) * duration : s / 30.0;
            const float time = static_cast<float>(t);
            Matrix m;
            bool ok =
                std::isfinite(time) && time >= 0 && (a.times.empty() || time > a.times.back());
            for (int e = 0; e < 16 && ok; ++e) {
                m[e] = matrices->numbers[16 * k + e];
                ok = std::isfinite(m[e]);
            }
            if (!ok) {
                ++dropped;
                continue;
            }
            a.times.push_back(time);
            a.matrices.push_back(m);
        }
        if (dropped > 0)
            warn("animation \"" + a.name + "\": " + std::to_string(dropped) +
                 " keyframes out of time order or not finite dropped");
        if (a.times.empty()) return;
        model_.animations.push_back(std::move(a));
        model_.animated_nodes.push_back(node);
    }

    // The document, level by level, without recursion: groups become nodes (up to
    // kMaxNodeDepth), transforms move what follows them on their level.
    void walk() {
        struct Level {
            const std::vector<Node>* nodes;
            std::size_t next;
            std::size_t parent; // the group's node
            bool root;          // contents stand at the top
            Matrix matrix;      // where the level's contents stand, relative to parent
            Matrix outer;       // where the level itself stands
            std::size_t depth;
        };
        std::vector<Level> pending{{&document_.nodes, 0, 0, true, kIdentity, kIdentity, 0}};
        while (!pending.empty()) {
            Level& level = pending.back();
            if (level.next == level.nodes->size()) {
                pending.pop_back();
                continue;
            }
            const Node& n = (*level.nodes)[level.next++];
            Matrix t;
            if (transform_of(n, t)) {
                level.matrix = n.keyword == "set transform" ? product(t, level.outer)
                                                            : product(t, level.matrix);
                continue;
            }
            if (n.kind != NodeKind::Block) continue;
            const Level at = level; // pushing below moves `level`
            if (n.keyword == "group") {
                if (at.depth < kMaxNodeDepth) {
                    const std::size_t node = add_node(n.name(), at.matrix, at.parent, at.root);
                    pending.push_back(
                        {&n.children, 0, node, false, kIdentity, kIdentity, at.depth + 1});
                } else {
                    pending.push_back(
                        {&n.children, 0, at.parent, at.root, at.matrix, at.matrix, at.depth + 1});
                }
            } else if (n.keyword == "object") {
                if (!n.definition) object(n, at.matrix, at.parent, at.root);
            } else if (n.keyword == "camera") {
                camera(n, at.parent, at.root);
            } else if (n.keyword == "animation") {
                if (!at.root) {
                    animation(n, at.parent);
                } else { // drives nothing of the scene: kept on a node of its own
                    const std::size_t node = add_node(n.name(), kIdentity, 0, true);
                    animation(n, node);
                    unsupported("animations outside any group or object kept on empty nodes");
                }
            } else if (n.keyword == "light") {
                unsupported("light blocks left out");
            }
        }
    }
};

} // namespace

SceneModel build_model(const Document& document, const Options& options) {
    return Builder(document, options).run();
}

PathParts split_path(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    PathParts parts;
    parts.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    parts.stem = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = parts.stem.rfind('.');
    if (dot != std::string::npos && dot > 0) parts.stem.resize(dot);
    return parts;
}

} // namespace vtl::gltf::detail

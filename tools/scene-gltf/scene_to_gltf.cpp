#include "scene_to_gltf.h"

#include "obj_writer.h"
#include "scene_model.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <sstream>

namespace vtl::gltf {
namespace {

using detail::Matrix;
using detail::SceneModel;

// Translation, rotation (x, y, z, w) and scale of a points-as-rows matrix; false when it holds
// a shear or a projection that these cannot give back.
bool decompose(const Matrix& m, double t[3], double q[4], double s[3]) {
    double r[3][3];
    for (int i = 0; i < 3; ++i) {
        t[i] = m[12 + i];
        for (int j = 0; j < 3; ++j)
            r[i][j] = m[4 * i + j];
        s[i] = std::sqrt(r[i][0] * r[i][0] + r[i][1] * r[i][1] + r[i][2] * r[i][2]);
    }
    const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                       r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                       r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
    if (det < 0) s[0] = -s[0];
    q[0] = q[1] = q[2] = 0;
    q[3] = 1;
    if (!(std::fabs(det) > 1e-30)) return false;
    // c[a][b]: row a, column b of the rotation that moves column vectors (its columns are the
    // scaled-away rows of m).
    double c[3][3];
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            c[a][b] = r[b][a] / s[b];
    const double trace = c[0][0] + c[1][1] + c[2][2];
    if (trace > 0) {
        const double k = 0.5 / std::sqrt(trace + 1);
        q[3] = 0.25 / k;
        q[0] = (c[2][1] - c[1][2]) * k;
        q[1] = (c[0][2] - c[2][0]) * k;
        q[2] = (c[1][0] - c[0][1]) * k;
    } else if (c[0][0] > c[1][1] && c[0][0] > c[2][2]) {
        const double k = 2 * std::sqrt(std::max(0.0, 1 + c[0][0] - c[1][1] - c[2][2]));
        q[3] = (c[2][1] - c[1][2]) / k;
        q[0] = 0.25 * k;
        q[1] = (c[0][1] + c[1][0]) / k;
        q[2] = (c[0][2] + c[2][0]) / k;
    } else if (c[1][1] > c[2][2]) {
        const double k = 2 * std::sqrt(std::max(0.0, 1 + c[1][1] - c[0][0] - c[2][2]));
        q[3] = (c[0][2] - c[2][0]) / k;
        q[0] = (c[0][1] + c[1][0]) / k;
        q[1] = 0.25 * k;
        q[2] = (c[1][2] + c[2][1]) / k;
    } else {
        const double k = 2 * std::sqrt(std::max(0.0, 1 + c[2][2] - c[0][0] - c[1][1]));
        q[3] = (c[1][0] - c[0][1]) / k;
        q[0] = (c[0][2] + c[2][0]) / k;
        q[1] = (c[1][2] + c[2][1]) / k;
        q[2] = 0.25 * k;
    }
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(length > 0) || !std::isfinite(length)) {
        q[0] = q[1] = q[2] = 0;
        q[3] = 1;
        return false;
    }
    for (int k = 0; k < 4; ++k)
        q[k] /= length;
    // Shear or projection: the rotation's columns are not orthonormal, or the last column moves.
    double worst = std::fabs(m[3]) + std::fabs(m[7]) + std::fabs(m[11]) + std::fabs(m[15] - 1);
    for (int a = 0; a < 3; ++a)
        for (int b = a; b < 3; ++b) {
            double dot = 0;
            for (int k = 0; k < 3; ++k)
                dot += c[k][a] * c[k][b];
            worst = std::max(worst, std::fabs(dot - (a == b ? 1 : 0)));
        }
    return worst < 1e-4;
}

// A relative path as a URI: bytes outside the unreserved set and "/" percent-encoded.
std::string uri_of(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : path) {
        const char c = ch == '\\' ? '/' : static_cast<char>(ch);
        if (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~/", c)) {
            out += c;
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

class Writer {
public:
    explicit Writer(const SceneModel& scene) : scene_(scene) {}

    Conversion build(tinygltf::Model& model) {
        Conversion c;
        model.asset.version = "2.0";
        model.asset.generator = "sceneapi_gltf";
        model.buffers.emplace_back();
        for (const auto& m : scene_.materials)
            material(model, m);
        for (const auto& cam : scene_.cameras)
            camera(model, cam);
        for (const auto& l : scene_.lights) {
            tinygltf::Light light;
            light.name = l.name;
            light.type = "point";
            light.color = {l.color[0], l.color[1], l.color[2]};
            light.intensity = l.intensity;
            model.lights.push_back(std::move(light));
        }
        std::size_t shear = 0;
        for (std::size_t i = 0; i < scene_.nodes.size(); ++i) {
            const detail::SceneNode& n = scene_.nodes[i];
            tinygltf::Node node;
            node.name = n.name;
            double t[3], q[4], s[3];
            if (!decompose(n.matrix, t, q, s) && n.matrix != detail::kIdentity) ++shear;
            if (t[0] != 0 || t[1] != 0 || t[2] != 0) node.translation = {t[0], t[1], t[2]};
            if (q[3] != 1) node.rotation = {q[0], q[1], q[2], q[3]};
            if (s[0] != 1 || s[1] != 1 || s[2] != 1) node.scale = {s[0], s[1], s[2]};
            for (std::size_t child : n.children)
                node.children.push_back(static_cast<int>(child));
            if (n.mesh >= 0) {
                node.mesh = mesh(model, n.mesh, n.material);
                c.triangles += scene_.meshes[n.mesh].triangles();
            }
            node.camera = n.camera;
            if (n.light >= 0) {
                tinygltf::Value::Object ref;
                ref["light"] = tinygltf::Value(n.light);
                node.extensions["KHR_lights_punctual"] = tinygltf::Value(ref);
            }
            model.nodes.push_back(std::move(node));
        }
        tinygltf::Scene scene;
        scene.name = "scene";
        for (std::size_t r : scene_.roots)
            scene.nodes.push_back(static_cast<int>(r));
        model.scenes.push_back(std::move(scene));
        model.defaultScene = 0;
        for (std::size_t a = 0; a < scene_.animations.size(); ++a)
            animation(model, scene_.animations[a], scene_.animated_nodes[a]);
        if (model.buffers[0].data.empty()) model.buffers.clear();
        c.warnings = scene_.warnings;
        if (shear > 0)
            c.warnings.push_back(std::to_string(shear) +
                                 " transforms with shear or projection written without them");
        c.ok = true;
        c.meshes = model.meshes.size();
        c.nodes = model.nodes.size();
        c.materials = model.materials.size();
        return c;
    }

private:
    const SceneModel& scene_;
    std::map<std::pair<int, int>, int> meshes_;       // (mesh, material) to glTF mesh
    std::map<int, std::map<std::string, int>> attrs_; // mesh to its accessors
    std::map<std::string, int> textures_;

    // A buffer view of `bytes` at a 4-byte aligned place in the one buffer.
    int view(tinygltf::Model& model, const void* data, std::size_t bytes, int target) {
        auto& buffer = model.buffers[0].data;
        buffer.resize((buffer.size() + 3) / 4 * 4, 0);
        tinygltf::BufferView v;
        v.buffer = 0;
        v.byteOffset = buffer.size();
        v.byteLength = bytes;
        v.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        buffer.insert(buffer.end(), p, p + bytes);
        model.bufferViews.push_back(v);
        return static_cast<int>(model.bufferViews.size() - 1);
    }

    int floats(tinygltf::Model& model, const std::vector<float>& values, int width, bool bounds) {
        tinygltf::Accessor a;
        a.bufferView =
            view(model, values.data(), values.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
        a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        a.count = values.size() / width;
        a.type = width == 2 ? TINYGLTF_TYPE_VEC2 : TINYGLTF_TYPE_VEC3;
        if (bounds) {
            a.minValues.assign(width, 0);
            a.maxValues.assign(width, 0);
            for (std::size_t i = 0; i < a.count; ++i)
                for (int k = 0; k < width; ++k) {
                    const double x = values[i * width + k];
                    a.minValues[k] = i == 0 ? x : std::min(a.minValues[k], x);
                    a.maxValues[k] = i == 0 ? x : std::max(a.maxValues[k], x);
                }
        }
        model.accessors.push_back(std::move(a));
        return static_cast<int>(model.accessors.size() - 1);
    }

    int mesh(tinygltf::Model& model, int index, int material) {
        const auto known = meshes_.find({index, material});
        if (known != meshes_.end()) return known->second;
        const detail::MeshData& m = scene_.meshes[index];
        auto& attrs = attrs_[index];
        if (attrs.empty()) {
            attrs["POSITION"] = floats(model, m.positions, 3, true);
            if (!m.normals.empty()) attrs["NORMAL"] = floats(model, m.normals, 3, false);
            if (!m.uvs.empty()) { // glTF's texture origin is the top left
                std::vector<float> uv = m.uvs;
                for (std::size_t i = 1; i < uv.size(); i += 2)
                    uv[i] = 1 - uv[i];
                attrs["TEXCOORD_0"] = floats(model, uv, 2, false);
            }
            if (!m.colors.empty()) attrs["COLOR_0"] = floats(model, m.colors, 3, false);
            tinygltf::Accessor a;
            a.bufferView = view(model, m.indices.data(), m.indices.size() * 4,
                                TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
            a.count = m.indices.size();
            a.type = TINYGLTF_TYPE_SCALAR;
            model.accessors.push_back(std::move(a));
            attrs[""] = static_cast<int>(model.accessors.size() - 1);
        }
        tinygltf::Primitive p;
        for (const auto& [name, accessor] : attrs)
            if (!name.empty()) p.attributes[name] = accessor;
        p.indices = attrs[""];
        p.material = material;
        p.mode = TINYGLTF_MODE_TRIANGLES;
        tinygltf::Mesh out;
        out.name = m.name;
        out.primitives.push_back(std::move(p));
        model.meshes.push_back(std::move(out));
        const int made = static_cast<int>(model.meshes.size() - 1);
        meshes_[{index, material}] = made;
        return made;
    }

    void material(tinygltf::Model& model, const detail::MaterialData& m) {
        tinygltf::Material out;
        out.name = m.name;
        out.pbrMetallicRoughness.baseColorFactor = {m.base[0], m.base[1], m.base[2], m.base[3]};
        out.pbrMetallicRoughness.metallicFactor = m.metallic;
        out.pbrMetallicRoughness.roughnessFactor = m.roughness;
        out.emissiveFactor = {m.emissive[0], m.emissive[1], m.emissive[2]};
        if (m.blend) out.alphaMode = "BLEND";
        if (!m.texture.empty()) {
            auto known = textures_.find(m.texture);
            if (known == textures_.end()) {
                tinygltf::Image image;
                image.uri = uri_of(m.texture);
                model.images.push_back(std::move(image));
                tinygltf::Texture texture;
                texture.source = static_cast<int>(model.images.size() - 1);
                model.textures.push_back(texture);
                known =
                    textures_.emplace(m.texture, static_cast<int>(model.textures.size() - 1)).first;
            }
            out.pbrMetallicRoughness.baseColorTexture.index = known->second;
        }
        model.materials.push_back(std::move(out));
    }

    void camera(tinygltf::Model& model, const detail::CameraData& cam) {
        tinygltf::Camera out;
        out.name = cam.name;
        if (cam.orthographic) {
            out.type = "orthographic";
            out.orthographic.xmag = cam.xmag;
            out.orthographic.ymag = cam.ymag;
            out.orthographic.znear = cam.znear;
            out.orthographic.zfar = cam.zfar > cam.znear ? cam.zfar : cam.znear + 1000;
        } else {
            out.type = "perspective";
            out.perspective.yfov = cam.yfov;
            out.perspective.aspectRatio = cam.aspect;
            out.perspective.znear = cam.znear;
            // The writer always gives a far plane: without a range, far enough for any scene.
            out.perspective.zfar = cam.zfar > cam.znear ? cam.zfar : cam.znear * 1e7;
        }
        model.cameras.push_back(std::move(out));
    }

    void animation(tinygltf::Model& model, const detail::AnimationData& a, std::size_t node) {
        // The node's transform as translation, rotation and scale channels.
        tinygltf::Node& target = model.nodes[node];
        std::vector<float> t, r, s;
        for (const Matrix& m : a.matrices) {
            double tt[3], q[4], ss[3];
            decompose(m, tt, q, ss);
            for (int k = 0; k < 3; ++k) {
                t.push_back(static_cast<float>(tt[k]));
                s.push_back(static_cast<float>(ss[k]));
            }
            for (int k = 0; k < 4; ++k)
                r.push_back(static_cast<float>(q[k]));
        }
        (void)target;
        tinygltf::Accessor in;
        in.bufferView = view(model, a.times.data(), a.times.size() * 4, 0);
        in.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        in.count = a.times.size();
        in.type = TINYGLTF_TYPE_SCALAR;
        in.minValues = {a.times.front()};
        in.maxValues = {a.times.back()};
        model.accessors.push_back(std::move(in));
        const int input = static_cast<int>(model.accessors.size() - 1);
        tinygltf::Animation out;
        out.name = a.name;
        const std::pair<const char*, std::vector<float>*> paths[3] = {
            {"translation", &t}, {"rotation", &r}, {"scale", &s}};
        for (const auto& [path, values] : paths) {
            tinygltf::Accessor acc;
            acc.bufferView = view(model, values->data(), values->size() * 4, 0);
            acc.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
            acc.count = a.times.size();
            acc.type = values == &r ? TINYGLTF_TYPE_VEC4 : TINYGLTF_TYPE_VEC3;
            model.accessors.push_back(std::move(acc));
            tinygltf::AnimationSampler sampler;
            sampler.input = input;
            sampler.output = static_cast<int>(model.accessors.size() - 1);
            sampler.interpolation = a.step ? "STEP" : "LINEAR";
            out.samplers.push_back(sampler);
            tinygltf::AnimationChannel channel;
            channel.sampler = static_cast<int>(out.samplers.size() - 1);
            channel.target_node = static_cast<int>(node);
            channel.target_path = path;
            out.channels.push_back(channel);
        }
        model.animations.push_back(std::move(out));
    }
};

Conversion convert(const vtl::reader::Document& document, const Options& options,
                   tinygltf::Model& model) {
    try {
        const SceneModel scene = detail::build_model(document, options);
        return Writer(scene).build(model);
    } catch (const std::bad_alloc&) {
        Conversion c;
        c.error = "not enough memory for the scene";
        return c;
    } catch (const std::exception& e) {
        Conversion c;
        c.error = e.what();
        return c;
    }
}

} // namespace

Conversion scene_to_glb(const vtl::reader::Document& document, std::vector<unsigned char>& glb,
                        const Options& options) {
    glb.clear();
    tinygltf::Model model;
    Conversion c = convert(document, options, model);
    if (!c.ok) return c;
    try {
        tinygltf::TinyGLTF writer;
        writer.SetImageWriter(nullptr, nullptr); // images stay references to their files
        std::ostringstream out;
        if (!writer.WriteGltfSceneToStream(&model, out, false, true)) {
            c.ok = false;
            c.error = "the glTF writer refused the scene";
            return c;
        }
        const std::string bytes = out.str();
        glb.assign(bytes.begin(), bytes.end());
    } catch (const std::exception& e) {
        c.ok = false;
        c.error = std::string("writing glTF: ") + e.what();
    }
    return c;
}

Conversion scene_to_gltf(const vtl::reader::Document& document, const std::string& gltf_path,
                         const Options& options) {
    tinygltf::Model model;
    Conversion c = convert(document, options, model);
    if (!c.ok) return c;
    // The buffer beside the JSON, under the same base name.
    const detail::PathParts parts = detail::split_path(gltf_path);
    const std::string bin_name = parts.stem + ".bin";
    const std::string& folder = parts.folder;
    const std::string bin_uri = uri_of(bin_name);
    try {
        if (!model.buffers.empty()) model.buffers[0].uri = bin_uri;
        tinygltf::TinyGLTF writer;
        writer.SetImageWriter(nullptr, nullptr); // images stay references to their files
        if (!writer.WriteGltfSceneToFile(&model, gltf_path, false, false, true, false)) {
            c.ok = false;
            c.error = "cannot write " + gltf_path + " or its buffer";
            return c;
        }
        // The writer names the buffer file by its URI; a name that needed escaping moves to
        // the name the URI stands for.
        if (!model.buffers.empty() && bin_uri != bin_name &&
            std::rename((folder + bin_uri).c_str(), (folder + bin_name).c_str()) != 0) {
            c.ok = false;
            c.error = "cannot write " + folder + bin_name;
        }
    } catch (const std::exception& e) {
        c.ok = false;
        c.error = std::string("writing glTF: ") + e.what();
    }
    return c;
}

} // namespace vtl::gltf

namespace vtl::gltf {

Conversion scene_to_obj(const vtl::reader::Document& document, const std::string& obj_path,
                        const Options& options) {
    Conversion c;
    try {
        const detail::SceneModel scene = detail::build_model(document, options);
        c.warnings = scene.warnings;
        if (!detail::write_obj(scene, obj_path, c.triangles, c.error)) return c;
        c.ok = true;
        c.meshes = scene.meshes.size();
        c.nodes = scene.nodes.size();
        c.materials = scene.materials.size();
        if (!scene.cameras.empty() || !scene.lights.empty() || !scene.animations.empty())
            c.warnings.push_back("OBJ holds no cameras, lights or animations; they are left out");
    } catch (const std::bad_alloc&) {
        c.ok = false;
        c.error = "not enough memory for the scene";
    }
    return c;
}

} // namespace vtl::gltf

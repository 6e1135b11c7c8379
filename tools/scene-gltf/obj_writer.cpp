#include "obj_writer.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

namespace vtl::gltf::detail {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A name usable after "o", "usemtl" and "newmtl": no blanks or line breaks.
std::string word(const std::string& name, const char* fallback) {
    std::string out;
    for (char c : name)
        out += (c == ' ' || c == '\t' || c == '\n' || c == '\r') ? '_' : c;
    return out.empty() ? fallback : out;
}

} // namespace

bool write_obj(const SceneModel& scene, const std::string& obj_path, std::size_t& triangles,
               std::string& error) {
    triangles = 0;
    const PathParts parts = split_path(obj_path);
    const std::string mtl_name = parts.stem + ".mtl";
    const std::string mtl_path = parts.folder + mtl_name;
    File obj(std::fopen(obj_path.c_str(), "wb"));
    File mtl(obj ? std::fopen(mtl_path.c_str(), "wb") : nullptr);
    if (!obj || !mtl) {
        error = "cannot write " + (obj ? mtl_path : obj_path);
        return false;
    }
    std::fprintf(mtl.get(), "# materials of %s.obj\n", parts.stem.c_str());
    std::set<std::string> names;
    for (std::size_t i = 0; i < scene.materials.size(); ++i) {
        const MaterialData& m = scene.materials[i];
        std::string name = word(m.name, "material");
        if (!names.insert(name).second) name += "_" + std::to_string(i);
        std::fprintf(mtl.get(), "\nnewmtl %s\nKd %g %g %g\n", name.c_str(), m.base[0], m.base[1],
                     m.base[2]);
        const float specular = m.metallic > 0 ? 0.9f : 0.04f;
        std::fprintf(mtl.get(), "Ks %g %g %g\nNs %g\n", specular, specular, specular,
                     (1 - m.roughness) * (1 - m.roughness) * 1000);
        if (m.emissive[0] > 0 || m.emissive[1] > 0 || m.emissive[2] > 0)
            std::fprintf(mtl.get(), "Ke %g %g %g\n", m.emissive[0], m.emissive[1], m.emissive[2]);
        if (m.base[3] < 1) std::fprintf(mtl.get(), "d %g\n", m.base[3]);
        if (!m.texture.empty()) std::fprintf(mtl.get(), "map_Kd %s\n", m.texture.c_str());
    }
    std::fprintf(obj.get(), "# written by sceneapi_gltf\nmtllib %s\n", mtl_name.c_str());
    // Placements in the node tree, each with its transform from the root, without recursion.
    std::vector<std::pair<std::size_t, Matrix>> pending;
    for (auto it = scene.roots.rbegin(); it != scene.roots.rend(); ++it)
        pending.push_back({*it, scene.nodes[*it].matrix});
    std::size_t base_v = 1, base_n = 1, base_t = 1;
    std::vector<std::string> material_names;
    names.clear();
    for (std::size_t i = 0; i < scene.materials.size(); ++i) {
        std::string name = word(scene.materials[i].name, "material");
        if (!names.insert(name).second) name += "_" + std::to_string(i);
        material_names.push_back(name);
    }
    while (!pending.empty()) {
        const auto [index, m] = pending.back();
        pending.pop_back();
        const SceneNode& n = scene.nodes[index];
        for (auto it = n.children.rbegin(); it != n.children.rend(); ++it)
            pending.push_back({*it, product(scene.nodes[*it].matrix, m)});
        if (n.mesh < 0) continue;
        const MeshData& mesh = scene.meshes[n.mesh];
        std::fprintf(obj.get(), "o %s\n", word(n.name, "object").c_str());
        if (n.material >= 0)
            std::fprintf(obj.get(), "usemtl %s\n", material_names[n.material].c_str());
        const std::size_t count = mesh.positions.size() / 3;
        for (std::size_t v = 0; v < count; ++v) {
            const float* p = &mesh.positions[3 * v];
            double q[3];
            for (int j = 0; j < 3; ++j)
                q[j] = p[0] * m[j] + p[1] * m[4 + j] + p[2] * m[8 + j] + m[12 + j];
            std::fprintf(obj.get(), "v %.9g %.9g %.9g\n", q[0], q[1], q[2]);
        }
        // Normals move by the inverse transpose; its direction is that of the cofactors.
        const double c[9] = {
            m[5] * m[10] - m[6] * m[9], m[6] * m[8] - m[4] * m[10], m[4] * m[9] - m[5] * m[8],
            m[2] * m[9] - m[1] * m[10], m[0] * m[10] - m[2] * m[8], m[1] * m[8] - m[0] * m[9],
            m[1] * m[6] - m[2] * m[5],  m[2] * m[4] - m[0] * m[6],  m[0] * m[5] - m[1] * m[4]};
        for (std::size_t v = 0; v < mesh.normals.size() / 3; ++v) {
            const float* p = &mesh.normals[3 * v];
            double q[3];
            for (int j = 0; j < 3; ++j)
                q[j] = p[0] * c[j] + p[1] * c[3 + j] + p[2] * c[6 + j];
            const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
            if (l > 0 && std::isfinite(l))
                std::fprintf(obj.get(), "vn %.6g %.6g %.6g\n", q[0] / l, q[1] / l, q[2] / l);
            else
                std::fprintf(obj.get(), "vn 0 0 1\n");
        }
        for (std::size_t v = 0; v < mesh.uvs.size() / 2; ++v)
            std::fprintf(obj.get(), "vt %.9g %.9g\n", mesh.uvs[2 * v], mesh.uvs[2 * v + 1]);
        const bool has_n = !mesh.normals.empty(), has_t = !mesh.uvs.empty();
        for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
            std::fputs("f", obj.get());
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = mesh.indices[t + k];
                std::fprintf(obj.get(), " %zu", base_v + i);
                if (has_t || has_n) {
                    std::fputc('/', obj.get());
                    if (has_t) std::fprintf(obj.get(), "%zu", base_t + i);
                    if (has_n) std::fprintf(obj.get(), "/%zu", base_n + i);
                }
            }
            std::fputc('\n', obj.get());
        }
        base_v += count;
        base_n += mesh.normals.size() / 3;
        base_t += mesh.uvs.size() / 2;
        triangles += mesh.triangles();
    }
    if (std::fflush(obj.get()) != 0 || std::ferror(obj.get()) || std::fflush(mtl.get()) != 0 ||
        std::ferror(mtl.get())) {
        error = "cannot write " + obj_path;
        return false;
    }
    return true;
}

} // namespace vtl::gltf::detail

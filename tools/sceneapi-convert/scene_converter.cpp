#include "scene_converter.h"

#include "material_choice.h"
#include "sceneapi_cs_wrapper.h"

#include <assimp/scene.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <vector>

namespace {

// The library's matrix (row after row, points as rows: translation in the last row) of an
// assimp matrix (points as columns).
void host_matrix(const aiMatrix4x4& m, double out[16]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[r * 4 + c] = m[c][r];
}

std::string name_or(const aiString& name, const char* prefix, std::size_t index) {
    return name.length > 0 ? std::string(name.C_Str()) : prefix + std::to_string(index);
}

// The node's transform from the root down.
aiMatrix4x4 global_transform(const aiNode* node) {
    aiMatrix4x4 m;
    for (; node; node = node->mParent)
        m = node->mTransformation * m;
    return m;
}

// A channel's value at time t: interpolated with `mix` between the keys around it, the first
// key's before it and the last key's after it; `fallback` without keys.
template <typename Key, typename Value, typename Mix>
Value sample_keys(const Key* keys, unsigned n, double t, const Value& fallback, Mix mix) {
    if (n == 0 || keys == nullptr) return fallback;
    if (t <= keys[0].mTime) return keys[0].mValue;
    for (unsigned i = 1; i < n; ++i) {
        if (t <= keys[i].mTime) {
            const double span = keys[i].mTime - keys[i - 1].mTime;
            return mix(keys[i - 1].mValue, keys[i].mValue,
                       span > 0 ? float((t - keys[i - 1].mTime) / span) : 1.0f);
        }
    }
    return keys[n - 1].mValue;
}

aiVector3D sample(const aiVectorKey* keys, unsigned n, double t, const aiVector3D& fallback) {
    return sample_keys(keys, n, t, fallback, [](const aiVector3D& a, const aiVector3D& b, float f) {
        return a + (b - a) * f;
    });
}

aiQuaternion sample(const aiQuatKey* keys, unsigned n, double t, const aiQuaternion& fallback) {
    return sample_keys(keys, n, t, fallback,
                       [](const aiQuaternion& a, const aiQuaternion& b, float f) {
                           aiQuaternion q;
                           aiQuaternion::Interpolate(q, a, b, f);
                           return q.Normalize();
                       });
}

std::string count_of(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool finite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

SceneConverter::SceneConverter(const aiScene& scene, TextureFiles& textures)
    : scene_(scene), textures_(textures) {
    const unsigned meshes = scene_.mMeshes ? scene_.mNumMeshes : 0;
    facts_.resize(meshes);
    uses_.assign(meshes, 0);
    definition_ids_.assign(meshes, 0);
    for (unsigned m = 0; m < meshes; ++m) {
        const aiMesh* mesh = scene_.mMeshes[m];
        if (!mesh) {
            ++broken_;
            continue;
        }
        MeshFacts& f = facts_[m];
        if (!mesh->mVertices || mesh->mNumVertices > INT_MAX / 3) {
            f.bad_faces = mesh->mNumFaces;
            continue;
        }
        for (unsigned v = 0; v < mesh->mNumVertices; ++v)
            if (!finite(mesh->mVertices[v])) ++f.non_finite;
        for (unsigned i = 0; mesh->mFaces && i < mesh->mNumFaces; ++i) {
            const aiFace& face = mesh->mFaces[i];
            bool inside = face.mIndices != nullptr && face.mNumIndices > 0;
            for (unsigned k = 0; inside && k < face.mNumIndices; ++k)
                inside = face.mIndices[k] < mesh->mNumVertices;
            if (!inside)
                ++f.bad_faces;
            else if (face.mNumIndices == 1)
                ++f.points;
            else if (face.mNumIndices == 2)
                ++f.lines;
            else if (face.mNumIndices == 3)
                ++f.triangles;
            else
                ++f.polygons;
        }
        if (!mesh->mFaces) f.bad_faces = mesh->mNumFaces;
    }
    count_uses();
    for (unsigned a = 0; scene_.mAnimations && a < scene_.mNumAnimations; ++a) {
        const aiAnimation* anim = scene_.mAnimations[a];
        if (!anim || (!anim->mChannels && anim->mNumChannels > 0)) {
            ++broken_;
            continue;
        }
        for (unsigned c = 0; c < anim->mNumChannels; ++c) {
            if (anim->mChannels[c])
                channels_.emplace(anim->mChannels[c]->mNodeName.C_Str(),
                                  Channel{anim, anim->mChannels[c]});
            else
                ++broken_;
        }
    }
    for (unsigned l = 0; scene_.mLights && l < scene_.mNumLights; ++l) {
        if (scene_.mLights[l]) {
            lights_.emplace(scene_.mLights[l]->mName.C_Str(), scene_.mLights[l]);
            ++usable_lights_;
        } else {
            ++broken_;
        }
    }
    for (unsigned c = 0; scene_.mCameras && c < scene_.mNumCameras; ++c)
        if (scene_.mCameras[c]) ++cameras_;
}

void SceneConverter::count_uses() {
    std::vector<const aiNode*> pending;
    if (scene_.mRootNode) pending.push_back(scene_.mRootNode);
    while (!pending.empty()) {
        const aiNode* node = pending.back();
        pending.pop_back();
        for (unsigned i = 0; node->mMeshes && i < node->mNumMeshes; ++i) {
            const unsigned k = node->mMeshes[i];
            if (k < uses_.size() && facts_[k].triangles > 0) ++uses_[k];
        }
        for (unsigned i = 0; node->mChildren && i < node->mNumChildren; ++i) {
            if (node->mChildren[i])
                pending.push_back(node->mChildren[i]);
            else
                ++broken_;
        }
    }
}

std::string SceneConverter::refusal() const {
    const bool triangles =
        std::any_of(uses_.begin(), uses_.end(), [](unsigned u) { return u > 0; });
    if (triangles || cameras_ > 0) return {};
    // Lights are placed by their nodes or at the top level: any usable kind counts.
    for (const auto& entry : lights_) {
        const aiLightSourceType t = entry.second->mType;
        if (t == aiLightSource_POINT || t == aiLightSource_SPOT || t == aiLightSource_DIRECTIONAL)
            return {};
    }
    std::size_t dropped = 0;
    for (const MeshFacts& f : facts_)
        dropped += f.points + f.lines + f.polygons;
    return dropped > 0 ? "nothing to export: the model holds lines, points or polygons only, no "
                         "triangle, camera or light"
                       : "nothing to export: the model holds no triangle, camera or light";
}

unsigned long SceneConverter::work() const {
    unsigned long total = 0;
    for (std::size_t m = 0; m < uses_.size(); ++m)
        if (uses_[m] > 0) total += scene_.mMeshes[m]->mNumVertices + scene_.mMeshes[m]->mNumFaces;
    return total;
}

ConversionSummary SceneConverter::convert(Progress& progress) {
    progress_ = &progress;
    materials();
    camera();
    for (std::size_t m = 0; m < uses_.size(); ++m) {
        if (uses_[m] > 1) {
            definition_ids_[m] = mesh(static_cast<unsigned>(m), false);
            ++summary_.definitions;
        }
    }
    nodes();
    // Lights that no node places stand at the top level, at their own position.
    if (placed_lights_ < usable_lights_) {
        for (const auto& [name, l] : lights_)
            if (!scene_.mRootNode || !scene_.mRootNode->FindNode(name.c_str())) light(*l);
    }
    warnings();
    progress.finish();
    return summary_;
}

void SceneConverter::materials() {
    const unsigned count = scene_.mMaterials ? scene_.mNumMaterials : 0;
    materials_defined_.assign(count, false);
    for (unsigned i = 0; i < count; ++i) {
        if (!scene_.mMaterials[i]) {
            ++broken_;
            continue;
        }
        MaterialChoice c = MaterialChoice::of(*scene_.mMaterials[i], i);
        c.diffuse_texture = textures_.place(c.diffuse_texture);
        c.bump_texture = textures_.place(c.bump_texture);
        if (c.kind == MaterialChoice::Kind::Generic && c.diffuse_texture.empty() &&
            c.bump_texture.empty())
            c.kind = MaterialChoice::Kind::Diffuse; // its textures could not be placed
        const int id = static_cast<int>(i) + 1;
        const float r = c.color[0], g = c.color[1], b = c.color[2];
        switch (c.kind) {
        case MaterialChoice::Kind::Plastic:
            setPlastic(id, c.name.c_str(), r, g, b);
            break;
        case MaterialChoice::Kind::Metal:
            setMetal(id, c.name.c_str(), r, g, b);
            break;
        case MaterialChoice::Kind::Glass:
            setGlass(id, c.name.c_str(), r, g, b);
            break;
        case MaterialChoice::Kind::Emissive:
            setEmissive(id, c.name.c_str());
            break;
        case MaterialChoice::Kind::Generic:
            setGeneric(id, c.name.c_str(), c.diffuse_texture.c_str(), false, c.bump_texture.c_str(),
                       r, g, b);
            break;
        default:
            setDiffuse(id, c.name.c_str(), r, g, b);
            break;
        }
        materials_defined_[i] = true;
        ++summary_.materials[MaterialChoice::kind_name(c.kind)];
    }
}

void SceneConverter::camera() {
    const aiCamera* first = nullptr;
    for (unsigned c = 0; scene_.mCameras && c < scene_.mNumCameras && !first; ++c)
        first = scene_.mCameras[c];
    if (!first) return;
    const aiCamera& cam = *first;
    const aiNode* node = scene_.mRootNode ? scene_.mRootNode->FindNode(cam.mName) : nullptr;
    const aiMatrix4x4 global = global_transform(node);
    const aiMatrix3x3 turn(global);
    // Some readers copy the node's translation into the camera as well: count it once.
    const aiVector3D own(node ? node->mTransformation.a4 : 0, node ? node->mTransformation.b4 : 0,
                         node ? node->mTransformation.c4 : 0);
    const aiVector3D position =
        global * (cam.mPosition == own ? aiVector3D(0, 0, 0) : cam.mPosition);
    const aiVector3D direction = (turn * cam.mLookAt).Normalize();
    const aiVector3D up = (turn * cam.mUp).Normalize();
    const float half_width = std::tan(cam.mHorizontalFOV);
    const float aspect = cam.mAspect > 0 ? cam.mAspect : 4.0f / 3.0f;
    const float fov4[4] = {-half_width, half_width, -half_width / aspect, half_width / aspect};
    setCamera(position.x, position.y, position.z, direction.x, direction.y, direction.z, up.x, up.y,
              up.z, cam.mOrthographicWidth > 0, fov4);
    ++summary_.cameras;
}

int SceneConverter::mesh(unsigned index, bool place) {
    const aiMesh& m = *scene_.mMeshes[index];
    beginTriangleObject(name_or(m.mName, "mesh ", index).c_str());
    // Positions and normals are handed over in place; uvs drop their third coordinate and
    // faces their index indirection first.
    static_assert(sizeof(aiVector3D) == 3 * sizeof(float), "aiVector3D must be three floats");
    const int vertices = static_cast<int>(m.mNumVertices);
    addVertices(&m.mVertices[0].x, vertices);
    if (m.mNormals) addNormals(&m.mNormals[0].x, vertices);
    if (const aiVector3D* uv = m.mTextureCoords[0]) {
        std::vector<float> pairs;
        pairs.reserve(2 * m.mNumVertices);
        for (unsigned v = 0; v < m.mNumVertices; ++v)
            pairs.insert(pairs.end(), {uv[v].x, uv[v].y});
        addUVs(pairs.data(), vertices);
    }
    std::vector<int> corners;
    corners.reserve(3 * facts_[index].triangles);
    for (unsigned f = 0; f < m.mNumFaces; ++f) {
        const aiFace& face = m.mFaces[f];
        if (face.mNumIndices != 3 || !face.mIndices) continue;
        const unsigned* i = face.mIndices;
        if (i[0] >= m.mNumVertices || i[1] >= m.mNumVertices || i[2] >= m.mNumVertices) continue;
        corners.insert(corners.end(), {int(i[0]), int(i[1]), int(i[2])});
    }
    const std::size_t triangles = corners.size() / 3;
    addTriangles(corners.data(), static_cast<int>(triangles));
    if (m.mMaterialIndex < materials_defined_.size() && materials_defined_[m.mMaterialIndex])
        setMaterial(static_cast<int>(m.mMaterialIndex) + 1);
    int id = 0;
    endTriangleObject(&id, place);
    summary_.triangles += triangles;
    summary_.vertices += m.mNumVertices;
    if (place) ++summary_.objects;
    progress_->advance(m.mNumVertices + m.mNumFaces);
    return id;
}

void SceneConverter::nodes() {
    // Depth first with a list of open groups instead of the call stack, so that no depth of
    // the hierarchy deepens it.
    struct Open {
        const aiNode* node;
        unsigned next_child;
        bool group;
    };
    std::vector<Open> open;
    const auto enter = [&](const aiNode& n) {
        const std::string name = n.mName.C_Str();
        const bool has_meshes = n.mMeshes && n.mNumMeshes > 0;
        const bool has_children = n.mChildren && n.mNumChildren > 0;
        if (!has_meshes && !has_children && lights_.count(name) == 0 && channels_.count(name) == 0)
            return;
        beginGroup(name_or(n.mName, "node ", summary_.groups).c_str());
        ++summary_.groups;
        if (!n.mTransformation.IsIdentity()) {
            double m[16];
            host_matrix(n.mTransformation, m);
            transform(m);
        }
        node_contents(n, name);
        open.push_back({&n, 0, true});
    };
    if (scene_.mRootNode) enter(*scene_.mRootNode);
    while (!open.empty()) {
        Open& top = open.back();
        const aiNode& n = *top.node;
        if (n.mChildren && top.next_child < n.mNumChildren) {
            const aiNode* child = n.mChildren[top.next_child++];
            if (child) enter(*child); // may move `top`
            continue;
        }
        endGroup();
        open.pop_back();
    }
}

void SceneConverter::node_contents(const aiNode& n, const std::string& name) {
    const auto [first_channel, last_channel] = channels_.equal_range(name);
    for (auto c = first_channel; c != last_channel; ++c)
        animation(&n, name, c->second);
    for (unsigned i = 0; n.mMeshes && i < n.mNumMeshes; ++i) {
        const unsigned k = n.mMeshes[i];
        if (k >= uses_.size() || uses_[k] == 0) continue; // nothing to place: counted as dropped
        if (definition_ids_[k] == 0) {
            mesh(k, true);
            continue;
        }
        const aiMesh& m = *scene_.mMeshes[k];
        beginInstanceObject(name_or(m.mName, "mesh ", k).c_str());
        setInstanceId(definition_ids_[k]);
        if (m.mMaterialIndex < materials_defined_.size() && materials_defined_[m.mMaterialIndex])
            setMaterial(static_cast<int>(m.mMaterialIndex) + 1);
        endInstanceObject();
        ++summary_.instances;
    }
    const auto [first_light, last_light] = lights_.equal_range(name);
    for (auto l = first_light; l != last_light; ++l) {
        light(*l->second);
        ++placed_lights_;
    }
}

void SceneConverter::light(const aiLight& l) {
    switch (l.mType) {
    case aiLightSource_POINT:
        break;
    case aiLightSource_SPOT:
    case aiLightSource_DIRECTIONAL:
        ++other_lights_;
        break;
    default:
        ++dropped_lights_;
        return;
    }
    const aiColor3D& c = l.mColorDiffuse;
    const float intensity = std::max({c.r, c.g, c.b});
    const bool lit = std::isfinite(intensity) && intensity > 0;
    const float color[3] = {lit ? c.r / intensity : 1, lit ? c.g / intensity : 1,
                            lit ? c.b / intensity : 1};
    const std::string name = name_or(l.mName, "light ", summary_.point_lights);
    const bool moved = l.mPosition != aiVector3D(0, 0, 0);
    if (moved) {
        beginGroup(name.c_str());
        aiMatrix4x4 m;
        aiMatrix4x4::Translation(l.mPosition, m);
        double host[16];
        host_matrix(m, host);
        transform(host);
    }
    // A light of intensity 1 gives one candela: 4 pi lumens over the whole sphere.
    addPointLight(name.c_str(), static_cast<float>((lit ? intensity : 0) * 12.566370614359172),
                  color);
    if (moved) endGroup();
    ++summary_.point_lights;
}

void SceneConverter::animation(const aiNode* node, const std::string& name, const Channel& c) {
    const aiNodeAnim& ch = *c.channel;
    ++channels_used_;
    const double ticks = c.animation->mTicksPerSecond > 0 ? c.animation->mTicksPerSecond : 25.0;
    std::set<double> times;
    for (unsigned i = 0; ch.mPositionKeys && i < ch.mNumPositionKeys; ++i)
        times.insert(ch.mPositionKeys[i].mTime);
    for (unsigned i = 0; ch.mRotationKeys && i < ch.mNumRotationKeys; ++i)
        times.insert(ch.mRotationKeys[i].mTime);
    for (unsigned i = 0; ch.mScalingKeys && i < ch.mNumScalingKeys; ++i)
        times.insert(ch.mScalingKeys[i].mTime);

    // Channels without keys of one kind keep the node's own value of it.
    aiVector3D scaling, position;
    aiQuaternion rotation;
    if (node) node->mTransformation.Decompose(scaling, rotation, position);

    beginAnimation(name.c_str(), 0, static_cast<float>(c.animation->mDuration / ticks), true);
    long last_frame = -1;
    for (double t : times) {
        const double at = t / ticks * 30.0; // frame numbers at 30 frames a second
        if (!std::isfinite(at) || std::fabs(at) > INT_MAX) continue;
        const long frame = std::lround(at);
        if (frame == last_frame) continue;
        last_frame = frame;
        const aiMatrix4x4 m(sample(ch.mScalingKeys, ch.mNumScalingKeys, t, scaling),
                            sample(ch.mRotationKeys, ch.mNumRotationKeys, t, rotation),
                            sample(ch.mPositionKeys, ch.mNumPositionKeys, t, position));
        double host[16];
        host_matrix(m, host);
        addFrame(static_cast<int>(frame), host);
        ++summary_.keyframes;
    }
    endAnimation();
    ++summary_.animations;
}

void SceneConverter::warnings() {
    std::vector<std::string>& w = summary_.warnings;
    MeshFacts all;
    std::size_t unplaced = 0;
    for (std::size_t m = 0; m < facts_.size(); ++m) {
        all.points += facts_[m].points;
        all.lines += facts_[m].lines;
        all.polygons += facts_[m].polygons;
        all.bad_faces += facts_[m].bad_faces;
        if (uses_[m] > 0) all.non_finite += facts_[m].non_finite;
        if (uses_[m] == 0 && facts_[m].triangles > 0) ++unplaced;
    }
    if (all.lines + all.points > 0)
        w.push_back(count_of(all.lines, "line", "lines") + " and " +
                    count_of(all.points, "point", "points") +
                    " dropped (the Scene file holds triangles only)");
    if (all.polygons > 0)
        w.push_back(count_of(all.polygons, "polygon", "polygons") +
                    " could not be triangulated and were dropped");
    if (all.bad_faces > 0)
        w.push_back(count_of(all.bad_faces, "face", "faces") +
                    " with an index outside their mesh's vertices dropped");
    if (all.non_finite > 0)
        w.push_back(count_of(all.non_finite, "vertex", "vertices") +
                    " with a coordinate that is not a finite number (written as -1)");
    if (unplaced > 0)
        w.push_back(count_of(unplaced, "mesh", "meshes") + " placed by no node and not written");
    if (cameras_ > 1)
        w.push_back(count_of(cameras_ - 1, "more camera", "more cameras") +
                    " ignored (a Scene file holds one camera)");
    if (other_lights_ > 0)
        w.push_back(
            count_of(other_lights_, "spot or directional light", "spot or directional lights") +
            " written as point lights");
    if (dropped_lights_ > 0)
        w.push_back(count_of(dropped_lights_, "light", "lights") +
                    " of a kind the Scene file has not (area, ambient) dropped");
    std::size_t channels = 0, mesh_channels = 0;
    for (unsigned a = 0; scene_.mAnimations && a < scene_.mNumAnimations; ++a) {
        const aiAnimation* anim = scene_.mAnimations[a];
        if (!anim) continue;
        channels += anim->mChannels ? anim->mNumChannels : 0;
        mesh_channels += anim->mNumMeshChannels + anim->mNumMorphMeshChannels;
    }
    if (channels > channels_used_)
        w.push_back(count_of(channels - channels_used_, "animation channel", "animation channels") +
                    " for nodes not in the hierarchy dropped");
    if (mesh_channels > 0)
        w.push_back(count_of(mesh_channels, "mesh animation", "mesh animations") +
                    " (vertex or morph animations) dropped: only node transforms are animated");
    const TextureCounts& t = textures_.counts();
    if (t.missing > 0)
        w.push_back(count_of(t.missing, "texture", "textures") +
                    " not found on disk (the first: " + t.first_missing + ")");
    if (t.unwritten > 0)
        w.push_back(count_of(t.unwritten, "embedded texture", "embedded textures") +
                    " not written (the first: " + t.first_unwritten + ")");
    if (broken_ > 0)
        w.push_back(count_of(broken_, "element", "elements") +
                    " of the model given as null were skipped");
}

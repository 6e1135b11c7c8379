#include "scene_converter.h"

#include "convert_texts.h"
#include "material_choice.h"
#include "sceneapi_cs_wrapper.h"

#include <assimp/scene.h>

#include <algorithm>
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

aiVector3D sample(const aiVectorKey* keys, unsigned n, double t, const aiVector3D& fallback) {
    if (n == 0) return fallback;
    if (t <= keys[0].mTime) return keys[0].mValue;
    for (unsigned i = 1; i < n; ++i) {
        if (t <= keys[i].mTime) {
            const double span = keys[i].mTime - keys[i - 1].mTime;
            const float f = span > 0 ? float((t - keys[i - 1].mTime) / span) : 1.0f;
            return keys[i - 1].mValue + (keys[i].mValue - keys[i - 1].mValue) * f;
        }
    }
    return keys[n - 1].mValue;
}

aiQuaternion sample(const aiQuatKey* keys, unsigned n, double t, const aiQuaternion& fallback) {
    if (n == 0) return fallback;
    if (t <= keys[0].mTime) return keys[0].mValue;
    for (unsigned i = 1; i < n; ++i) {
        if (t <= keys[i].mTime) {
            const double span = keys[i].mTime - keys[i - 1].mTime;
            aiQuaternion q;
            aiQuaternion::Interpolate(q, keys[i - 1].mValue, keys[i].mValue,
                                      span > 0 ? float((t - keys[i - 1].mTime) / span) : 1.0f);
            return q.Normalize();
        }
    }
    return keys[n - 1].mValue;
}

} // namespace

SceneConverter::SceneConverter(const aiScene& scene)
    : scene_(scene), uses_(scene.mNumMeshes, 0), definition_ids_(scene.mNumMeshes, 0) {
    if (scene_.mRootNode) count_uses(*scene_.mRootNode);
    for (unsigned a = 0; a < scene_.mNumAnimations; ++a) {
        const aiAnimation* anim = scene_.mAnimations[a];
        for (unsigned c = 0; c < anim->mNumChannels; ++c)
            channels_.emplace(anim->mChannels[c]->mNodeName.C_Str(),
                              Channel{anim, anim->mChannels[c]});
    }
    for (unsigned l = 0; l < scene_.mNumLights; ++l)
        lights_.emplace(scene_.mLights[l]->mName.C_Str(), scene_.mLights[l]);
}

void SceneConverter::count_uses(const aiNode& node) {
    for (unsigned i = 0; i < node.mNumMeshes; ++i)
        if (node.mMeshes[i] < uses_.size()) ++uses_[node.mMeshes[i]];
    for (unsigned i = 0; i < node.mNumChildren; ++i)
        count_uses(*node.mChildren[i]);
}

unsigned long SceneConverter::work() const {
    unsigned long total = 0;
    for (unsigned m = 0; m < scene_.mNumMeshes; ++m)
        if (uses_[m] > 0) total += scene_.mMeshes[m]->mNumVertices + scene_.mMeshes[m]->mNumFaces;
    return total;
}

ConversionSummary SceneConverter::convert(Progress& progress) {
    progress_ = &progress;
    materials();
    camera();
    for (unsigned m = 0; m < scene_.mNumMeshes; ++m) {
        if (uses_[m] > 1) {
            definition_ids_[m] = mesh(m, false);
            ++summary_.definitions;
        }
    }
    if (scene_.mRootNode) node(*scene_.mRootNode);
    progress.finish();
    return summary_;
}

void SceneConverter::materials() {
    for (unsigned i = 0; i < scene_.mNumMaterials; ++i) {
        const MaterialChoice c = MaterialChoice::of(*scene_.mMaterials[i], i);
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
        ++summary_.materials[MaterialChoice::kind_name(c.kind)];
    }
}

void SceneConverter::camera() {
    if (scene_.mNumCameras == 0) return;
    const aiCamera& cam = *scene_.mCameras[0];
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
    beginTriangleObject(name_or(m.mName, convert_texts::kUnnamedMesh, index).c_str());
    // Positions and normals are handed over in place; uvs drop their third coordinate and
    // faces their index indirection first.
    static_assert(sizeof(aiVector3D) == 3 * sizeof(float), "aiVector3D must be three floats");
    const int vertices = static_cast<int>(m.mNumVertices);
    if (vertices > 0) {
        addVertices(&m.mVertices[0].x, vertices);
        if (m.mNormals) addNormals(&m.mNormals[0].x, vertices);
        if (const aiVector3D* uv = m.mTextureCoords[0]) {
            std::vector<float> pairs;
            pairs.reserve(2 * m.mNumVertices);
            for (unsigned v = 0; v < m.mNumVertices; ++v)
                pairs.insert(pairs.end(), {uv[v].x, uv[v].y});
            addUVs(pairs.data(), vertices);
        }
    }
    std::vector<int> corners;
    corners.reserve(3 * std::size_t(m.mNumFaces));
    for (unsigned f = 0; f < m.mNumFaces; ++f) {
        const aiFace& face = m.mFaces[f];
        if (face.mNumIndices != 3) continue;
        corners.insert(corners.end(),
                       {int(face.mIndices[0]), int(face.mIndices[1]), int(face.mIndices[2])});
    }
    const std::size_t triangles = corners.size() / 3;
    if (triangles > 0) addTriangles(corners.data(), static_cast<int>(triangles));
    setMaterial(static_cast<int>(m.mMaterialIndex) + 1);
    int id = 0;
    endTriangleObject(&id, place);
    summary_.triangles += triangles;
    summary_.vertices += m.mNumVertices;
    if (place) ++summary_.objects;
    progress_->advance(m.mNumVertices + m.mNumFaces);
    return id;
}

void SceneConverter::node(const aiNode& n) {
    const std::string name = n.mName.C_Str();
    const auto light_entry = lights_.find(name);
    const auto [first_channel, last_channel] = channels_.equal_range(name);
    if (n.mNumMeshes == 0 && n.mNumChildren == 0 && light_entry == lights_.end() &&
        first_channel == last_channel)
        return;
    beginGroup(name_or(n.mName, convert_texts::kUnnamedNode, summary_.groups).c_str());
    ++summary_.groups;
    if (!n.mTransformation.IsIdentity()) {
        double m[16];
        host_matrix(n.mTransformation, m);
        transform(m);
    }
    for (auto c = first_channel; c != last_channel; ++c)
        animation(name, c->second);
    for (unsigned i = 0; i < n.mNumMeshes; ++i) {
        const unsigned k = n.mMeshes[i];
        if (k >= scene_.mNumMeshes) continue;
        if (definition_ids_[k] == 0) {
            mesh(k, true);
            continue;
        }
        const aiMesh& m = *scene_.mMeshes[k];
        beginInstanceObject(name_or(m.mName, convert_texts::kUnnamedMesh, k).c_str());
        setInstanceId(definition_ids_[k]);
        setMaterial(static_cast<int>(m.mMaterialIndex) + 1);
        endInstanceObject();
        ++summary_.instances;
    }
    if (light_entry != lights_.end()) light(*light_entry->second);
    for (unsigned i = 0; i < n.mNumChildren; ++i)
        node(*n.mChildren[i]);
    endGroup();
}

void SceneConverter::light(const aiLight& l) {
    if (l.mType != aiLightSource_POINT) {
        ++summary_.skipped_lights;
        return;
    }
    const aiColor3D& c = l.mColorDiffuse;
    const float intensity = std::max({c.r, c.g, c.b});
    const float color[3] = {intensity > 0 ? c.r / intensity : 1,
                            intensity > 0 ? c.g / intensity : 1,
                            intensity > 0 ? c.b / intensity : 1};
    const std::string name = name_or(l.mName, convert_texts::kUnnamedLight, summary_.point_lights);
    const bool moved = l.mPosition != aiVector3D(0, 0, 0);
    if (moved) {
        beginGroup(name.c_str());
        aiMatrix4x4 m;
        aiMatrix4x4::Translation(l.mPosition, m);
        double host[16];
        host_matrix(m, host);
        transform(host);
    }
    addPointLight(name.c_str(), static_cast<float>(intensity * convert_texts::kLumensPerCandela),
                  color);
    if (moved) endGroup();
    ++summary_.point_lights;
}

void SceneConverter::animation(const std::string& name, const Channel& c) {
    const aiNodeAnim& ch = *c.channel;
    const double ticks = c.animation->mTicksPerSecond > 0 ? c.animation->mTicksPerSecond : 25.0;
    std::set<double> times;
    for (unsigned i = 0; i < ch.mNumPositionKeys; ++i)
        times.insert(ch.mPositionKeys[i].mTime);
    for (unsigned i = 0; i < ch.mNumRotationKeys; ++i)
        times.insert(ch.mRotationKeys[i].mTime);
    for (unsigned i = 0; i < ch.mNumScalingKeys; ++i)
        times.insert(ch.mScalingKeys[i].mTime);

    // Channels without keys of one kind keep the node's own value of it.
    aiVector3D scaling, position;
    aiQuaternion rotation;
    const aiNode* node = scene_.mRootNode ? scene_.mRootNode->FindNode(name.c_str()) : nullptr;
    if (node) node->mTransformation.Decompose(scaling, rotation, position);

    beginAnimation(name.c_str(), 0, static_cast<float>(c.animation->mDuration / ticks), true);
    long last_frame = -1;
    for (double t : times) {
        const long frame = std::lround(t / ticks * convert_texts::kFramesPerSecond);
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

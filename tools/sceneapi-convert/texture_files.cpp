#include "texture_files.h"

#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool is_file(const fs::path& p) {
    std::error_code e;
    return fs::is_regular_file(p, e);
}

// "C:/..." or "C:\...": a Windows path, absolute there but not here.
bool has_drive(const std::string& s) {
    return s.size() >= 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' &&
           (s[2] == '/' || s[2] == '\\');
}

// A file name extension made of letters and digits only, at most 8 of them.
std::string safe_extension(const char* hint) {
    std::string ext;
    for (std::size_t i = 0; i < HINTMAXTEXTURELEN && hint[i]; ++i)
        if (std::isalnum(static_cast<unsigned char>(hint[i])))
            ext += static_cast<char>(std::tolower(static_cast<unsigned char>(hint[i])));
    return ext.empty() ? "bin" : ext;
}

// The texels of an uncompressed texture as a 32-bit TGA image (bottom-up is flagged off).
std::vector<char> tga(const aiTexture& t) {
    std::vector<char> out(18, 0);
    out[2] = 2; // uncompressed true colour
    out[12] = static_cast<char>(t.mWidth & 0xff);
    out[13] = static_cast<char>(t.mWidth >> 8 & 0xff);
    out[14] = static_cast<char>(t.mHeight & 0xff);
    out[15] = static_cast<char>(t.mHeight >> 8 & 0xff);
    out[16] = 32;
    out[17] = 0x28; // top-left origin, 8 alpha bits
    const std::size_t n = std::size_t(t.mWidth) * t.mHeight;
    out.reserve(out.size() + 4 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const aiTexel& p = t.pcData[i];
        out.insert(out.end(), {static_cast<char>(p.b), static_cast<char>(p.g),
                               static_cast<char>(p.r), static_cast<char>(p.a)});
    }
    return out;
}

} // namespace

TextureFiles::TextureFiles(const aiScene& scene, const fs::path& model, const fs::path& output)
    : scene_(scene) {
    std::error_code e;
    model_folder_ = fs::absolute(model, e).parent_path();
    if (!output.empty()) {
        has_output_ = true;
        output_folder_ = fs::absolute(output, e).parent_path();
        output_stem_ = output.stem().string();
    }
}

std::string TextureFiles::place(const std::string& reference) {
    if (reference.empty()) return {};
    const auto known = placed_.find(reference);
    if (known != placed_.end()) return known->second;
    const auto [texture, index] = scene_.GetEmbeddedTextureAndIndex(reference.c_str());
    const std::string result = texture               ? embedded(reference, index)
                               : reference[0] == '*' ? std::string()
                                                     : external(reference);
    if (texture == nullptr && reference[0] == '*') {
        ++counts_.missing; // "*N" past the model's textures
        if (counts_.first_missing.empty()) counts_.first_missing = reference;
    }
    placed_[reference] = result;
    return result;
}

std::string TextureFiles::embedded(const std::string& reference, int index) {
    const aiTexture* t = scene_.mTextures[index];
    const auto refuse = [&](const std::string& why) {
        ++counts_.unwritten;
        if (counts_.first_unwritten.empty()) counts_.first_unwritten = reference + ": " + why;
        return std::string();
    };
    if (!has_output_) return refuse("no output folder to write it into");
    if (t->pcData == nullptr || t->mWidth == 0) return refuse("it holds no data");
    if (t->mHeight > 0 && (t->mWidth > 0xffff || t->mHeight > 0xffff))
        return refuse("it is larger than 65535 texels a side");
    const bool compressed = t->mHeight == 0;
    const fs::path file =
        output_folder_ / (output_stem_ + "_texture" + std::to_string(index) + "." +
                          (compressed ? safe_extension(t->achFormatHint) : "tga"));
    errno = 0;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (compressed) {
        out.write(reinterpret_cast<const char*>(t->pcData), t->mWidth);
    } else {
        const std::vector<char> image = tga(*t);
        out.write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    out.close();
    if (!out) return refuse(file.string() + ": " + std::strerror(errno ? errno : EIO));
    ++counts_.embedded;
    return file.filename().string();
}

std::string TextureFiles::external(const std::string& reference) {
    std::string path = reference;
    if (path.rfind("file://", 0) == 0) path.erase(0, 7);
    std::replace(path.begin(), path.end(), '\\', '/');
    const bool foreign = has_drive(path);
    const fs::path given(path);
    fs::path found;
    if (!foreign) {
        const fs::path candidate =
            given.is_absolute() ? given : (model_folder_ / given).lexically_normal();
        if (is_file(candidate)) found = candidate;
    }
    // A path that leads nowhere often names a file that was copied beside the model.
    if (found.empty() && given.has_filename() && is_file(model_folder_ / given.filename()))
        found = model_folder_ / given.filename();
    if (!found.empty()) return written(found);
    ++counts_.missing;
    if (counts_.first_missing.empty()) counts_.first_missing = reference;
    if (foreign || given.is_absolute()) return reference;
    return written((model_folder_ / given).lexically_normal());
}

std::string TextureFiles::written(const fs::path& absolute) const {
    if (!has_output_) return absolute.generic_string();
    const fs::path relative = absolute.lexically_relative(output_folder_);
    return relative.empty() ? absolute.generic_string() : relative.generic_string();
}

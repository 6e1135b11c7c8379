#pragma once
// Where the textures of a model are found and how the Scene file refers to them: paths of the
// model become paths valid from the output's folder, and textures held inside the model are
// written as image files beside the output.

#include <cstddef>
#include <filesystem>
#include <map>
#include <set>
#include <string>

struct aiScene;

// What happened to the textures, for the warnings.
struct TextureCounts {
    std::size_t missing = 0;     // referenced files that do not exist
    std::size_t embedded = 0;    // textures of the model written as files
    std::size_t unwritten = 0;   // textures of the model that could not be written
    std::string first_missing;   // the first missing texture as the model names it
    std::string first_unwritten; // why the first unwritten one was not written
};

class TextureFiles {
public:
    // `output` is the Scene file, or empty when there is no output folder (standard output,
    // live link): relative paths then become absolute and embedded textures cannot be written.
    TextureFiles(const aiScene& scene, const std::filesystem::path& model,
                 const std::filesystem::path& output);

    // The texture reference to write for `reference`, as the model names it, or an empty text
    // when there is none to write.
    std::string place(const std::string& reference);

    const TextureCounts& counts() const { return counts_; }

private:
    const aiScene& scene_;
    std::filesystem::path model_folder_;
    std::filesystem::path output_folder_;
    std::string output_stem_;
    bool has_output_ = false;
    TextureCounts counts_;
    std::map<std::string, std::string> placed_; // reference -> what is written
    std::set<std::string> missing_;             // references counted as missing

    std::string embedded(const std::string& reference, int index);
    std::string external(const std::string& reference);
    // A path as written: relative to the output's folder, or absolute without an output.
    std::string written(const std::filesystem::path& absolute) const;
};

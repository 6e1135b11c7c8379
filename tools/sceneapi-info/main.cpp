// sceneapi-info: reads a Scene file and prints what it holds.
//
//   sceneapi-info FILE          a summary for people
//   sceneapi-info --json FILE   the same as one JSON object

#include "info_texts.h"
#include "reader/scene_reader.h"
#include "scene_summary.h"
#include "summary_printer.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    bool json = false;
    std::string path;
    int paths = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], info_texts::kJsonOption) == 0) {
            json = true;
        } else {
            path = argv[i];
            ++paths;
        }
    }
    if (paths != 1) {
        std::cerr << info_texts::kUsage;
        return 2;
    }
    const vtl::reader::ReadResult r = vtl::reader::read_scene_file(path);
    if (!r.ok) {
        std::cerr << path << ":" << r.error.line << ":" << r.error.column << ": " << r.error.message
                  << "\n";
        return 1;
    }
    std::error_code ignored;
    const auto bytes = std::filesystem::file_size(path, ignored);
    const SceneSummary summary = SceneSummary::of(r.document, ignored ? 0 : bytes);
    if (json)
        print_json(std::cout, path, summary);
    else
        print_text(std::cout, path, summary);
    return 0;
}

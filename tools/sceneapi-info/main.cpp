// sceneapi-info: reads a Scene file and prints what it holds.
//
//   sceneapi-info FILE          a summary for people
//   sceneapi-info --json FILE   the same as one JSON object
//
// FILE may be any readable file, a pipe or /dev/stdin too. Exit status 0 when it was read,
// 1 when it cannot be read ("sceneapi-info: FILE: reason") or does not parse
// ("FILE:LINE:COLUMN: message"), 2 for bad arguments. Texts from the file and the path are
// printed with their control bytes escaped.

#include "info_texts.h"
#include "reader/scene_reader.h"
#include "scene_summary.h"
#include "summary_printer.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <string>

namespace {

int summarise(const std::string& path, bool json) {
    std::string text;
    std::string reason;
    if (!vtl::reader::read_file_text(path, text, reason)) {
        std::cerr << info_texts::kProgram << shown_text(path) << ": " << reason << "\n";
        return 1;
    }
    const vtl::reader::ReadResult r = vtl::reader::read_scene(text);
    if (!r.ok) {
        std::cerr << shown_text(path) << ":" << r.error.line << ":" << r.error.column << ": "
                  << shown_text(r.error.message) << "\n";
        return 1;
    }
    const SceneSummary summary = SceneSummary::of(r.document, text.size());
    if (json)
        print_json(std::cout, path, summary);
    else
        print_text(std::cout, path, summary);
    std::cout.flush();
    return 0;
}

} // namespace

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
    try {
        return summarise(path, json);
    } catch (const std::exception& e) { // out of memory for a huge file's document
        std::cerr << info_texts::kProgram << shown_text(path) << ": " << e.what() << "\n";
        return 1;
    }
}

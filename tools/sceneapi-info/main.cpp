// sceneapi-info: reads a Scene file, checks it and prints what it holds.
//
//   sceneapi-info FILE          a summary for people, with the findings of the checks
//   sceneapi-info --json FILE   the same as one JSON object
//   sceneapi-info -             reads standard input
//
// FILE may be any readable file, a pipe or /dev/stdin too. Exit status 0 when it was read and
// no check found an error (nor a warning, with --strict); 1 when it cannot be read
// ("sceneapi-info: FILE: reason"), is not a Scene file, does not parse ("FILE:LINE:COLUMN:
// message") or holds errors; 2 for bad arguments. With --json every failure is a JSON object
// {"errors": [...]} on standard output as well. Texts from the file and the path are printed
// with their control bytes escaped.

#include "info_texts.h"
#include "reader/scene_reader.h"
#include "scene_summary.h"
#include "sceneapi_version.h"
#include "summary_printer.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

struct Options {
    bool json = false;
    bool strict = false;
    std::string path;
};

// Reports a failure on standard error, and as JSON on standard output when asked.
int fail(const Options& o, const std::string& message, std::size_t line = 0,
         std::size_t column = 0) {
    if (line > 0)
        std::cerr << shown_text(o.path) << ":" << line << ":" << column << ": "
                  << shown_text(message) << "\n";
    else
        std::cerr << info_texts::kProgram << shown_text(o.path) << ": " << shown_text(message)
                  << "\n";
    if (o.json) {
        print_json_error(std::cout, o.path, message, line, column);
        std::cout.flush();
    }
    return 1;
}

// True when the text opens as a Scene file does: a header comment or the version line.
bool opens_as_scene(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    const std::string_view head = text.substr(start);
    return head.substr(0, 2) == "//" || head.substr(0, 7) == info_texts::kVersion;
}

// True when the document has a "version" statement at its top level.
bool has_version(const vtl::reader::Document& document) {
    for (const vtl::reader::Node& n : document.nodes)
        if (n.kind == vtl::reader::NodeKind::Statement && n.keyword == info_texts::kVersion)
            return true;
    return false;
}

int summarise(const Options& o) {
    std::string text;
    std::string reason;
    if (o.path == info_texts::kStandardInput) {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad()) return fail(o, "cannot read standard input");
    } else if (!vtl::reader::read_file_text(o.path, text, reason)) {
        return fail(o, reason);
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        return fail(o, info_texts::kEmptyFile);
    const bool looks_like_scene = opens_as_scene(text);
    const vtl::reader::ReadResult r = vtl::reader::read_scene(text);
    if (!r.ok) {
        if (!looks_like_scene) return fail(o, info_texts::kNotSceneFile);
        return fail(o, r.error.message, r.error.line, r.error.column);
    }
    if (r.document.header().empty() && !has_version(r.document))
        return fail(o, info_texts::kNotSceneFile);
    const SceneSummary summary = SceneSummary::of(r.document, text);
    if (o.json)
        print_json(std::cout, o.path, summary);
    else
        print_text(std::cout, o.path, summary);
    std::cout.flush();
    return summary.error_count > 0 || (o.strict && summary.warning_count > 0) ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    int paths = 0;
    std::string usage_error;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << info_texts::kUsage;
            return 0;
        }
        if (a == "--version") {
            std::cout << "sceneapi-info " << SCENEAPI_VERSION << "\n";
            return 0;
        }
        if (a == info_texts::kJsonOption) {
            o.json = true;
        } else if (a == info_texts::kStrictOption) {
            o.strict = true;
        } else if (a.size() > 1 && a[0] == '-' && usage_error.empty()) {
            usage_error = info_texts::kUnknownOption + a;
        } else {
            o.path = a;
            ++paths;
        }
    }
    if (usage_error.empty() && paths != 1) usage_error = info_texts::kOneFile;
    if (!usage_error.empty()) {
        std::cerr << info_texts::kProgram << usage_error << "\n" << info_texts::kUsage;
        if (o.json) print_json_error(std::cout, "", usage_error);
        return 2;
    }
    try {
        return summarise(o);
    } catch (const std::exception& e) { // out of memory for a huge file's document
        return fail(o, e.what());
    }
}

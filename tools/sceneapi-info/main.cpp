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

constexpr const char kUsage[] =
    "usage: sceneapi-info [--json] [--strict] FILE   (FILE \"-\": standard input)\n"
    "       sceneapi-info --help | --version\n"
    "exit status: 0 read and clean, 1 unreadable, not a Scene file or errors found (warnings "
    "too with --strict), 2 bad arguments\n";

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
        std::cerr << "sceneapi-info: " << shown_text(o.path) << ": " << shown_text(message) << "\n";
    if (o.json) {
        print_json_error(std::cout, o.path, message, line, column);
        std::cout.flush();
    }
    return 1;
}

int summarise(const Options& o) {
    std::string text;
    std::string reason;
    if (o.path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad()) return fail(o, "cannot read standard input");
    } else if (!vtl::reader::read_file_text(o.path, text, reason)) {
        return fail(o, reason);
    }
    const vtl::reader::ReadResult r = read_scene_to_summarise(text);
    if (!r.ok) return fail(o, r.error.message, r.error.line, r.error.column);
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
            std::cout << kUsage;
            return 0;
        }
        if (a == "--version") {
            std::cout << "sceneapi-info " << SCENEAPI_VERSION << "\n";
            return 0;
        }
        if (a == "--json") {
            o.json = true;
        } else if (a == "--strict") {
            o.strict = true;
        } else if (a.size() > 1 && a[0] == '-' && usage_error.empty()) {
            usage_error = "unknown option " + a;
        } else {
            o.path = a;
            ++paths;
        }
    }
    if (usage_error.empty() && paths != 1) usage_error = "give one FILE";
    if (!usage_error.empty()) {
        std::cerr << "sceneapi-info: " << usage_error << "\n" << kUsage;
        if (o.json) print_json_error(std::cout, "", usage_error);
        return 2;
    }
    try {
        return summarise(o);
    } catch (const std::exception& e) { // out of memory for a huge file's document
        return fail(o, e.what());
    }
}

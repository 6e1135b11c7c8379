// Fuzz target: the Scene file reader on arbitrary bytes, then the sceneapi-info summary of what
// it read, printed as text and as JSON into memory. Faults besides crashes: a read error
// without a line and column, and JSON output that is not one well-formed JSON value.

#include "reader/scene_reader.h"
#include "scene_summary.h"
#include "summary_printer.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

namespace {

constexpr const char* kPath = "fuzz.scene";

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "scene_reader_fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vtl::reader::ReadResult result = vtl::reader::read_scene(text);
    if (!result.ok) {
        if (result.error.line == 0 || result.error.column == 0)
            fault("read error without line or column", result.error.describe());
        return 0;
    }
    const SceneSummary summary = SceneSummary::of(result.document, text);

    std::ostringstream text_out;
    print_text(text_out, kPath, summary);

    std::ostringstream json_out;
    print_json(json_out, kPath, summary);
    const std::string json = json_out.str();
    if (!nlohmann::json::accept(json)) fault("--json output is not well-formed JSON", json);
    return 0;
}

// The tools that write a Scene file tell a destination that did not receive the whole scene:
// exit status 1, the library's report on standard error, and no success summary.

#include "support/tool_run.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tool_test::run;

struct Case {
    const char* what;
    std::string command;
    std::string report; // what standard error must hold
};

TEST(DestinationFailure, ToolsExitOneWithTheLibrarysReport) {
    test_support::TempFolder folder;
    const std::string model = folder.write("one.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string exporter = SCENEAPI_EXPORT_PATH;
    const std::string converter = SCENEAPI_CONVERT_PATH;
    const std::string missing = folder.file("missing/x.scene");
    const Case cases[] = {
        {"export to a full disk", exporter + " -o /dev/full",
         "sceneapi-export: writing \"/dev/full\": No space left on device (0 bytes had reached "
         "it)\n"},
        // The reader has long gone when the exporter starts.
        {"export to a standard output without reader",
         "(sleep 0.5; " + exporter + " -o - 2>" + folder.file("errors.txt") + ") | true",
         "sceneapi-export: writing standard output: Broken pipe"},
        {"export into a missing folder", exporter + " -o " + missing,
         "sceneapi-export: opening \"" + missing + "\": No such file or directory\n"},
        {"convert to a full disk", converter + " " + model + " -o /dev/full --quiet",
         "sceneapi-convert: writing \"/dev/full\": No space left on device (0 bytes had "
         "reached it)\n"},
        {"convert into a missing folder", converter + " " + model + " -o " + missing,
         "sceneapi-convert: opening \"" + missing + "\": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const std::string errors = folder.file("errors.txt");
        // The exit status of the tool itself, also at the head of a pipe.
        const tool_test::Run r =
            run("bash -o pipefail -c \"" + c.command + " 2>" + errors + "\"; echo $?");
        const std::string printed = test_support::read_file(errors);
        EXPECT_EQ(r.out.substr(r.out.size() >= 2 ? r.out.size() - 2 : 0), "1\n")
            << c.what << ": " << r.out;
        EXPECT_NE(printed.find(c.report), std::string::npos) << c.what << ": " << printed;
        for (const char* summary : {" objects,", " -> "})
            EXPECT_EQ(printed.find(summary), std::string::npos) << c.what << ": " << printed;
    }
}

} // namespace

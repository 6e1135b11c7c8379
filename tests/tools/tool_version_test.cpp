// Every program the project installs answers --version with the one project version and --help
// with its usage on standard output, exit status 0.

#include "support/tool_run.h"

#include "sceneapi_version.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ToolVersion, EveryToolNamesTheProjectVersionAndHelpsOnStandardOutput) {
    const std::string tools[] = {SCENEAPI_EXPORT_PATH, SCENEAPI_INFO_PATH, SCENEAPI_CONVERT_PATH,
                                 PHOTARA_SIM_PATH};
    for (const std::string& tool : tools) {
        const tool_test::Run version = tool_test::run(tool + " --version 2>/dev/null");
        EXPECT_EQ(version.status, 0) << tool;
        EXPECT_NE(version.out.find(SCENEAPI_VERSION), std::string::npos) << tool << version.out;
        const tool_test::Run help = tool_test::run(tool + " --help 2>/dev/null");
        EXPECT_EQ(help.status, 0) << tool;
        EXPECT_NE(help.out.find("usage"), std::string::npos) << tool << help.out;
    }
}

} // namespace

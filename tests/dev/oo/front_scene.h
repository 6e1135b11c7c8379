#pragma once
// The Scene file text that a sequence of front calls writes: the real writer over memory, a
// front on it as a Scene file is opened, and what follows the banner and version lines.

#include "dev/factory/pass_through_factory.h"
#include "dev/vtlsceneapi_oo.h"
#include "support/scene_memory.h"

#include <functional>
#include <string>

namespace vtl_test {

inline std::string scene_body(const std::function<void(vtl::vtlSceneapi_oo&)>& calls) {
    const std::string text = write_scene([&](vtlScene_api_file& writer) {
        vtl::PassThroughFactory factory(&writer);
        vtl::vtlSceneapi_oo oo(&factory);
        calls(oo);
    });
    const std::string version = "version 10\n\n";
    const std::string::size_type end = text.find(version);
    if (end == std::string::npos) return "(no version line)\n" + text;
    return text.substr(end + version.size());
}

// One row of a table: front calls and the whole text they write after the version line.
struct SceneCase {
    const char* name;
    std::function<void(vtl::vtlSceneapi_oo&)> calls;
    std::string expected;
};

} // namespace vtl_test

#pragma once
// Finding, loading, initialising and unloading the rendering application's Live library.
//
// The library lies in the program folder of the newest installation in the accepted range of
// major versions. At most one loader exists per process; the getters create it on first use
// and reuse it, whatever range a later call passes, until vtl_unload_live_library.

#include "dev/link/photara_live.h"
#include "platform/dynamic_library.h"

#include <memory>
#include <string>

namespace vtl {

// The loaded Live library and the live root its entry point returned.
class photara_live_loader {
public:
    photara_live_loader() = default;
    photara_live_loader(const photara_live_loader&) = delete;
    photara_live_loader& operator=(const photara_live_loader&) = delete;
    // Destroys the live root, then unloads the library.
    ~photara_live_loader();

    // Finds and loads the library of the newest installation in lowest..highest and calls its
    // entry point; true when a live root was obtained. What was loaded stays on failure.
    bool initialize(int lowest, int highest);

    // The live root, null until initialised.
    PhotaraLiveRoot* root() const noexcept { return root_.get(); }

    // Returns the library's base name for an installation's major version.
    static std::string base_name(int major);

private:
    platform::DynamicLibrary library_;
    std::unique_ptr<PhotaraLiveRoot> root_;
};

// Describes, in one line for the error text of a failed live connection, what was searched:
// the installation records of each root (see InstallationRegistry::describe_search), read
// again, and the Live library paths the last loading tried, each with whether it loaded.
// Empty when not even that can be said; never throws, and changes nothing.
std::string describe_live_search(int lowest, int highest) noexcept;

} // namespace vtl

// Returns the live scene API, loading the Live library first when needed; null when there is
// no usable library in the range.
vtlScene_api* vtl_get_scene_api(int lowest, int highest);

// Returns the Query API, loading the Live library first when needed; null when there is no
// usable library in the range.
vtl::PhotaraQueryApi* vtl_get_query_api(int lowest, int highest);

// Destroys the loader, if any: the live root and the objects it lent, and the library.
void vtl_unload_live_library();

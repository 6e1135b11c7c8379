// The stand-in's Live library: its entry point hands out a live root whose Query API reads the
// instances registered in the shared folder and whose scene API links to one of them.

#include "dev/link/photara_live.h"
#include "live_scene_api.h"
#include "sim_protocol.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace photara_sim {

namespace {

// Returns the process ids of the instances registered in folder, in ascending order.
std::vector<long long> registered_instances(const std::string& folder) {
    std::vector<long long> ids;
    if (folder.empty()) return ids;
    std::error_code error;
    std::filesystem::directory_iterator entry(std::filesystem::u8path(folder), error);
    const std::string suffix = kInstanceSuffix;
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().u8string();
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            ids.push_back(std::atoll(name.c_str()));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Lists the live instances of the shared folder and reads the scene of one of them.
class QueryApi : public vtl::PhotaraQueryApi {
public:
    // The document of the instances whose process still runs.
    const char* get_instances_xml() override {
        const std::string folder = instances_folder();
        instances_ = "<photara_instances>";
        for (long long process_id : registered_instances(folder)) {
            std::string element;
            if (process_alive(process_id) &&
                read_whole_file(instance_file(folder, process_id, kInstanceSuffix), element))
                instances_ += element;
        }
        instances_ += "</photara_instances>";
        return instances_.c_str();
    }
    // Reads the instance's scene document at once; false when the instance is gone.
    bool attach_instance(std::int64_t process_id) override {
        detach_instance();
        const std::string folder = instances_folder();
        if (!process_alive(process_id)) return false;
        attached_ = read_whole_file(instance_file(folder, process_id, kSceneSuffix), scene_);
        return attached_;
    }
    void reserved_3() override {}
    bool detach_instance() override {
        const bool was_attached = attached_;
        attached_ = false;
        scene_.clear();
        return was_attached;
    }
    void reserved_5() override {}
    void reserved_6() override {}
    // The attached instance's scene document, null when none is attached.
    const char* get_scene_xml() override { return attached_ ? scene_.c_str() : nullptr; }

private:
    std::string instances_;
    std::string scene_;
    bool attached_ = false;
};

class LiveRoot : public vtl::PhotaraLiveRoot {
public:
    vtlScene_api* get_scene_api() override { return &scene_api_; }
    vtl::PhotaraQueryApi* get_query_api() override { return &query_api_; }

private:
    LiveSceneApi scene_api_;
    QueryApi query_api_;
};

} // namespace

} // namespace photara_sim

// The entry point is the library's only export.
#ifdef _WIN32
#define PHOTARA_SIM_LIVE_EXPORT __declspec(dllexport)
#else
#define PHOTARA_SIM_LIVE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PHOTARA_SIM_LIVE_EXPORT vtl::PhotaraLiveRoot* photara_live_initialize() {
    return new photara_sim::LiveRoot();
}

#include "dev/link/repeat_link_factory.h"

#include "dev/install/installation_registry.h"
#include "dev/link/photaralive_loader.h"
#include "file_api/vtlscene_api.h"
#include "platform/clock.h"

#include <algorithm>

namespace vtl {

namespace {
constexpr const char* kNoQueryApi =
    "Could not get a query api. Please check your Photara installation.\n";
} // namespace

RepeatLinkFactory::~RepeatLinkFactory() {
    close();
}

void RepeatLinkFactory::set_version_range(int lowest, int highest) {
    min_version_major_ = lowest;
    max_version_major_ = highest;
}

bool RepeatLinkFactory::probe() {
    PhotaraQueryApi* query = vtl_get_query_api(min_version_major_, max_version_major_);
    if (!query) {
        last_error_ = kNoQueryApi;
        return false;
    }
    return choose(*query).version_major >= 1;
}

vtlScene_api* RepeatLinkFactory::get_api() {
    last_error_.clear();
    if (!api_ && !connect()) last_error_ = "Failed to connect. " + last_error_;
    return api_;
}

void RepeatLinkFactory::close() {
    if (!api_) return;
    // The Live library's disconnect answers false when the scene did not reach the instance
    // whole: the instance closed the link, refused data or stopped reading.
    if (!api_->disconnect() && link_failure_.empty())
        link_failure_ = "the Photara instance closed the live link or refused data: the scene did "
                        "not reach it whole";
    vtl_unload_live_library();
    api_ = nullptr;
}

InstanceRecord RepeatLinkFactory::choose(PhotaraQueryApi& query) {
    InstanceChoice choice = choose_instance(
        query, read_instances(query.get_instances_xml(), min_version_major_, max_version_major_),
        selector_, accept_any_instance_);
    found_selector_ = choice.found_selector;
    return choice.record;
}

bool RepeatLinkFactory::connect() {
    api_ = vtl_get_scene_api(min_version_major_, max_version_major_);
    if (!api_) {
        last_error_ = "Could not get a scene api. Please check your Photara installation.\n";
        return false;
    }
    api_->set_id(link_id_);
    PhotaraQueryApi* query = vtl_get_query_api(min_version_major_, max_version_major_);
    if (!query) {
        last_error_ = kNoQueryApi;
        return false;
    }
    InstanceRecord chosen = choose(*query);
    if (chosen.version_major == 0) {
        if (!InstallationRegistry::instance().launch_application(min_version_major_,
                                                                 max_version_major_)) {
            last_error_ = "Unabled to launch Photara. Please check your Photara installation.";
            return false;
        }
        // A new instance needs a while to offer itself: query again after each pause.
        for (int left = attempts_ - 1; left >= 1 && chosen.version_major == 0; --left) {
            chosen = choose(*query);
            platform::sleep_ms(static_cast<std::uint32_t>(std::max(attempt_pause_ms_, 0)));
        }
    }
    if (connect_to(chosen)) return true;
    last_error_ = "Could not connect on any known port. Please check your Photara installation and "
                  "Live Link settings.";
    api_ = nullptr; // the Live library stays loaded
    return false;
}

bool RepeatLinkFactory::connect_to(const InstanceRecord& record) {
    // The instance's own port is tried four times; each port of the recorded range once.
    if (record.live_link_port > 0) return api_->connect("localhost", record.live_link_port, 4);
    int lowest_port = -1;
    int highest_port = -1;
    // The range is read from the installations of versions 5 to 20, whatever range is
    // accepted; below -1 (only the lowest port known) there is no range.
    const int status =
        InstallationRegistry::instance().get_live_link_ports(&lowest_port, &highest_port, 5, 20);
    if (status < -1) return false;
    // Wide enough that the last port of any range cannot overflow the count.
    for (long long port = lowest_port; port <= highest_port; ++port)
        if (api_->connect("127.0.0.1", static_cast<int>(port), 1)) return true;
    return false;
}

} // namespace vtl

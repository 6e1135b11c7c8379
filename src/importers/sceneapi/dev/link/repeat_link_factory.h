#pragma once
// The destination of a live link: the Live library's scene API, connected to a running
// instance of the rendering application. The factory lists the running instances, chooses
// one, starts the application and waits for it when none qualifies, and connects on the
// instance's port or on each port of the installation's live-link range.

#include "dev/factory/light_factory.h"
#include "dev/link/instance_choice.h"

#include <string>
#include <vector>

namespace vtl {

class RepeatLinkFactory : public LightFactory {
public:
    RepeatLinkFactory() = default;
    // Runs close().
    ~RepeatLinkFactory() override;

    // Sets the name looked for in the instances' scene documents.
    void set_selector(std::string selector) { selector_ = std::move(selector); }
    // Lets every attachable instance in range be chosen, busy or not.
    void set_accept_any_instance(bool accept) { accept_any_instance_ = accept; }
    // Sets the accepted major versions of instances and installations.
    void set_version_range(int lowest, int highest);
    // Sets how often the instances are queried after a launch (one less than this).
    void set_attempts(int attempts) { attempts_ = attempts; }
    // Sets the pause after each query that follows a launch.
    void set_attempt_pause(int milliseconds) { attempt_pause_ms_ = milliseconds; }
    // Returns the text of the last failure.
    std::string get_last_error() const { return last_error_; }
    // Tells whether the last choice took an instance for holding the selector.
    bool found_selector() const { return found_selector_; }

    // Chooses an instance without connecting; true when one was chosen.
    bool probe();

    // Connects when not yet connected and returns the live scene API; it may be non-null
    // after a failure, which get_last_error() then describes.
    vtlScene_api* get_api() override;
    // Writes nothing.
    void begin_scene(vtlSceneapi_oo*) override {}
    // Disconnects and unloads the Live library when a scene API is held; a link that failed
    // before its end is kept for failure().
    void close() override;
    // What went wrong with a link that was connected: empty while it holds.
    std::string failure() const override { return link_failure_; }

private:
    // Obtains the scene API, chooses or awaits an instance and connects; false with
    // last_error set on failure.
    bool connect();
    // Reads the running instances through query and chooses one; sets found_selector.
    InstanceRecord choose(PhotaraQueryApi& query);
    // Tries the instance's port, or else the installation's port range.
    bool connect_to(const InstanceRecord& record);

    int attempts_ = 20;
    int attempt_pause_ms_ = 1000;
    vtlScene_api* api_ = nullptr; // lent by the Live library
    int min_version_major_ = 7;
    int max_version_major_ = 20;
    std::string selector_;
    bool accept_any_instance_ = false;
    bool found_selector_ = false;
    std::string last_error_;
    std::string link_failure_;
    unsigned link_id_ = 1;
};

} // namespace vtl

// Fuzz target: the running-instances document and the scene documents of the instances, read
// and chosen from as the live link does. The input is
//
//     flags, instances document, 0, scene document, 0, scene document, ..., 0, selector
//
// (bit 0 of the flags byte: accept any instance). A Query API stand-in hands out the documents:
// instance p attaches when its process id is not negative and its scene is scene document
// (p modulo their count), none when there is no scene document. Every text ends at the end of
// readable memory, so that a read past its terminator faults even in the system's TinyXML.
// Faults besides crashes: a choice that is not one of the records, and calls of the Query API
// out of order.

#include "dev/link/instance_choice.h"
#include "dev/link/photara_live.h"
#include "guarded_text.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "instance_documents_fuzz: %s\n", what);
    std::abort();
}

bool same(const vtl::InstanceRecord& a, const vtl::InstanceRecord& b) {
    return a.version_major == b.version_major && a.process_id == b.process_id &&
           a.live_link_port == b.live_link_port;
}

// The Query API of an application with the instances and scenes of the input.
class FakeQuery final : public vtl::PhotaraQueryApi {
public:
    FakeQuery(std::string_view instances, std::vector<std::string_view> scenes)
        : instances_(instances), scenes_(std::move(scenes)) {}

    const char* get_instances_xml() override {
        text_ = std::make_unique<fuzz::GuardedText>(instances_);
        return text_->c_str();
    }
    bool attach_instance(std::int64_t process_id) override {
        if (attached_) fault("attach_instance while an instance is attached");
        if (process_id < 0) return false;
        attached_ = true;
        attached_id_ = process_id;
        attached_ids_.push_back(process_id);
        return true;
    }
    void reserved_3() override { fault("reserved_3 called"); }
    bool detach_instance() override {
        if (!attached_) fault("detach_instance without an attached instance");
        attached_ = false;
        return true;
    }
    void reserved_5() override { fault("reserved_5 called"); }
    void reserved_6() override { fault("reserved_6 called"); }
    const char* get_scene_xml() override {
        if (!attached_) fault("get_scene_xml without an attached instance");
        if (scenes_.empty()) return nullptr;
        const auto count = static_cast<std::int64_t>(scenes_.size());
        text_ = std::make_unique<fuzz::GuardedText>(scenes_[attached_id_ % count]);
        return text_->c_str();
    }

    bool attached() const { return attached_; }
    const std::vector<std::int64_t>& attached_ids() const { return attached_ids_; }

private:
    std::string_view instances_;
    std::vector<std::string_view> scenes_;
    std::unique_ptr<fuzz::GuardedText> text_;
    bool attached_ = false;
    std::int64_t attached_id_ = 0;
    std::vector<std::int64_t> attached_ids_;
};

void choose(FakeQuery& query, const std::vector<vtl::InstanceRecord>& records,
            const std::string& selector, bool accept_any) {
    const vtl::InstanceChoice choice = vtl::choose_instance(query, records, selector, accept_any);
    if (query.attached()) fault("an instance is left attached");
    std::size_t attachable = 0;
    for (const vtl::InstanceRecord& r : records)
        attachable += r.process_id >= 0 ? 1 : 0;
    if (query.attached_ids().size() != attachable) fault("not every instance was attached once");
    if (choice.record.version_major == 0) {
        if (choice.found_selector) fault("selector found without a chosen instance");
        return;
    }
    bool listed = false;
    for (const vtl::InstanceRecord& r : records)
        listed = listed || same(r, choice.record);
    if (!listed) fault("the chosen instance is not one of the records");
    if (choice.record.process_id < 0) fault("an instance that cannot be attached was chosen");
    if (choice.record.version_major < 1) fault("an instance of version 0 or less was chosen");
    if (choice.found_selector && selector.empty()) fault("empty selector found");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool accept_any = (data[0] & 1) != 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t zero = rest.find('\0');
        parts.push_back(rest.substr(0, zero));
        if (zero == std::string_view::npos) break;
        rest.remove_prefix(zero + 1);
    }
    const std::string_view instances = parts.front();
    std::string selector;
    std::vector<std::string_view> scenes;
    if (parts.size() >= 2) {
        scenes.assign(parts.begin() + 1, parts.end() - (parts.size() >= 3 ? 1 : 0));
        if (parts.size() >= 3) selector = std::string(parts.back());
    }

    // The version range's bounds are pinned by the instance-choice tests (tests/dev/link).
    FakeQuery query(instances, scenes);
    const std::vector<vtl::InstanceRecord> all =
        vtl::read_instances(query.get_instances_xml(), INT_MIN, INT_MAX);
    const std::vector<vtl::InstanceRecord> in_range =
        vtl::read_instances(query.get_instances_xml(), 7, 20);
    choose(query, in_range, selector, accept_any);
    FakeQuery whole(instances, scenes);
    choose(whole, all, selector, !accept_any);
    return 0;
}

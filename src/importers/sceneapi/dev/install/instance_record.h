#pragma once
// One running instance of the rendering application, as the running-instances document that
// the Live library delivers describes it:
//
//     <photara_instances>
//       <photara_instance>
//         <version_major>8</version_major>
//         <process_id>4711</process_id>
//         <livelink_port>9001</livelink_port>
//       </photara_instance>
//       ...
//     </photara_instances>
//
// Each child element of the root is one instance; its three elements hold decimal text and may
// lie at any depth inside it, in any order. The names of the root and instance elements are
// not checked. A port of 0 or less means the instance accepts no live link.

#include <cstdint>

namespace vtl {

// Element names inside an instance element.
constexpr const char* kInstanceVersionElement = "version_major";
constexpr const char* kInstanceProcessElement = "process_id";
constexpr const char* kInstancePortElement = "livelink_port";

// Major version, process id and live-link port of one running instance.
struct InstanceRecord {
    std::int32_t version_major = 0;
    std::int64_t process_id = 0;
    std::int32_t live_link_port = 0;
};

} // namespace vtl

#pragma once
// Reading the running-instances document and choosing the instance a live link goes to.

#include "dev/install/instance_record.h"

#include <string>
#include <vector>

namespace vtl {

class PhotaraQueryApi;

// Returns the records of the instances in the document whose major version lies within
// lowest..highest, in document order. A null text and a text without a root element yield no
// record. An instance is skipped when it lacks its major version, process id or port, when the
// text of one of them holds no decimal number, or when a number does not fit: a major version
// outside 32 bits, a process id outside 64 bits, a port above 65535 or below the 32-bit range
// (a port of 0 or less means that the instance accepts no live link).
// A document that is not well-formed or nested more than 256 levels deep yields no record.
std::vector<InstanceRecord> read_instances(const char* xml, int lowest, int highest);

// The instance chosen and whether it was chosen for holding the selector.
struct InstanceChoice {
    InstanceRecord record; // major version 0: none chosen
    bool found_selector = false;
};

// Attaches to each instance in turn and reads its scene document. An instance holding the
// selector (an element with the attribute "name" equal to it, searched 4 levels deep from
// version 7 on, 3 before) wins; then, when any instance is accepted, the newest attachable one;
// then the newest whose scene is empty (the root's first child element exists and none of its
// children has a child element). On equal versions the earlier record stays. A scene document
// that cannot be read (no root, not well-formed, or nested more than 256 levels deep) is neither
// empty nor holds the selector.
InstanceChoice choose_instance(PhotaraQueryApi& query, const std::vector<InstanceRecord>& records,
                               const std::string& selector, bool accept_any_instance);

} // namespace vtl

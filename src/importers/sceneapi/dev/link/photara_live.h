#pragma once
// The objects the rendering application's Live library hands out. The library is loaded at
// run time (see photaralive_loader.h); its entry point returns the live root, and the root lends
// the Query API and the live scene API. The slot order of the virtual operations is fixed: the
// library implements the same tables.

#include <cstdint>

class vtlScene_api;

namespace vtl {

// Lists the running application instances and describes the scene of one of them. Owned by
// the live root; its texts stay valid until the next call of the same object.
class PhotaraQueryApi {
public:
    // 1: the running-instances document (see dev/install/instance_record.h); null for none.
    virtual const char* get_instances_xml() = 0;
    // 2: makes the instance with that process id the one queried; false when it cannot be.
    virtual bool attach_instance(std::int64_t process_id) = 0;
    // 3: not used.
    virtual void reserved_3() = 0;
    // 4: ends the query of the attached instance.
    virtual bool detach_instance() = 0;
    // 5, 6: not used.
    virtual void reserved_5() = 0;
    virtual void reserved_6() = 0;
    // 7: the attached instance's scene document; null when there is none.
    virtual const char* get_scene_xml() = 0;

protected:
    PhotaraQueryApi() = default;
    PhotaraQueryApi(const PhotaraQueryApi&) = delete;
    PhotaraQueryApi& operator=(const PhotaraQueryApi&) = delete;
    ~PhotaraQueryApi() = default; // the library destroys it, never the caller
};

// What the entry point returns; destroying it releases everything it lent.
class PhotaraLiveRoot {
public:
    // 1: releases the Query API and the scene API.
    virtual ~PhotaraLiveRoot() = default;
    // 2: the live scene API, or null; owned by the root.
    virtual vtlScene_api* get_scene_api() = 0;
    // 3: the Query API, or null; owned by the root.
    virtual PhotaraQueryApi* get_query_api() = 0;

protected:
    PhotaraLiveRoot() = default;
    PhotaraLiveRoot(const PhotaraLiveRoot&) = delete;
    PhotaraLiveRoot& operator=(const PhotaraLiveRoot&) = delete;
};

// Name of the Live library's entry point and its type.
constexpr const char* kPhotaraLiveEntryPoint = "photara_live_initialize";
using PhotaraLiveInitialize = PhotaraLiveRoot* (*)();

} // namespace vtl

// A Live library whose entry point hands out no live root, or, built with NO_ENTRY, one without
// the entry point at all.

namespace vtl {
class PhotaraLiveRoot;
}

#ifndef NO_ENTRY
extern "C" __attribute__((visibility("default"))) vtl::PhotaraLiveRoot* photara_live_initialize() {
    return nullptr;
}
#endif

// A Live library whose entry point hands out no live root.

namespace vtl {
class PhotaraLiveRoot;
}

extern "C" __attribute__((visibility("default"))) vtl::PhotaraLiveRoot* photara_live_initialize() {
    return nullptr;
}

// A library without the Live library's entry point.

extern "C" __attribute__((visibility("default"))) int photara_live_version() {
    return 0;
}

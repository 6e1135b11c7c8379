#include "cs_wrapper/export_state.h"

#include <utility>

namespace vtl {

namespace {
ExportState g_state;
} // namespace

ExportState& export_state() {
    return g_state;
}

ExportState::~ExportState() {
    try {
        close_groups();
    } catch (...) {
    }
}

void ExportState::install(std::unique_ptr<LightFactory> next) {
    // The destination replaced ends like one closed: no material id is carried over.
    close_groups();
    materials.clear();
    factory = std::move(next);
    try {
        oo = std::make_unique<vtlSceneapi_oo>(factory.get());
    } catch (...) {
        // Never leave a front pointing at the factory that was just destroyed.
        oo.reset();
        throw;
    }
}

void ExportState::end_destination() {
    close_groups();
    oo.reset();
    factory.reset();
    materials.clear();
}

void ExportState::close_groups() {
    vtlSceneapi_oo* open = front();
    for (; open_groups > 0; --open_groups)
        if (open) open->end_group();
    open_groups = 0;
}

} // namespace vtl

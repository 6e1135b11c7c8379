#include "cs_wrapper/export_state.h"

#include <utility>

namespace vtl {

namespace {
ExportState g_state;
} // namespace

ExportState& export_state() {
    return g_state;
}

void ExportState::install(std::unique_ptr<LightFactory> next) {
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
    oo.reset();
    factory.reset();
    materials.clear();
}

} // namespace vtl

#include "cs_wrapper/export_state.h"

#include "cs_wrapper/export_support.h"
#include "log/log.h"

#include <exception>
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
        report_open_groups();
    } catch (...) {
    }
}

void ExportState::install(std::unique_ptr<LightFactory> next) {
    // The destination replaced ends like one closed: no material id is carried over.
    report_open_groups();
    materials.clear();
    std::unique_ptr<LightFactory> previous = std::exchange(factory, std::move(next));
    if (previous) {
        const std::string failure = close_factory(*previous);
        if (!failure.empty()) {
            SCENEAPI_LOG(logERROR) << "replaced destination: " << failure;
        }
        previous.reset();
    }
    last_error.clear();
    try {
        oo = std::make_unique<vtlSceneapi_oo>(factory.get());
    } catch (...) {
        // Never leave a front pointing at the factory that was just destroyed.
        oo.reset();
        throw;
    }
}

void ExportState::end_destination() {
    report_open_groups();
    oo.reset();
    if (factory) {
        const std::string failure = close_factory(*factory);
        factory.reset();
        if (!failure.empty()) fail(failure);
    }
    materials.clear();
}

void ExportState::end_destination_writing(const std::string& path) {
    if (factory && factory->is_file(path)) end_destination();
}

void ExportState::fail(const std::string& text) {
    SCENEAPI_LOG(logERROR) << text;
    if (last_error.empty()) last_error = text;
}

std::string ExportState::error_text() const {
    if (!last_error.empty() || !factory) return last_error;
    return factory->failure();
}

std::string ExportState::close_factory(LightFactory& ended) {
    try {
        ended.close();
    } catch (...) {
        // The factory keeps what went wrong for failure().
    }
    return ended.failure();
}

void ExportState::report_open_groups() {
    if (open_groups > 0 && front()) {
        SCENEAPI_LOG(logWARNING) << open_groups << (open_groups == 1 ? " group" : " groups")
                                 << " left open";
    }
    open_groups = 0;
}

void report_exception(const char* export_name) noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& failure) {
            export_state().fail(std::string(export_name) + ": " + failure.what());
        } catch (...) {
            export_state().fail(std::string(export_name) + ": unknown exception");
        }
    } catch (...) {
        // Out of memory while reporting: nothing more can be done.
    }
}

} // namespace vtl

// Exports that open and end a destination and act on it directly.

#include "sceneapi_cs_wrapper.h"

#include "cs_wrapper/export_state.h"
#include "cs_wrapper/export_support.h"
#include "cs_wrapper/matrix_helpers.h"
#include "dev/factory/light_file_factory.h"
#include "dev/link/photaralive_loader.h"
#include "dev/link/repeat_link_factory.h"
#include "dev/nodes/default_rt_module.h"
#include "sceneapi_version.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

using namespace vtl;

namespace {

// Copies `text` into the host buffer as strncpy does with `size` as the count.
void copy_error(const char* text, char* buffer, int size) {
    if (buffer && size > 0) std::strncpy(buffer, text, static_cast<std::size_t>(size));
}

// Makes text the host's failure: the failure of the open call replaces any earlier one.
void report_failed_open(const std::string& text) {
    ExportState& state = export_state();
    state.last_error.clear();
    state.fail(text);
}

// Sends the import options every Scene file starts with.
void send_import_options(vtlSceneapi_oo& oo, int up_axis, float meter_scale) {
    DefaultRTModule module;
    module.set_import_mode(true);
    module.set_import_merge_groups(false);
    module.set_import_merge_objects(false);
    module.set_import_adjust_environment(true);
    module.set_import_adjust_camera(true);
    module.set_import_center_geometry(true);
    module.set_import_snap_to_ground(true);
    module.set_import_keep_original(true);
    module.set_import_up_vector(up_axis);
    module.set_meter_scale(meter_scale);
    module.set_ext(false);
    oo.add(module);
}

// Configures a live-link factory with the host's choice of instance.
void choose_instances(RepeatLinkFactory& factory, const char* selector, int lowest, int highest,
                      bool any_instance) {
    factory.set_accept_any_instance(any_instance);
    factory.set_selector(host_string(selector));
    factory.set_version_range(lowest, highest);
}

} // namespace

extern "C" {

SCENEAPI_EXPORT int openFile(const char* path, const void*, int upAxis, float meterScale) {
    return guarded(__func__, -1, [&] {
        try {
            const std::string destination = host_string(path);
            ExportState& state = export_state();
            // Opening the file that is being written would cut it under the open stream.
            state.end_destination_writing(destination);
            // The factory opens the file; when it cannot, the previous destination stays.
            auto factory = std::make_unique<LightFileFactory>(destination);
            state.install(std::move(factory));
            if (vtlScene_api* api = state.api()) api->set_writer_flags(1);
            send_import_options(*state.oo, upAxis, meterScale);
            return 0;
        } catch (const FileDestinationError& failure) {
            report_failed_open(failure.report());
            return -1;
        }
    });
}

SCENEAPI_EXPORT void closeFile(void) {
    guarded(__func__, [] { export_state().end_destination(); });
}

SCENEAPI_EXPORT int connectToPhotara(const char* selector, char* errorBuffer, int errorBufferSize,
                                     int upAxis, float meterScale, int versionA, int versionB,
                                     bool preference) {
    return guarded(__func__, -1, [&] {
        try {
            auto factory = std::make_unique<RepeatLinkFactory>();
            choose_instances(*factory, selector, versionA, versionB, preference);
            // An application it starts gets 30 queries, a second apart, to come up.
            factory->set_attempts(30);
            factory->set_attempt_pause(1000);
            RepeatLinkFactory& link = *factory;
            // Creating the front connects: it asks the factory for its back-end.
            ExportState& state = export_state();
            state.install(std::move(factory));
            const std::string error = link.get_last_error();
            if (!error.empty()) {
                copy_error(error.c_str(), errorBuffer, errorBufferSize);
                // The host's report adds where the link was looked for.
                std::string report = error;
                if (report.back() != '\n') report += ' ';
                report_failed_open(report + describe_live_search(versionA, versionB));
                return -1;
            }
            send_import_options(*state.oo, upAxis, meterScale);
            return 0;
        } catch (const std::exception& failure) {
            copy_error(failure.what(), errorBuffer, errorBufferSize);
            throw;
        }
    });
}

SCENEAPI_EXPORT void disconnect(void) {
    guarded(__func__, [] { export_state().end_destination(); });
}

SCENEAPI_EXPORT int probePhotara(const char* selector, int versionA, int versionB, bool preference,
                                 bool* found) {
    // Not guarded: a probe leaves the Export state, and so the host's failure, as it was.
    try {
        RepeatLinkFactory factory;
        choose_instances(factory, selector, versionA, versionB, preference);
        const bool chosen = factory.probe();
        if (found) *found = factory.found_selector();
        return chosen ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

SCENEAPI_EXPORT int getLastError(char* buffer, int bufferSize) {
    // Not guarded: the failure being handed out must not be replaced by one of handing it out.
    try {
        const std::string text = export_state().error_text();
        if (text.empty()) {
            if (buffer && bufferSize > 0) buffer[0] = '\0';
            return 0;
        }
        copy_error(text.c_str(), buffer, bufferSize);
        return -1;
    } catch (...) {
        // Out of memory while copying the text: there is a failure, its text cannot be given.
        if (buffer && bufferSize > 0) buffer[0] = '\0';
        return -1;
    }
}

SCENEAPI_EXPORT void getVersion(char* buffer, int) {
    guarded(__func__, [&] {
        // "<major>.<minor>": at most three characters and the terminating zero are written.
        if (buffer)
            std::snprintf(buffer, 4, "%d.%d", SCENEAPI_INTERFACE_VERSION_MAJOR,
                          SCENEAPI_INTERFACE_VERSION_MINOR);
    });
}

SCENEAPI_EXPORT void setProgress(const char* text, float fraction) {
    guarded(__func__, [&] {
        if (vtlSceneapi_oo* oo = export_state().front()) oo->progress(host_string(text), fraction);
    });
}

SCENEAPI_EXPORT void setFlags(unsigned flags) {
    guarded(__func__, [&] {
        if (vtlScene_api* api = export_state().api()) api->set_flags(flags);
    });
}

SCENEAPI_EXPORT void transform(const double* matrix) {
    guarded(__func__, [&] {
        vtlScene_api* api = export_state().api();
        if (api && matrix) api->transform(matrix::from_rows(matrix));
    });
}

} // extern "C"

#pragma once
// The process-wide state behind the exports: the destination (factory and front), the material
// table, the objects under construction, and the failure the host asks for with getLastError.

#include "dev/factory/light_factory.h"
#include "dev/materials/material.h"
#include "dev/nodes/animation.h"
#include "dev/nodes/nurbs_curve.h"
#include "dev/nodes/simple_nurbs_surface.h"
#include "dev/nodes/triangle_object.h"
#include "dev/vtlsceneapi_oo.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace vtl {

// Members are constructed in declaration order and destroyed in reverse: the front first, then
// the factory (which closes the destination), the node slots, the material table last.
struct ExportState {
    std::string last_error; // the first failure since the last successful open
    std::map<int32_t, std::shared_ptr<Material>> materials;
    std::shared_ptr<FBXAnimation> animation;
    std::shared_ptr<SimpleNurbsSurface> nurbs;
    std::shared_ptr<TriangleObject> triangles;
    std::shared_ptr<NurbsCurve> trim;
    std::unique_ptr<LightFactory> factory;
    std::unique_ptr<vtlSceneapi_oo> oo;
    // Groups opened by beginGroup and not yet closed in the open destination.
    int open_groups = 0;

    // Logs the groups left open when the library is unloaded with a destination open.
    ~ExportState();

    // The front when a destination is open with a back-end, else null.
    vtlSceneapi_oo* front() const { return oo && oo->get_api() ? oo.get() : nullptr; }
    // The back-end of the open destination, else null.
    vtlScene_api* api() const { return oo ? oo->get_api() : nullptr; }
    // Makes `next` the destination: the previous factory goes first, then the previous front.
    // The failure of the previous destination is logged; the host's failure is cleared.
    void install(std::unique_ptr<LightFactory> next);
    // Ends the destination and forgets every material; a failure of the destination becomes
    // the host's failure.
    void end_destination();
    // Ends the destination first when it is the file at that path, so that opening the file
    // again cannot cut it under the open stream.
    void end_destination_writing(const std::string& path);
    // Keeps text as the host's failure unless an earlier one is kept; logs it at error level.
    void fail(const std::string& text);
    // The host's failure: the first kept, else the open destination's own; empty when none.
    std::string error_text() const;

private:
    // Closes the factory (the front is gone already) and returns its failure text, if any.
    static std::string close_factory(LightFactory& ended);
    // Logs the groups left open in the destination being ended.
    void report_open_groups();
};

// The one Export state of the loaded library.
ExportState& export_state();

} // namespace vtl

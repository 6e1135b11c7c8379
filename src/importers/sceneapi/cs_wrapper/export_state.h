#pragma once
// The process-wide state behind the exports: the destination (factory and front), the material
// table and the objects under construction.

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

namespace vtl {

// Members are constructed in declaration order and destroyed in reverse: the front first, then
// the factory (which closes the destination), the node slots, the material table last.
struct ExportState {
    std::map<int32_t, std::shared_ptr<Material>> materials;
    std::shared_ptr<FBXAnimation> animation;
    std::shared_ptr<SimpleNurbsSurface> nurbs;
    std::shared_ptr<TriangleObject> triangles;
    std::shared_ptr<NurbsCurve> trim;
    std::unique_ptr<LightFactory> factory;
    std::unique_ptr<vtlSceneapi_oo> oo;
    // Groups opened by beginGroup and not yet closed in the open destination.
    int open_groups = 0;

    // Closes the groups still open, so that a file never ends inside a group.
    ~ExportState();

    // The front when a destination is open with a back-end, else null.
    vtlSceneapi_oo* front() const { return oo && oo->get_api() ? oo.get() : nullptr; }
    // The back-end of the open destination, else null.
    vtlScene_api* api() const { return oo ? oo->get_api() : nullptr; }
    // Makes `next` the destination: the previous factory goes first, then the previous front.
    void install(std::unique_ptr<LightFactory> next);
    // Ends the destination and forgets every material.
    void end_destination();
    // Closes the groups the host left open in the destination.
    void close_groups();
};

// The one Export state of the loaded library.
ExportState& export_state();

} // namespace vtl

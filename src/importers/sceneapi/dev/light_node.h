#pragma once
// The abstract scene node: one element of the scene held until it is complete, then written
// through the typed front. Holds no data.

namespace vtl {

class vtlSceneapi_oo;

class LightNode {
public:
    // Writes the node at its place in the scene.
    virtual void emit(vtlSceneapi_oo& oo) = 0;
    // Writes the node as a reusable definition referred to by a numeric id (geometry only).
    virtual void define(vtlSceneapi_oo& oo) = 0;
    // True when the node refers to an already defined object instead of carrying data.
    virtual bool is_instance() const = 0;
    // Nodes are destroyed through the base.
    virtual ~LightNode() = default;
};

} // namespace vtl

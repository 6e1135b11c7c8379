#pragma once
// What every piece of geometry has: a name, a material, and the ability to stand for an already
// defined object by its numeric id (an instance).

#include "dev/light_node.h"

#include <cstdint>
#include <memory>
#include <string>

class vtlScene_api;

namespace vtl {

class Material;

class LightGeometry : public LightNode {
public:
    // Names the object; no material, not an instance.
    explicit LightGeometry(std::string name);

    // Writes the placed object, or a placement of the defined object; nothing without a
    // back-end.
    void emit(vtlSceneapi_oo& oo) override;
    // Writes a numbered definition, gives back the memory of the data and makes the node stand
    // for the definition; nothing without a back-end.
    void define(vtlSceneapi_oo& oo) override;
    // True when the node stands for a defined object.
    bool is_instance() const override;
    ~LightGeometry() override;
    // The size of the geometry payload in bytes.
    virtual uint64_t data_size() const = 0;
    // Sets the material written with each placement.
    virtual void set_material(std::shared_ptr<Material> value);
    // The material written with each placement.
    virtual std::shared_ptr<Material> get_material() const;
    // Renames the object.
    virtual void set_name(std::string value);
    // The object's name.
    virtual std::string get_name() const;

    // Makes the node stand for the defined object `id`.
    void set_object_id(uint64_t id);
    // The id of the defined object the node stands for; 0 when none.
    uint64_t get_object_id() const { return object_id; }

protected:
    // Writes the geometry block "instance" with the id; returns false when the node holds data.
    bool emit_instance_geometry(vtlSceneapi_oo& oo);
    // Writes the geometry block: a reference to the defined object, or the node's own data.
    virtual void emit_geometry(vtlSceneapi_oo& oo) = 0;
    // Gives back the memory of the data once it has been written as a definition.
    virtual void release_data() = 0;
    // Writes the placed object: its geometry, then its material.
    void emit_placed(vtlScene_api& api, vtlSceneapi_oo& oo);

    std::string name;
    std::shared_ptr<Material> material;
    bool instance = false;
    uint64_t object_id = 0;
};

} // namespace vtl

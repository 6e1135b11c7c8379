#pragma once
// The base of every material: written once as a named definition, afterwards referred to by
// name; a material never defined is written inline wherever it is used. The shader inside the
// material block is the kind's business.

#include "dev/light_node.h"
#include "file_api/vtlscene_api.h"

#include <string>

namespace vtl {

class Material : public LightNode {
public:
    // Names the material; its matrix starts as the identity.
    explicit Material(std::string name);

    // A reference when the material was defined, else a whole inline material block.
    void emit(vtlSceneapi_oo& oo) override;
    // Writes the material as a named definition and remembers that it did.
    void define(vtlSceneapi_oo& oo) override;
    // True once the material has been defined.
    bool is_instance() const override;
    // Materials are held in shared pointers and destroyed through the base.
    ~Material() override = 0;
    // Writes the material's surface shader inside the open material block.
    virtual void write_shader(vtlSceneapi_oo& oo) = 0;

    // Renames the material.
    void set_name(std::string value);
    // The material's name.
    const std::string& get_name() const { return name; }
    // The renderer shader type the kind writes.
    const std::string& get_shader_name() const { return shader_name; }
    // Sets the renderer shader type.
    void set_shader_name(std::string value);
    // Stores a matrix; it takes no part in what is written.
    void set_matrix(const vtlMatrix& value) { matrix = value; }
    // The stored matrix.
    const vtlMatrix& get_matrix() const { return matrix; }

private:
    // Opens the material block, lets the kind write its shader and closes the block.
    void write_block(vtlScene_api& api, vtlSceneapi_oo& oo, bool inline_material);

    bool defined = false;
    std::string name;
    std::string shader_name;
    vtlMatrix matrix;
};

} // namespace vtl

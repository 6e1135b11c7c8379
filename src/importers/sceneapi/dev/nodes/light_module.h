#pragma once
// A node that writes a named block of options addressed to a loadable module of the renderer.

#include "dev/light_node.h"

#include <string>

namespace vtl {

class LightModule : public LightNode {
public:
    // Names the module the options are addressed to.
    explicit LightModule(std::string name);

    // Writes the module block: its header, the options, its end.
    void emit(vtlSceneapi_oo& oo) override;
    // Does nothing: modules have no definitions.
    void define(vtlSceneapi_oo& oo) override;
    // Always false.
    bool is_instance() const override;
    ~LightModule() override = default;
    // Writes the parameters inside the module block.
    virtual void emit_options(vtlSceneapi_oo& oo) = 0;

protected:
    std::string name;
};

} // namespace vtl

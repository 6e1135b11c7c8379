#pragma once
// A factory around a back-end it is handed and does not own.

#include "dev/factory/light_factory.h"

namespace vtl {

class PassThroughFactory : public LightFactory {
public:
    explicit PassThroughFactory(vtlScene_api* api) : api_(api) {}
    // Does nothing: the back-end it was handed is not destroyed.
    ~PassThroughFactory() override = default;
    vtlScene_api* get_api() override { return api_; }
    void begin_scene(vtlSceneapi_oo*) override {}
    void close() override {}

private:
    vtlScene_api* api_;
};

} // namespace vtl

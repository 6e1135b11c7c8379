#pragma once
// What a destination is made of: it yields the scene API back-end, writes the scene's opening
// when the front starts, and releases the back-end at the end.

class vtlScene_api;

namespace vtl {

class vtlSceneapi_oo;

class LightFactory {
public:
    virtual ~LightFactory() = default;
    // The back-end, or null when the factory has none.
    virtual vtlScene_api* get_api() = 0;
    // Called once by the front right after it took a non-null back-end.
    virtual void begin_scene(vtlSceneapi_oo* oo) = 0;
    // Releases the back-end.
    virtual void close() = 0;

protected:
    LightFactory() = default;
    LightFactory(const LightFactory&) = delete;
    LightFactory& operator=(const LightFactory&) = delete;
};

} // namespace vtl

#pragma once
// What a destination is made of: it yields the scene API back-end, writes the scene's opening
// when the front starts, and releases the back-end at the end.

#include <string>

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
    // The first failure of the destination since it was made (a write that did not reach it,
    // a peer that went away), for the host; empty while all is well.
    virtual std::string failure() const { return std::string(); }
    // Tells whether the destination is the file at that UTF-8 path.
    virtual bool is_file(const std::string&) const { return false; }

protected:
    LightFactory() = default;
    LightFactory(const LightFactory&) = delete;
    LightFactory& operator=(const LightFactory&) = delete;
};

} // namespace vtl

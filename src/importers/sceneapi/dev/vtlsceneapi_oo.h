#pragma once
// The typed front of the scene API: scene nodes and exports talk to it in strings, colours,
// vectors, matrices and typed arrays; it turns every call into the flat scene API calls (name,
// type code, value pointer), hands out object ids and shader numbers, and greets a new
// destination with its banner and the scene version.

#include "file_api/vtlscene_api.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vtl {

class LightFactory;
class LightNode;

class vtlSceneapi_oo {
public:
    // Takes the factory's back-end and starts the scene on it; the factory is not owned.
    explicit vtlSceneapi_oo(LightFactory* factory);
    // A front that accepts and discards a whole scene: a pass-through factory around a NullApi.
    vtlSceneapi_oo();

    vtlSceneapi_oo(const vtlSceneapi_oo&) = delete;
    vtlSceneapi_oo& operator=(const vtlSceneapi_oo&) = delete;

    // Ends the object; touches neither the factory nor the back-end.
    virtual ~vtlSceneapi_oo();

    // Points the front at a back-end (may be null) and restarts both counters.
    virtual void set_api(vtlScene_api* api);
    // Draws the next object id and writes it into the open block.
    virtual unsigned new_id();
    // Lets a node emit itself through this front.
    virtual void add(LightNode& node);
    // Reports progress of the scene transfer.
    virtual void progress(const std::string& text, float fraction);
    // Opens a named group placed where it stands.
    virtual void begin_group(const std::string& name);
    // Closes the group opened last.
    virtual void end_group();
    // Opens the next numbered shader of the given type and returns its number.
    virtual unsigned begin_shader(const std::string& type);
    // Closes the shader opened last.
    virtual void end_shader();

    // Refuses C strings: throws std::invalid_argument and sends nothing.
    virtual void set_parameter(const std::string& name, const char* value);
    // Sends a string parameter.
    virtual void set_parameter(const std::string& name, const std::string& value);
    // Sends a colour parameter.
    virtual void set_parameter(const std::string& name, const vtlColor& value);
    // Sends a vector parameter.
    virtual void set_parameter(const std::string& name, const vtlVector& value);
    // Sends a 64-bit float parameter.
    virtual void set_parameter(const std::string& name, double value);
    // Sends a 32-bit float parameter.
    virtual void set_parameter(const std::string& name, float value);
    // Sends an integer parameter.
    virtual void set_parameter(const std::string& name, int value);
    // Sends a truth value as the 32-bit integer 1 or 0.
    virtual void set_parameter(const std::string& name, bool value);

    // Sends an array of matrices.
    virtual void set_array(const std::string& name, const std::vector<vtlMatrix>& values);
    // Sends an array of integers.
    virtual void set_array(const std::string& name, const std::vector<int>& values);
    // Sends an array of 32-bit floats.
    virtual void set_array(const std::string& name, const std::vector<float>& values);
    // Sends an array of 64-bit floats.
    virtual void set_array(const std::string& name, const std::vector<double>& values);
    // Sends x, y, z float triples; trailing values short of a whole triple are not counted.
    virtual void set_vec3_array(const std::string& name, const std::vector<float>& values);

    // Multiplies the matrix onto the current transform.
    virtual void set_transform(const vtlMatrix& m);
    // Replaces the current transform (replace true) or multiplies onto it (replace false).
    virtual void set_transform(const vtlMatrix& m, bool replace);
    // Sends the scene flags word.
    virtual void set_flags(unsigned flags);
    // The back-end every call goes to; null when the factory supplied none.
    virtual vtlScene_api* get_api();

    // Informational message to the destination.
    void print(std::string text);
    // Error message to the destination.
    void error(std::string text);

private:
    // Takes the back-end from the factory and, when there is one, opens the scene on it.
    void start_up();
    // Sends one parameter when a back-end is present.
    void send(const std::string& name, int type, const void* value);
    // Sends an array parameter as a vtlArray over `count` elements at `data`.
    void send_array(const std::string& name, int type, const void* data, std::size_t count);

    vtlScene_api* api_ = nullptr;
    LightFactory* factory_ = nullptr;
    uint32_t shader_counter_ = 0;
    uint32_t id_counter_ = 0;

    // Only set by the default constructor, which makes its own discarding destination.
    std::unique_ptr<vtlScene_api> own_api_;
    std::unique_ptr<LightFactory> own_factory_;
};

} // namespace vtl

#pragma once
// The scene API of the stand-in's Live library: the Scene file writer over a TCP connection to
// an instance. Before connect and after disconnect, scene calls go nowhere.
//
// Sending never blocks without bound: every send on the link waits at most the link timeout,
// PHOTARA_LIVE_SEND_TIMEOUT_MS milliseconds (a whole number from 1 to 86,400,000; 30,000 when
// unset or not such a number), read at each connect. Once a send fails (the instance closed or
// reset the link, refused data, or took none for that long), the link has failed: the rest of
// the scene is dropped at once, and the scene calls go on without blocking. disconnect() says
// whether the whole scene reached the instance: the live-link factory calls it when it
// releases the scene API and reports a false result to the host as "the instance closed the
// link or refused data".

#include "file_api/null_api.h"
#include "file_api/vtlscene_api.h"

#include <cstdio>
#include <memory>
#ifdef _WIN32
#include <thread>
#endif

namespace photara_sim {

class LiveSceneApi : public vtlScene_api {
public:
    LiveSceneApi();
    LiveSceneApi(const LiveSceneApi&) = delete;
    LiveSceneApi& operator=(const LiveSceneApi&) = delete;
    // Ends the link, if any.
    ~LiveSceneApi() override;

    // Connects to host:port and greets the instance, trying up to attempts times with a short
    // pause between tries; a link still open is ended first. True when the instance answered.
    bool connect(const char* host, int port, int attempts) override;
    // Ends the link: sends what is left, closes the sending side and waits (at most the link
    // timeout) for the instance to confirm that it received every byte. True when it did;
    // false when the link had failed, the confirmation did not come, or no link was open.
    bool disconnect() override;
    // Before connect: remembers the link id sent in the greeting. On an open link: an object
    // id, written as a Scene file writes it.
    void set_id(unsigned id) override {
        if (writer_)
            writer_->set_id(id);
        else
            link_id_ = id;
    }

    // Everything else goes to the writer of the open link, or nowhere.
    void reserved_1() override { target().reserved_1(); }
    bool request(void* a, void* b, void* c) override { return target().request(a, b, c); }
    bool begin_group(const char* name, bool inline_group) override {
        return target().begin_group(name, inline_group);
    }
    void end_group() override { target().end_group(); }
    bool begin_object(const char* name, bool inline_object) override {
        return target().begin_object(name, inline_object);
    }
    void end_object() override { target().end_object(); }
    bool begin_geometry(const char* type) override { return target().begin_geometry(type); }
    void end_geometry() override { target().end_geometry(); }
    bool begin_animation(const char* kind, const char* name) override {
        return target().begin_animation(kind, name);
    }
    bool end_animation() override { return target().end_animation(); }
    bool begin_load(const char* module) override { return target().begin_load(module); }
    void end_load() override { target().end_load(); }
    bool begin_options() override { return target().begin_options(); }
    void end_options() override { target().end_options(); }
    bool begin_camera(const char* name) override { return target().begin_camera(name); }
    void end_camera() override { target().end_camera(); }
    bool begin_image() override { return target().begin_image(); }
    void end_image() override { target().end_image(); }
    bool begin_output(const char* a, const char* b, const char* c) override {
        return target().begin_output(a, b, c);
    }
    void end_output() override { target().end_output(); }
    bool begin_light(const char* name) override { return target().begin_light(name); }
    void end_light() override { target().end_light(); }
    bool begin_accel(const char* name) override { return target().begin_accel(name); }
    void end_accel() override { target().end_accel(); }
    void transform(const vtlMatrix& m) override { target().transform(m); }
    void set_transform(const vtlMatrix& m) override { target().set_transform(m); }
    void scale(const double& x, const double& y, const double& z) override {
        target().scale(x, y, z);
    }
    void rotate(const double& x, const double& y, const double& z) override {
        target().rotate(x, y, z);
    }
    void translate(const double& x, const double& y, const double& z) override {
        target().translate(x, y, z);
    }
    bool begin_matrix(const char* name) override { return target().begin_matrix(name); }
    void end_matrix() override { target().end_matrix(); }
    bool begin_material(const char* name, bool inline_material) override {
        return target().begin_material(name, inline_material);
    }
    bool use_material(const char* name) override { return target().use_material(name); }
    void end_material() override { target().end_material(); }
    void set_shader(int kind, vtlShader shader) override { target().set_shader(kind, shader); }
    void set_shader_id(int kind, int id) override { target().set_shader_id(kind, id); }
    bool begin_shader(const char* name, const char* type) override {
        return target().begin_shader(name, type);
    }
    bool define_shader(const char* type, int id) override {
        return target().define_shader(type, id);
    }
    void end_shader() override { target().end_shader(); }
    vtlShader get_shader() override { return target().get_shader(); }
    void push_shader() override { target().push_shader(); }
    void pop_shader() override { target().pop_shader(); }
    bool set_parameter(const char* name, int type, const void* value) override {
        return target().set_parameter(name, type, value);
    }
    bool set_parameter_id(const char* name, int id) override {
        return target().set_parameter_id(name, id);
    }
    bool set_parameter_shader(const char* name, vtlShader shader) override {
        return target().set_parameter_shader(name, shader);
    }
    bool begin_array(const char* name) override { return target().begin_array(name); }
    void end_array() override { target().end_array(); }
    void add_array_element(int type, const void* value) override {
        target().add_array_element(type, value);
    }
    int reserved_51() override { return target().reserved_51(); }
    int reserved_52(const char* text) override { return target().reserved_52(text); }
    int reserved_53() override { return target().reserved_53(); }
    void set_attribute(const char* key, const char* value) override {
        target().set_attribute(key, value);
    }
    void write_raw(const char* text) override { target().write_raw(text); }
    void set_writer_flags(unsigned flags) override { target().set_writer_flags(flags); }
    void set_version(int version) override { target().set_version(version); }
    void reserved_58(bool flag) override { target().reserved_58(flag); }
    void set_progress(const char* name, float fraction) override {
        target().set_progress(name, fraction);
    }
    void set_icon(const void* data, unsigned size) override { target().set_icon(data, size); }
    void set_data(const char* name, const void* data, unsigned size) override {
        target().set_data(name, data, size);
    }
    void set_flags(unsigned flags) override { target().set_flags(flags); }
    bool reserved_64() override { return target().reserved_64(); }
    bool render() override { return target().render(); }
    void print(const char* text) override { target().print(text); }
    void error(const char* text) override { target().error(text); }

    // The open link: the connection and how much of the scene went over it (internal).
    struct Link;

private:
    // The writer of the open link, or the sink.
    vtlScene_api& target() { return writer_ ? *writer_ : static_cast<vtlScene_api&>(sink_); }

    NullApi sink_;
    std::unique_ptr<Link> link_; // the open link; written by the stream or the forwarder
    FILE* stream_ = nullptr;     // owned: the link's stream, closed by disconnect()
#ifdef _WIN32
    std::thread forwarder_; // sends the stream's bytes over the connection, then closes it
#endif
    std::unique_ptr<vtlScene_api> writer_;
    unsigned link_id_ = 0;
};

} // namespace photara_sim

#pragma once
// A scene API back-end for tests: every call is recorded as one text line with its arguments,
// e.g. `set_parameter "diffuse" 1 0.75 0.5 0.5`, so tests can compare the call stream with the
// expected one. Anonymous shaders are numbered in the order they are opened ("shader#1", ...;
// "shader#0" is the null handle) and follow the writer's current-shader rules: an anonymous
// shader becomes current when it opens, end_shader leaves the closed one current, pop_shader
// restores a pushed handle.
//
// Value texts by type code: floats "%.9g", doubles "%.17g", ints and truth values "%d",
// strings in double quotes, shader handles "shader#N"; a whole array prints "[n]" and then
// every scalar of every element, each after a blank. Array codes print in hexadecimal.

#include "dev/factory/pass_through_factory.h"
#include "dev/vtlsceneapi_oo.h"
#include "file_api/vtlscene_api.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vtl_test {

// The call lists one after another.
inline std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class RecordingApi : public vtlScene_api {
public:
    std::vector<std::string> calls;

    // All recorded lines joined with line feeds, for readable failure output.
    std::string text() const {
        std::string all;
        for (const std::string& call : calls)
            all += call + "\n";
        return all;
    }

    // The recorded lines that start with `prefix`.
    std::vector<std::string> starting_with(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : calls) {
            if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
        }
        return found;
    }

    static std::string quoted(const char* s) {
        return s == nullptr ? std::string("null") : "\"" + std::string(s) + "\"";
    }
    static std::string num(double v) { return fmt("%.17g", v); }
    static std::string numf(float v) { return fmt("%.9g", static_cast<double>(v)); }
    static std::string handle(vtlShader s) {
        return "shader#" + std::to_string(reinterpret_cast<std::uintptr_t>(s));
    }

    // The text of one value of type `type` at `value`.
    static std::string value_text(int type, const void* value) {
        if (value == nullptr) return "nullptr";
        if (type >= vtl_type::array && type < vtl_type::shader) {
            const auto* array = static_cast<const vtlArray*>(value);
            std::string text = "[" + std::to_string(array->count) + "]";
            const int element = type - vtl_type::array;
            const auto* bytes = static_cast<const unsigned char*>(array->data);
            const std::size_t size = element_size(element);
            for (uint32_t i = 0; i < array->count; ++i) {
                text += " " + value_text(element, bytes + i * size);
            }
            return text;
        }
        const auto* f = static_cast<const float*>(value);
        const auto* d = static_cast<const double*>(value);
        const auto* n = static_cast<const int32_t*>(value);
        switch (type) {
        case vtl_type::color:
            return numf(f[0]) + " " + numf(f[1]) + " " + numf(f[2]);
        case vtl_type::float1:
            return numf(f[0]);
        case vtl_type::double1:
            return num(d[0]);
        case vtl_type::vector:
            return num(d[0]) + " " + num(d[1]) + " " + num(d[2]);
        case vtl_type::integer:
        case vtl_type::boolean:
        case vtl_type::shader_id:
            return std::to_string(n[0]);
        case vtl_type::matrix: {
            std::string text;
            for (int i = 0; i < 16; ++i)
                text += (i ? " " : "") + num(d[i]);
            return text;
        }
        case vtl_type::string:
            return quoted(static_cast<const char*>(value));
        case vtl_type::string_ptr:
            return quoted(*static_cast<const char* const*>(value));
        case vtl_type::float2:
            return numf(f[0]) + " " + numf(f[1]);
        case vtl_type::float4b:
            return numf(f[0]) + " " + numf(f[1]) + " " + numf(f[2]) + " " + numf(f[3]);
        case vtl_type::shader:
            return handle(*static_cast<const vtlShader*>(value));
        default:
            return "?";
        }
    }

    static std::string type_text(int type) {
        return type >= vtl_type::array ? fmt("0x%x", type) : std::to_string(type);
    }

    void reserved_1() override { add("reserved_1"); }
    bool begin_group(const char* name, bool inline_group) override {
        return add("begin_group " + quoted(name) + " " + std::to_string(inline_group));
    }
    void end_group() override { add("end_group"); }
    bool begin_object(const char* name, bool inline_object) override {
        return add("begin_object " + quoted(name) + " " + std::to_string(inline_object));
    }
    void end_object() override { add("end_object"); }
    bool begin_geometry(const char* type) override { return add("begin_geometry " + quoted(type)); }
    void end_geometry() override { add("end_geometry"); }
    bool begin_animation(const char* kind, const char* name) override {
        return add("begin_animation " + quoted(kind) + " " + quoted(name));
    }
    bool end_animation() override { return add("end_animation"); }
    bool begin_load(const char* module) override { return add("begin_load " + quoted(module)); }
    void end_load() override { add("end_load"); }
    bool begin_options() override { return add("begin_options"); }
    void end_options() override { add("end_options"); }
    bool begin_camera(const char* name) override { return add("begin_camera " + quoted(name)); }
    void end_camera() override { add("end_camera"); }
    bool begin_image() override { return add("begin_image"); }
    void end_image() override { add("end_image"); }
    bool begin_output(const char* a, const char* b, const char* c) override {
        return add("begin_output " + quoted(a) + " " + quoted(b) + " " + quoted(c));
    }
    void end_output() override { add("end_output"); }
    bool begin_light(const char* name) override { return add("begin_light " + quoted(name)); }
    void end_light() override { add("end_light"); }
    bool begin_accel(const char* name) override { return add("begin_accel " + quoted(name)); }
    void end_accel() override { add("end_accel"); }
    void transform(const vtlMatrix& m) override {
        add("transform " + value_text(vtl_type::matrix, &m));
    }
    void set_transform(const vtlMatrix& m) override {
        add("set_transform " + value_text(vtl_type::matrix, &m));
    }
    void scale(const double& x, const double& y, const double& z) override {
        add("scale " + num(x) + " " + num(y) + " " + num(z));
    }
    void rotate(const double& x, const double& y, const double& z) override {
        add("rotate " + num(x) + " " + num(y) + " " + num(z));
    }
    void translate(const double& x, const double& y, const double& z) override {
        add("translate " + num(x) + " " + num(y) + " " + num(z));
    }
    bool begin_matrix(const char* name) override { return add("begin_matrix " + quoted(name)); }
    void end_matrix() override { add("end_matrix"); }
    bool begin_material(const char* name, bool inline_material) override {
        return add("begin_material " + quoted(name) + " " + std::to_string(inline_material));
    }
    bool use_material(const char* name) override { return add("use_material " + quoted(name)); }
    void end_material() override { add("end_material"); }
    void set_shader(int kind, vtlShader shader) override {
        add("set_shader " + std::to_string(kind) + " " + handle(shader));
    }
    void set_shader_id(int kind, int id) override {
        add("set_shader_id " + std::to_string(kind) + " " + std::to_string(id));
    }
    bool begin_shader(const char* name, const char* type) override {
        shader_stack_.push_back(current_);
        if (name == nullptr) current_ = ++anonymous_count_;
        return add("begin_shader " + quoted(name) + " " + quoted(type));
    }
    bool define_shader(const char* type, int id) override {
        shader_stack_.push_back(current_);
        return add("define_shader " + quoted(type) + " " + std::to_string(id));
    }
    void end_shader() override {
        if (!shader_stack_.empty()) shader_stack_.pop_back();
        add("end_shader");
    }
    vtlShader get_shader() override {
        const vtlShader shader = reinterpret_cast<vtlShader>(current_);
        add("get_shader -> " + handle(shader));
        return shader;
    }
    void push_shader() override {
        shader_stack_.push_back(current_);
        add("push_shader");
    }
    void pop_shader() override {
        current_ = 0;
        if (!shader_stack_.empty()) {
            current_ = shader_stack_.back();
            shader_stack_.pop_back();
        }
        add("pop_shader");
    }
    bool set_parameter(const char* name, int type, const void* value) override {
        return add("set_parameter " + quoted(name) + " " + type_text(type) + " " +
                   value_text(type, value));
    }
    bool set_parameter_id(const char* name, int id) override {
        return add("set_parameter_id " + quoted(name) + " " + std::to_string(id));
    }
    bool set_parameter_shader(const char* name, vtlShader shader) override {
        return add("set_parameter_shader " + quoted(name) + " " + handle(shader));
    }
    bool begin_array(const char* name) override { return add("begin_array " + quoted(name)); }
    void end_array() override { add("end_array"); }
    void add_array_element(int type, const void* value) override {
        add("add_array_element " + type_text(type) + " " + value_text(type, value));
    }
    int reserved_51() override { return 0; }
    int reserved_52(const char*) override { return 0; }
    int reserved_53() override { return 0; }
    void set_attribute(const char* key, const char* value) override {
        add("set_attribute " + quoted(key) + " " + quoted(value));
    }
    void write_raw(const char* text) override { add("write_raw " + quoted(text)); }
    void set_writer_flags(unsigned flags) override {
        add("set_writer_flags " + std::to_string(flags));
    }
    void set_version(int version) override { add("set_version " + std::to_string(version)); }
    void reserved_58(bool) override {}
    void set_progress(const char* name, float fraction) override {
        add("set_progress " + quoted(name) + " " + numf(fraction));
    }
    void set_icon(const void*, unsigned size) override { add("set_icon " + std::to_string(size)); }
    void set_data(const char* name, const void*, unsigned size) override {
        add("set_data " + quoted(name) + " " + std::to_string(size));
    }
    void set_id(unsigned id) override { add("set_id " + std::to_string(id)); }
    void set_flags(unsigned flags) override { add("set_flags " + std::to_string(flags)); }
    bool reserved_64() override { return false; }
    bool render() override { return add("render"); }
    void print(const char* text) override { add("print " + quoted(text)); }
    void error(const char* text) override { add("error " + quoted(text)); }

    // What the bool operations answer.
    bool accept = true;

private:
    bool add(std::string line) {
        calls.push_back(std::move(line));
        return accept;
    }

    template <typename... Args> static std::string fmt(const char* format, Args... args) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, format, args...);
        return buffer;
    }

    static std::size_t element_size(int type) {
        switch (type) {
        case vtl_type::color:
            return 12;
        case vtl_type::float4:
        case vtl_type::float4b:
            return 16;
        case vtl_type::double1:
            return 8;
        case vtl_type::vector:
            return 24;
        case vtl_type::matrix:
            return 128;
        case vtl_type::string_ptr:
        case vtl_type::string:
            return sizeof(const char*);
        default:
            return 4;
        }
    }

    std::uintptr_t current_ = 0;
    std::uintptr_t anonymous_count_ = 0;
    std::vector<std::uintptr_t> shader_stack_;
};

// A front over a recording back-end, with the start-up lines (banner, version) already
// removed from the record.
struct RecordedFront {
    RecordingApi api;
    vtl::PassThroughFactory factory{&api};
    vtl::vtlSceneapi_oo oo{&factory};

    RecordedFront() { api.calls.clear(); }
};

} // namespace vtl_test

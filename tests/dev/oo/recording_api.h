#pragma once
// A scene API back-end for the checks the Scene file cannot make: which of the calls that write
// the same text comes first, whether the shader stack ends where it began, and the numbers the
// front's counters send. It records one line per call of the start-up, the counters and the
// shader operations (parameters by name and type code) and ignores the rest. Anonymous shaders
// are numbered in the order they open ("shader#1", ...; "shader#0" is the null handle) and follow
// the writer's current-shader rules: an anonymous shader becomes current when it opens,
// end_shader leaves the closed one current, pop_shader restores a pushed handle.

#include "dev/factory/pass_through_factory.h"
#include "dev/vtlsceneapi_oo.h"
#include "file_api/null_api.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vtl_test {

class RecordingApi : public NullApi {
public:
    std::vector<std::string> calls;
    // What begin_animation and end_animation answer.
    bool accept = true;

    // All recorded lines joined with line feeds, for readable failure output.
    std::string text() const {
        std::string all;
        for (const std::string& call : calls)
            all += call + "\n";
        return all;
    }

    // Handles saved by begin_shader, define_shader and push_shader and not yet taken back.
    std::size_t shader_depth() const { return shader_stack_.size(); }

    static std::string handle(vtlShader s) {
        return "shader#" + std::to_string(reinterpret_cast<std::uintptr_t>(s));
    }

    bool begin_animation(const char*, const char*) override { return accept; }
    bool end_animation() override { return accept; }
    void set_shader(int kind, vtlShader shader) override {
        add("set_shader " + std::to_string(kind) + " " + handle(shader));
    }
    bool begin_shader(const char* name, const char* type) override {
        shader_stack_.push_back(current_);
        if (name == nullptr) current_ = ++anonymous_count_;
        return add("begin_shader " + std::string(type));
    }
    bool define_shader(const char* type, int id) override {
        shader_stack_.push_back(current_);
        return add("define_shader " + std::string(type) + " " + std::to_string(id));
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
    bool set_parameter(const char* name, int type, const void*) override {
        return add("set_parameter " + std::string(name) + " " + std::to_string(type));
    }
    bool set_parameter_shader(const char* name, vtlShader shader) override {
        return add("set_parameter_shader " + std::string(name) + " " + handle(shader));
    }
    void set_version(int version) override { add("set_version " + std::to_string(version)); }
    void set_id(unsigned id) override { add("set_id " + std::to_string(id)); }
    void print(const char* text) override { add("print " + std::string(text)); }

private:
    bool add(std::string line) {
        calls.push_back(std::move(line));
        return true;
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

#pragma once
// The back-end that accepts every call and writes nothing: a destination that discards a scene.

#include "file_api/vtlscene_api.h"

class NullApi : public vtlScene_api {
public:
    void reserved_1() override {}
    bool begin_group(const char*, bool) override { return false; }
    void end_group() override {}
    bool begin_object(const char*, bool) override { return false; }
    void end_object() override {}
    bool begin_geometry(const char*) override { return false; }
    void end_geometry() override {}
    bool begin_animation(const char*, const char*) override { return false; }
    bool end_animation() override { return false; }
    bool begin_load(const char*) override { return false; }
    void end_load() override {}
    bool begin_options() override { return false; }
    void end_options() override {}
    bool begin_camera(const char*) override { return false; }
    void end_camera() override {}
    bool begin_image() override { return false; }
    void end_image() override {}
    bool begin_output(const char*, const char*, const char*) override { return false; }
    void end_output() override {}
    bool begin_light(const char*) override { return false; }
    void end_light() override {}
    bool begin_accel(const char*) override { return false; }
    void end_accel() override {}
    void transform(const vtlMatrix&) override {}
    void set_transform(const vtlMatrix&) override {}
    void scale(const double&, const double&, const double&) override {}
    void rotate(const double&, const double&, const double&) override {}
    void translate(const double&, const double&, const double&) override {}
    bool begin_matrix(const char*) override { return false; }
    void end_matrix() override {}
    bool begin_material(const char*, bool) override { return false; }
    bool use_material(const char*) override { return false; }
    void end_material() override {}
    void set_shader(int, vtlShader) override {}
    void set_shader_id(int, int) override {}
    bool begin_shader(const char*, const char*) override { return false; }
    bool define_shader(const char*, int) override { return false; }
    void end_shader() override {}
    vtlShader get_shader() override { return nullptr; }
    void push_shader() override {}
    void pop_shader() override {}
    bool set_parameter(const char*, int, const void*) override { return false; }
    bool set_parameter_id(const char*, int) override { return false; }
    bool set_parameter_shader(const char*, vtlShader) override { return false; }
    bool begin_array(const char*) override { return false; }
    void end_array() override {}
    void add_array_element(int, const void*) override {}
    int reserved_51() override { return 0; }
    int reserved_52(const char*) override { return 0; }
    int reserved_53() override { return 0; }
    void set_attribute(const char*, const char*) override {}
    void write_raw(const char*) override {}
    void set_writer_flags(unsigned) override {}
    void set_version(int) override {}
    void reserved_58(bool) override {}
    void set_progress(const char*, float) override {}
    void set_icon(const void*, unsigned) override {}
    void set_data(const char*, const void*, unsigned) override {}
    void set_id(unsigned) override {}
    void set_flags(unsigned) override {}
    bool reserved_64() override { return false; }
    bool render() override { return false; }
    void print(const char*) override {}
    void error(const char*) override {}
};

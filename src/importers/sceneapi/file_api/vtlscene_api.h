#pragma once
// The abstract scene description interface every scene goes through, and the value types that
// cross it. Back-ends: the Scene file writer, NullApi and the Live library's scene API.

#include <cstdint>

// Three 64-bit floats: positions and directions.
struct vtlVector {
    double x, y, z;
};

// Three 32-bit floats, red, green, blue; also indexable by component number 0..2.
struct vtlColor {
    float r, g, b;

    float& operator[](int i) { return i == 0 ? r : (i == 1 ? g : b); }
    const float& operator[](int i) const { return i == 0 ? r : (i == 1 ? g : b); }
};

// 4 rows of 4 64-bit floats stored row after row; consumers read the 16 values in storage order.
struct vtlMatrix {
    double m[4][4];

    const double* data() const { return &m[0][0]; }
    double* data() { return &m[0][0]; }
};

// Opaque handle to a shader captured by a back-end; null means no shader.
typedef struct vtlShader_t* vtlShader;

// The value of every array parameter: address of the first element, then the element count.
struct vtlArray {
    const void* data;
    uint32_t count;
};

// Parameter type codes: what the value pointer of set_parameter / add_array_element points at.
namespace vtl_type {
constexpr int color = 1;             // vtlColor
constexpr int float4 = 2;            // 4 floats
constexpr int float1 = 3;            // one float
constexpr int double1 = 4;           // one double
constexpr int vector = 5;            // vtlVector
constexpr int integer = 6;           // one 32-bit int
constexpr int boolean = 7;           // one 32-bit int read as a truth value
constexpr int material_internal = 8; // ignored by back-ends
constexpr int matrix = 9;            // vtlMatrix
constexpr int string = 10;           // the characters of a NUL-terminated string
constexpr int undefined11 = 11;      // no defined meaning
constexpr int sub_shader = 12;       // ignored by back-ends
constexpr int string_ptr = 13;       // a const char* to a NUL-terminated string
constexpr int float2 = 14;           // 2 floats
constexpr int float4b = 15;          // 4 floats
constexpr int int2 = 16;             // 2 ints
constexpr int int3 = 17;             // 3 ints
constexpr int int4 = 18;             // 4 ints
constexpr int material_internal19 = 19;
constexpr int shader_id = 23; // number of a numbered shader
constexpr int material_internal_2000 = 0x2000;
constexpr int material_internal_4000 = 0x4000;
constexpr int array = 0x8000;   // array flag: 0x8000 + element type, value is a vtlArray
constexpr int shader = 0x10000; // a vtlShader handle

constexpr int array_of(int element_type) {
    return array + element_type;
}
} // namespace vtl_type

// The scene API: a flat, stateful stream of calls in document order. The slot order of the
// virtual operations is fixed (the Live library implements the same table).
class vtlScene_api {
public:
    virtual ~vtlScene_api() = default;                                    // 0
    virtual void reserved_1() = 0;                                        // 1: no effect
    virtual bool connect(const char* host, int port, int attempts);       // 2: live link only
    virtual bool disconnect();                                            // 3: live link only
    virtual bool request(void* a, void* b, void* c);                      // 4: live link only
    virtual bool begin_group(const char* name, bool inline_group) = 0;    // 5: open a group
    virtual void end_group() = 0;                                         // 6
    virtual bool begin_object(const char* name, bool inline_object) = 0;  // 7: open an object
    virtual void end_object() = 0;                                        // 8
    virtual bool begin_geometry(const char* type) = 0;                    // 9: object geometry
    virtual void end_geometry() = 0;                                      // 10
    virtual bool begin_animation(const char* kind, const char* name) = 0; // 11
    virtual bool end_animation() = 0;                                     // 12
    virtual bool begin_load(const char* module) = 0;                      // 13: import options
    virtual void end_load() = 0;                                          // 14
    virtual bool begin_options() = 0;                                     // 15: top level
    virtual void end_options() = 0;                                       // 16
    virtual bool begin_camera(const char* name) = 0;                      // 17: top level
    virtual void end_camera() = 0;                                        // 18
    virtual bool begin_image() = 0;                                       // 19: top level
    virtual void end_image() = 0;                                         // 20
    virtual bool begin_output(const char* a, const char* b, const char* c) = 0;    // 21: in image
    virtual void end_output() = 0;                                                 // 22
    virtual bool begin_light(const char* name) = 0;                                // 23
    virtual void end_light() = 0;                                                  // 24
    virtual bool begin_accel(const char* name) = 0;                                // 25
    virtual void end_accel() = 0;                                                  // 26
    virtual void transform(const vtlMatrix& m) = 0;                                // 27: multiply
    virtual void set_transform(const vtlMatrix& m) = 0;                            // 28: replace
    virtual void scale(const double& x, const double& y, const double& z) = 0;     // 29
    virtual void rotate(const double& x, const double& y, const double& z) = 0;    // 30
    virtual void translate(const double& x, const double& y, const double& z) = 0; // 31
    virtual bool begin_matrix(const char* name) = 0;                               // 32
    virtual void end_matrix() = 0;                                                 // 33
    virtual bool begin_material(const char* name, bool inline_material) = 0;       // 34
    virtual bool use_material(const char* name) = 0;                               // 35: reference
    virtual void end_material() = 0;                                               // 36
    virtual void set_shader(int kind, vtlShader shader) = 0;           // 37: captured shader
    virtual void set_shader_id(int kind, int id) = 0;                  // 38: numbered shader
    virtual bool begin_shader(const char* name, const char* type) = 0; // 39
    virtual bool define_shader(const char* type, int id) = 0;          // 40
    virtual void end_shader() = 0;                                     // 41
    virtual vtlShader get_shader() = 0;                                // 42: current shader
    virtual void push_shader() = 0;                                    // 43
    virtual void pop_shader() = 0;                                     // 44
    virtual bool set_parameter(const char* name, int type, const void* value) = 0; // 45
    virtual bool set_parameter_id(const char* name, int id) = 0;                   // 46
    virtual bool set_parameter_shader(const char* name, vtlShader shader) = 0;     // 47
    virtual bool begin_array(const char* name) = 0;                                // 48
    virtual void end_array() = 0;                                                  // 49
    virtual void add_array_element(int type, const void* value) = 0;               // 50
    virtual int reserved_51() = 0;                                                 // 51
    virtual int reserved_52(const char* text) = 0;                                 // 52
    virtual int reserved_53() = 0;                                                 // 53
    virtual void set_attribute(const char* key, const char* value) = 0;            // 54
    virtual void write_raw(const char* text) = 0;                                  // 55: text as is
    virtual void set_writer_flags(unsigned flags) = 0;                             // 56
    virtual void set_version(int version) = 0;                                     // 57
    virtual void reserved_58(bool flag) = 0;                                       // 58
    virtual void set_progress(const char* name, float fraction) = 0;               // 59
    virtual void set_icon(const void* data, unsigned size) = 0;                    // 60
    virtual void set_data(const char* name, const void* data, unsigned size) = 0;  // 61
    virtual void set_id(unsigned id) = 0;                                          // 62
    virtual void set_flags(unsigned flags) = 0;                                    // 63
    virtual bool reserved_64() = 0;                                                // 64
    virtual bool render() = 0;                                                     // 65
    virtual void print(const char* text) = 0;                                      // 66
    virtual void error(const char* text) = 0;                                      // 67
};

inline bool vtlScene_api::connect(const char*, int, int) {
    return false;
}
inline bool vtlScene_api::disconnect() {
    return false;
}
inline bool vtlScene_api::request(void*, void*, void*) {
    return false;
}

#pragma once
// The back-end that turns the scene API call stream into the text Scene file.

#include "file_api/chunk_pipeline.h"
#include "file_api/scene_text.h"
#include "file_api/text_piece.h"
#include "file_api/vtlscene_api.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The text of one anonymous shader, captured while it is written and placed where it is used.
struct vtlShader_t {
    std::string text;
    bool byte_counted = false; // a byte-counted write went in: place it byte for byte
};

class vtlScene_api_file : public vtlScene_api {
public:
    // Writer flag that switches indentation off.
    static constexpr unsigned kFlagNoIndent = 0x400000;
    // Writer flag that mirrors binary arrays.
    static constexpr unsigned kFlagBinaryArrays = 0x2;
    // Writer flags of a new writer.
    static constexpr unsigned kInitialFlags = 0x400001;
    // Object flag that would write an object as invisible.
    static constexpr uint32_t kObjectInvisible = 0x4000;

    // Writes into `output` (not owned); the numeric locale is "C" while any writer exists.
    vtlScene_api_file(FILE* output, bool binary_arrays);
    // Frees every captured shader, and gives the host's numeric locale back when it is the last
    // writer; leaves the stream open.
    ~vtlScene_api_file() override;
    vtlScene_api_file(const vtlScene_api_file&) = delete;
    vtlScene_api_file& operator=(const vtlScene_api_file&) = delete;

    void reserved_1() override {}
    bool connect(const char*, int, int) override { return false; }
    bool disconnect() override { return false; }
    bool request(void*, void*, void*) override { return false; }
    bool begin_group(const char* name, bool inline_group) override;
    void end_group() override;
    bool begin_object(const char* name, bool inline_object) override;
    void end_object() override;
    bool begin_geometry(const char* type) override;
    void end_geometry() override;
    bool begin_animation(const char* kind, const char* name) override;
    bool end_animation() override;
    bool begin_load(const char* module) override;
    void end_load() override;
    bool begin_options() override;
    void end_options() override;
    bool begin_camera(const char* name) override;
    void end_camera() override;
    bool begin_image() override;
    void end_image() override;
    bool begin_output(const char* a, const char* b, const char* c) override;
    void end_output() override;
    bool begin_light(const char* name) override;
    void end_light() override;
    bool begin_accel(const char* name) override;
    void end_accel() override;
    void transform(const vtlMatrix& m) override;
    void set_transform(const vtlMatrix& m) override;
    void scale(const double& x, const double& y, const double& z) override;
    void rotate(const double& x, const double& y, const double& z) override;
    void translate(const double& x, const double& y, const double& z) override;
    bool begin_matrix(const char* name) override;
    void end_matrix() override;
    bool begin_material(const char* name, bool inline_material) override;
    bool use_material(const char* name) override;
    void end_material() override;
    void set_shader(int kind, vtlShader shader) override;
    void set_shader_id(int kind, int id) override;
    bool begin_shader(const char* name, const char* type) override;
    bool define_shader(const char* type, int id) override;
    void end_shader() override;
    vtlShader get_shader() override { return current_shader_; }
    void push_shader() override { shader_stack_.push_back(current_shader_); }
    void pop_shader() override { current_shader_ = pop(shader_stack_); }
    bool set_parameter(const char* name, int type, const void* value) override;
    bool set_parameter_id(const char* name, int id) override;
    bool set_parameter_shader(const char* name, vtlShader shader) override;
    bool begin_array(const char* name) override;
    void end_array() override;
    void add_array_element(int type, const void* value) override;
    int reserved_51() override { return 10; }
    int reserved_52(const char*) override { return 10; }
    int reserved_53() override { return 0; }
    void set_attribute(const char* key, const char* value) override;
    void write_raw(const char* text) override;
    void set_writer_flags(unsigned flags) override;
    void set_version(int version) override;
    void reserved_58(bool) override {}
    void set_progress(const char* name, float fraction) override;
    void set_icon(const void* data, unsigned size) override;
    void set_data(const char* name, const void* data, unsigned size) override;
    void set_id(unsigned id) override;
    void set_flags(unsigned flags) override;
    bool reserved_64() override { return false; }
    bool render() override;
    void print(const char* text) override;
    void error(const char* text) override;

    // Opens a camera block that modifies an existing camera; refused like begin_camera.
    virtual bool modify_camera(const char* name);

    // How whole numeric text arrays are formatted on several threads. An array of at least
    // `min_values` numbers (elements times their numbers) is cut into chunks of about
    // `chunk_bytes` of text, formatted by up to `threads` threads (the calling thread among
    // them) and written in order while the next chunks are formatted; the text is the same
    // as with one thread. The threads exist only while such an array is written.
    struct ArrayThreading {
        unsigned threads;       // 1: everything on the calling thread
        std::size_t min_values; // smaller arrays are formatted on the calling thread
        std::size_t chunk_bytes;
    };
    // Arrays of fewer numbers stay on the calling thread: below it an array is a few hundred
    // microseconds of formatting or less, where starting and joining threads (tens of
    // microseconds each) take a visible share. Measured with bench/export_bench: on 2 cores the
    // 100,352-triangle mesh (arrays of 101,250 to 301,056 numbers) exports 1.8x faster with
    // this threshold, 1.35x with 196,608.
    static constexpr std::size_t kThreadedMinValues = 65536;
    static constexpr std::size_t kChunkBytes = 192 * 1024;
    // A new writer takes vtl::chunk_pipeline::default_threads() (SCENEAPI_THREADS overrides it).
    void set_array_threading(const ArrayThreading& threading) { threading_ = threading; }
    const ArrayThreading& array_threading() const { return threading_; }

private:
    enum Mode : unsigned {
        kModeNone = 0,
        kModeOptions = 1,
        kModeCamera = 2,
        kModeImage = 3,
        kModeObject = 4
    };

    // Output primitives: every byte of the file goes through these.
    void put(const char* text, std::size_t n); // indentation first and after inner line feeds
    void put_indented(const char* text, std::size_t n); // the same without the cut of a piece
    void put(const char* text);
    void put(const TextPiece& piece);
    void put_plain(const char* text, std::size_t n); // no indentation
    void put_plain(const char* text);
    void put_plain(const TextPiece& piece);
    void put_bytes(const void* data, std::size_t n); // byte-counted, never indented
    void put_string(const char* s);                  // quoted or in the "xX" hex form
    void put_name(const char* s);                    // put_string without indentation
    void put_shader(vtlShader shader);               // a captured shader's text
    void put_blob(const void* data, std::size_t n);  // "bX" and hex digits
    void put_indent();                               // the indentation alone
    void emit(const char* data, std::size_t n);      // to the shader record or the stream
    void put_hex(const char* prefix, const unsigned char* data, std::size_t n);

    // Values.
    void put_value(int type, const void* value);
    void put_array(int element_type, const vtlArray& array);
    void put_array_text(int element_type, const vtlArray& array);
    // Numeric elements [0, n) on several threads; false when the array stays on this thread.
    template <typename Element>
    bool put_elements_threaded(const Element& element, uint32_t n, std::size_t values_per_element,
                               std::size_t max_element_chars);
    void put_binary_block(char marker, uint32_t count, const void* data, std::size_t bytes);
    void put_matrix_statement(const char* keyword, const vtlMatrix& m);
    void put_vector_statement(const char* keyword, double x, double y, double z);
    void put_message(const char* open, const char* text);
    // A new output piece in the format buffer.
    TextPiece piece() { return TextPiece(format_buffer_.get(), vtl::scene_text::kMaxPiece); }
    void open_block(const char* keyword, const char* name); // keyword, name, " {", one level in
    void open_styled_block(const char* keyword, const char* name, bool style); // saves the style
    void close_block();                                                        // one level out, "}"
    void close_styled_block(); // and restores the style
    bool begin_top_level(Mode mode);
    void end_top_level(Mode mode);
    void push_style() { style_stack_.push_back(block_style_); }
    void pop_style() { block_style_ = pop(style_stack_); }
    void indent_more() { ++indentation_; }
    void indent_less() { --indentation_; }
    unsigned indent_width() const;

    template <typename T> static T pop(std::vector<T>& stack) {
        if (stack.empty()) return T();
        T value = stack.back();
        stack.pop_back();
        return value;
    }

    std::vector<int32_t> saved_indentation_;
    std::vector<std::unique_ptr<vtlShader_t>> shader_registry_;
    std::vector<vtlShader> shader_stack_;
    std::vector<bool> capture_stack_;
    std::vector<bool> style_stack_;
    bool capturing_ = false;
    vtlShader current_shader_ = nullptr;
    FILE* output_;
    uint32_t object_flags_ = 0;
    int32_t indentation_ = 0;
    int32_t element_count_ = 0;
    bool block_style_ = false;
    unsigned mode_ = kModeNone;
    bool binary_arrays_;
    char element_marker_ = 'f';
    std::vector<uint32_t> element_buffer_;
    unsigned writer_flags_ = kInitialFlags;
    std::unique_ptr<char[]> format_buffer_; // one formatted output piece
    ArrayThreading threading_;
    vtl::chunk_pipeline::ChunkPipeline
        pipeline_; // chunk buffers of threaded arrays, kept for reuse
};

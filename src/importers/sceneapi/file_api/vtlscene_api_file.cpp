#include "file_api/vtlscene_api_file.h"

#include <clocale>
#include <cstring>

using namespace vtl::scene_text;

namespace {

// Writes to a stream without taking its lock for every piece: one thread drives a writer.
inline void write_stream(FILE* out, const void* data, std::size_t n) {
    if (!out || n == 0) return;
#if defined(__GLIBC__)
    fwrite_unlocked(data, 1, n, out);
#else
    std::fwrite(data, 1, n, out);
#endif
}

const char* safe(const char* s) {
    return s ? s : "";
}

// The host's numeric locale, saved by the first writer that comes into being and given back by
// the last that goes, however writers nest and in whatever order they end.
struct NumericLocale {
    int writers = 0;
    std::string host;
};
NumericLocale& numeric_locale() {
    static NumericLocale locale;
    return locale;
}

// The keyword that attaches a shader of this kind (surface, shadow, volume, reflection map); null
// for any other kind.
const char* shader_keyword(int kind) {
    static constexpr const char* const keywords[4] = {"surface", "shadow", "volume",
                                                      "reflection map"};
    return kind >= 0 && kind <= 3 ? keywords[kind] : nullptr;
}

constexpr char kBlanks[] = "                                                                ";
constexpr std::size_t kBlankRun = sizeof(kBlanks) - 1;

} // namespace

vtlScene_api_file::vtlScene_api_file(FILE* output, bool binary_arrays)
    : output_(output), binary_arrays_(binary_arrays),
      format_buffer_(new char[kMaxPiece + 2]), threading_{vtl::chunk_pipeline::default_threads(),
                                                          kThreadedMinValues, kChunkBytes} {
    NumericLocale& locale = numeric_locale();
    if (locale.writers++ == 0) {
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        locale.host = current ? current : "";
        std::setlocale(LC_NUMERIC, "C");
    }
    shader_stack_.reserve(32);
    saved_indentation_.reserve(32);
    capture_stack_.reserve(32);
    style_stack_.reserve(32);
}

vtlScene_api_file::~vtlScene_api_file() {
    NumericLocale& locale = numeric_locale();
    if (--locale.writers == 0 && !locale.host.empty())
        std::setlocale(LC_NUMERIC, locale.host.c_str());
}

// ---------------------------------------------------------------------------------------------
// Output primitives

unsigned vtlScene_api_file::indent_width() const {
    if ((writer_flags_ & kFlagNoIndent) || indentation_ <= 0) return 0;
    return static_cast<unsigned>(indentation_);
}

void vtlScene_api_file::emit(const char* data, std::size_t n) {
    if (n == 0) return;
    if (capturing_ && current_shader_) {
        current_shader_->text.append(data, n);
        return;
    }
    write_stream(output_, data, n);
}

void vtlScene_api_file::put_indent() {
    for (unsigned left = indent_width(); left > 0;) {
        unsigned run = left < kBlankRun ? left : static_cast<unsigned>(kBlankRun);
        emit(kBlanks, run);
        left -= run;
    }
}

void vtlScene_api_file::put(const char* text, std::size_t n) {
    put_indented(text, n < kMaxPiece ? n : kMaxPiece);
}

void vtlScene_api_file::put_indented(const char* text, std::size_t n) {
    put_indent();
    if (indent_width() == 0) {
        emit(text, n);
        return;
    }
    // The indentation again after every line feed that has more text of this call behind it.
    const char* p = text;
    const char* end = text + n;
    while (p < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf || lf + 1 == end) {
            emit(p, static_cast<std::size_t>(end - p));
            return;
        }
        emit(p, static_cast<std::size_t>(lf + 1 - p));
        put_indent();
        p = lf + 1;
    }
}

void vtlScene_api_file::put(const char* text) {
    text = safe(text);
    // Only the first kMaxPiece characters are looked at, as a full format buffer would hold.
    put(text, strnlen(text, kMaxPiece));
}

void vtlScene_api_file::put(const TextPiece& piece) {
    put(piece.data(), piece.size());
}

void vtlScene_api_file::put_plain(const char* text, std::size_t n) {
    if (capturing_ && n > kMaxPiece) n = kMaxPiece;
    emit(text, n);
}

void vtlScene_api_file::put_plain(const char* text) {
    text = safe(text);
    put_plain(text, std::strlen(text));
}

void vtlScene_api_file::put_plain(const TextPiece& piece) {
    put_plain(piece.data(), piece.size());
}

void vtlScene_api_file::put_bytes(const void* data, std::size_t n) {
    if (capturing_ && current_shader_) current_shader_->byte_counted = true;
    emit(static_cast<const char*>(data), n);
}

void vtlScene_api_file::put_hex(const char* prefix, const unsigned char* data, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    char chunk[4096];
    std::size_t used = std::strlen(prefix);
    std::memcpy(chunk, prefix, used);
    for (std::size_t i = 0; i < n; ++i) {
        if (used + 2 > sizeof chunk) {
            put_bytes(chunk, used);
            used = 0;
        }
        chunk[used++] = digits[data[i] >> 4];
        chunk[used++] = digits[data[i] & 0xf];
    }
    put_bytes(chunk, used);
}

void vtlScene_api_file::put_string(const char* s) {
    s = safe(s);
    std::size_t n = std::strlen(s);
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\r' || c == '\n' || c >= 0x80) {
            put_hex("xX", reinterpret_cast<const unsigned char*>(s), n);
            return;
        }
    }
    // Like every formatted piece, a quoted name is cut after kMaxPiece characters: a name of
    // kMaxPiece - 1 bytes or more keeps its first kMaxPiece - 1 bytes and no closing quote.
    put(piece().ch('"').text(s, n).ch('"'));
}

void vtlScene_api_file::put_name(const char* s) {
    int32_t saved = indentation_;
    indentation_ = 0;
    put_string(s);
    indentation_ = saved;
}

void vtlScene_api_file::put_shader(vtlShader shader) {
    if (!shader) return;
    if (shader->byte_counted) {
        // Copy first: the record may be the one being captured into.
        std::string text = shader->text;
        put_bytes(text.data(), text.size());
    } else {
        std::string text(shader->text.c_str()); // the text up to its first NUL, as "%s" reads it
        put(text.data(), text.size());          // one formatted piece: cut like any other
    }
}

void vtlScene_api_file::put_blob(const void* data, std::size_t n) {
    if (!data) n = 0;
    put_hex("bX", static_cast<const unsigned char*>(data), n);
}

// ---------------------------------------------------------------------------------------------
// Blocks

void vtlScene_api_file::open_block(const char* keyword, const char* name) {
    put(keyword);
    put_name(name);
    put_plain(" {\n");
    indent_more();
}

void vtlScene_api_file::open_styled_block(const char* keyword, const char* name, bool style) {
    open_block(keyword, name);
    push_style();
    block_style_ = style;
}

void vtlScene_api_file::close_block() {
    indent_less();
    put("}\n");
}

void vtlScene_api_file::close_styled_block() {
    close_block();
    pop_style();
}

bool vtlScene_api_file::begin_group(const char* name, bool inline_group) {
    put_plain("\n");
    if (!inline_group) put("#define ");
    open_styled_block("group ", name, true);
    return true;
}

void vtlScene_api_file::end_group() {
    close_styled_block();
}

bool vtlScene_api_file::begin_object(const char* name, bool inline_object) {
    open_styled_block(inline_object ? "object " : "#define object ", name, true);
    mode_ = kModeObject;
    object_flags_ = 0;
    return true;
}

void vtlScene_api_file::end_object() {
    pop_style();
    mode_ = kModeNone;
    if (object_flags_ & kObjectInvisible) put("invisible on\n");
    close_block();
}

bool vtlScene_api_file::begin_geometry(const char* type) {
    open_styled_block("geometry ", type, false);
    return true;
}

void vtlScene_api_file::end_geometry() {
    close_styled_block();
}

bool vtlScene_api_file::begin_animation(const char* kind, const char* name) {
    put("animation ");
    put_name(kind);
    put(" ");
    put_name(name);
    put_plain(" {\n");
    indent_more();
    push_style();
    block_style_ = false;
    return true;
}

bool vtlScene_api_file::end_animation() {
    close_styled_block();
    return false;
}

bool vtlScene_api_file::begin_load(const char* module) {
    open_block("load ", module);
    return true;
}

void vtlScene_api_file::end_load() {
    close_block();
}

bool vtlScene_api_file::begin_top_level(Mode mode) {
    if (mode_ != kModeNone) return false;
    capturing_ = false;
    block_style_ = true;
    mode_ = mode;
    return true;
}

void vtlScene_api_file::end_top_level(Mode mode) {
    if (mode_ == mode) close_block();
    block_style_ = false;
    mode_ = kModeNone;
}

bool vtlScene_api_file::begin_options() {
    if (!begin_top_level(kModeOptions)) return false;
    put("\noptions {\n");
    indent_more();
    return true;
}

void vtlScene_api_file::end_options() {
    end_top_level(kModeOptions);
}

bool vtlScene_api_file::begin_camera(const char* name) {
    if (!begin_top_level(kModeCamera)) return false;
    if (name) {
        open_block("\ncamera ", name);
    } else {
        put("\ncamera {\n");
        indent_more();
    }
    return true;
}

void vtlScene_api_file::end_camera() {
    end_top_level(kModeCamera);
}

bool vtlScene_api_file::modify_camera(const char* name) {
    // Refused, with nothing written, where begin_camera would be refused.
    if (mode_ != kModeNone) return false;
    put("#modify ");
    return begin_camera(name);
}

bool vtlScene_api_file::begin_image() {
    if (!begin_top_level(kModeImage)) return false;
    put("\nimage {\n");
    indent_more();
    return true;
}

void vtlScene_api_file::end_image() {
    end_top_level(kModeImage);
}

bool vtlScene_api_file::begin_output(const char* a, const char* b, const char* c) {
    block_style_ = false;
    put("output ");
    put_name(a);
    put_plain(" ");
    put_name(b);
    put_plain(" ");
    put_name(c);
    put_plain(" {\n");
    indent_more();
    return true;
}

void vtlScene_api_file::end_output() {
    block_style_ = true;
    close_block();
}

bool vtlScene_api_file::begin_light(const char* name) {
    put_plain("\n");
    open_block("light ", name);
    return true;
}

void vtlScene_api_file::end_light() {
    close_block();
}

bool vtlScene_api_file::begin_accel(const char* name) {
    open_styled_block("\naccel ", name, false);
    return true;
}

void vtlScene_api_file::end_accel() {
    close_styled_block();
}

bool vtlScene_api_file::begin_matrix(const char* name) {
    open_block("#define matrix ", name);
    return true;
}

void vtlScene_api_file::end_matrix() {
    close_block();
}

bool vtlScene_api_file::begin_material(const char* name, bool inline_material) {
    if (!inline_material) put("\n#define ");
    open_block("material ", name);
    return true;
}

bool vtlScene_api_file::use_material(const char* name) {
    put("material ");
    put_name(name);
    put_plain("\n");
    return true;
}

void vtlScene_api_file::end_material() {
    close_block();
}

// ---------------------------------------------------------------------------------------------
// Statements

void vtlScene_api_file::put_matrix_statement(const char* keyword, const vtlMatrix& m) {
    TextPiece p = piece();
    p.text(keyword);
    for (int k = 0; k < 16; ++k)
        p.ch(' ').g(static_cast<float>(m.data()[k]));
    p.ch('\n');
    put(p);
}

void vtlScene_api_file::put_vector_statement(const char* keyword, double x, double y, double z) {
    put(piece().text(keyword).g(x).ch(' ').g(y).ch(' ').g(z).ch('\n'));
}

void vtlScene_api_file::transform(const vtlMatrix& m) {
    put_matrix_statement("transform", m);
}

void vtlScene_api_file::set_transform(const vtlMatrix& m) {
    put_matrix_statement("set transform", m);
}

void vtlScene_api_file::scale(const double& x, const double& y, const double& z) {
    put_vector_statement("scale ", x, y, z);
}

void vtlScene_api_file::rotate(const double& x, const double& y, const double& z) {
    put_vector_statement("rotate ", x, y, z);
}

void vtlScene_api_file::translate(const double& x, const double& y, const double& z) {
    put_vector_statement("translate ", x, y, z);
}

void vtlScene_api_file::set_attribute(const char* key, const char* value) {
    put("attribute ");
    put_name(key);
    put_plain(" ");
    put_name(value);
    put_plain("\n");
}

void vtlScene_api_file::write_raw(const char* text) {
    put(text);
}

void vtlScene_api_file::set_writer_flags(unsigned flags) {
    binary_arrays_ = (flags & kFlagBinaryArrays) != 0;
    writer_flags_ = flags;
}

void vtlScene_api_file::set_version(int version) {
    if (version == -1) version = 8; // "no version given" (all bits set) is written as 8
    put(piece().text("version ").d(version).text("\n\n"));
}

void vtlScene_api_file::set_progress(const char* name, float fraction) {
    put("progress ");
    put_name(name);
    put_plain(piece().ch(' ').fixed3(fraction).text("\n\n"));
}

void vtlScene_api_file::set_icon(const void* data, unsigned size) {
    put("icon ");
    put_blob(data, size);
    put("\n");
}

void vtlScene_api_file::set_data(const char* name, const void* data, unsigned size) {
    put(piece().text(safe(name)).ch(' '));
    put_blob(data, size);
    put("\n");
}

void vtlScene_api_file::set_id(unsigned id) {
    put(piece().text("id ").u(id).ch('\n'));
}

void vtlScene_api_file::set_flags(unsigned flags) {
    put(piece().text("flags ").u(flags).ch('\n'));
}

bool vtlScene_api_file::render() {
    put("\nrender\n");
    return true;
}

void vtlScene_api_file::put_message(const char* open, const char* text) {
    put(open);
    put(text);
    put_plain("\"\n");
}

void vtlScene_api_file::print(const char* text) {
    put_message("#print \"", text);
}

void vtlScene_api_file::error(const char* text) {
    put_message("#error \"", text);
}

// ---------------------------------------------------------------------------------------------
// Shaders and materials

void vtlScene_api_file::set_shader(int kind, vtlShader shader) {
    if (!shader) return;
    if (const char* keyword = shader_keyword(kind)) {
        put(piece().text(keyword).ch(' '));
    } else {
        put("// assuming surface shader\n");
        put("surface ");
    }
    put_shader(shader);
    put("\n");
}

void vtlScene_api_file::set_shader_id(int kind, int id) {
    if (const char* keyword = shader_keyword(kind)) {
        put(keyword);
    } else {
        put("// assuming surface shader\n");
        put("surface ");
    }
    put_plain(piece().ch(' ').d(id).ch('\n'));
}

bool vtlScene_api_file::begin_shader(const char* name, const char* type) {
    capture_stack_.push_back(capturing_);
    shader_stack_.push_back(current_shader_);
    push_style();
    block_style_ = false;
    if (name) {
        capturing_ = false;
        put("#define shader ");
        put_name(name);
        put_plain(" ");
        put_name(type);
        put_plain(" {\n");
    } else {
        shader_registry_.push_back(std::make_unique<vtlShader_t>());
        current_shader_ = shader_registry_.back().get();
        capturing_ = true;
        saved_indentation_.push_back(indentation_);
        indentation_ = 0;
        put_string(type);
        put_plain(" {\n");
    }
    indent_more();
    return true;
}

bool vtlScene_api_file::define_shader(const char* type, int id) {
    capture_stack_.push_back(capturing_);
    shader_stack_.push_back(current_shader_);
    push_style();
    block_style_ = false;
    capturing_ = false;
    put(piece().text("#define shader ").d(id).ch(' ').text(safe(type)).text(" {\n"));
    indent_more();
    return true;
}

void vtlScene_api_file::end_shader() {
    indent_less();
    if (capturing_) {
        put("}");
        indentation_ = pop(saved_indentation_);
    } else {
        put("}\n");
    }
    pop_style();
    pop(shader_stack_);
    capturing_ = pop(capture_stack_);
}

bool vtlScene_api_file::set_parameter_id(const char* name, int id) {
    put_string(name);
    put_plain(piece().text(" ! ").d(id).text(",\n"));
    return true;
}

bool vtlScene_api_file::set_parameter_shader(const char* name, vtlShader shader) {
    put_string(name);
    put_plain(" ! ");
    put_shader(shader);
    put(",\n");
    return true;
}

// How the Scene file writer prints parameter values: single values, whole arrays and arrays
// built element by element, as text or as binary array blocks.

#include "file_api/vtlscene_api_file.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

using namespace vtl::scene_text;

namespace {

// Floats print unchanged only strictly inside the finite float range; anything else prints -1.
inline float finite_or_minus_one(float v) {
    return (v > -FLT_MAX && v < FLT_MAX) ? v : -1.0f;
}
inline double finite_or_minus_one(double v) {
    return (v > -double(FLT_MAX) && v < double(FLT_MAX)) ? v : -1.0;
}

// Longest texts of one number: "%g" ("-2.22507e-308"), "%d" ("-2147483648"), and "%16.16f"
// of a value inside the float range (39 digits, the point and 16 decimals, a sign).
constexpr std::size_t kMaxGChars = 13;
constexpr std::size_t kMaxIntChars = 11;
constexpr std::size_t kMaxFixed16FloatRangeChars = 57;
// Deeper indentation than this keeps an array on the calling thread.
constexpr std::size_t kMaxThreadedIndent = 4096;

template <typename T> T load(const void* p, std::size_t index = 0) {
    T v;
    std::memcpy(&v, static_cast<const char*>(p) + index * sizeof(T), sizeof(T));
    return v;
}

// Room kept free in an array's piece for one more element: four numbers, separators and a line
// break.
constexpr std::size_t kElementReserve = 4 * vtl::number_format::max_chars + 64;

std::size_t element_size(int t) {
    switch (t) {
    case vtl_type::color:
        return 12;
    case vtl_type::float4:
        return 16;
    case vtl_type::float1:
        return 4;
    case vtl_type::double1:
        return 8;
    case vtl_type::vector:
        return 24;
    case vtl_type::integer:
    case vtl_type::boolean:
    case vtl_type::shader_id:
        return 4;
    case vtl_type::matrix:
        return 128;
    case vtl_type::string:
    case vtl_type::string_ptr:
        return sizeof(const char*);
    default:
        return 0;
    }
}

// The lines of an array's elements: the first ends after index 8, every later one after the
// next eight. Returns the end (one past the last index) of the line holding index i.
inline uint32_t line_end(uint32_t i, uint32_t n) {
    const uint64_t end = i < 9 ? 9 : (uint64_t(i - 1) / 8) * 8 + 9;
    return end < n ? static_cast<uint32_t>(end) : n;
}
// True when a line break follows element i.
inline bool breaks_after(uint32_t i) {
    return i > 0 && i % 8 == 0;
}
// Writes elements first..end-1 of n, within one line: each followed by a comma, the last of
// the array by a blank.
template <typename Element>
inline char* put_line(char* p, const Element& element, uint32_t first, uint32_t end, uint32_t n) {
    for (uint32_t i = first; i + 1 < end; ++i) {
        p = element(p, i);
        *p++ = ',';
    }
    p = element(p, end - 1);
    *p++ = end < n ? ',' : ' ';
    return p;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Parameters

bool vtlScene_api_file::set_parameter(const char* name, int type, const void* value) {
    name = name ? name : "";
    if (type == vtl_type::shader_id) {
        // Numbered shader references have one form, whatever the block style.
        put_name(name);
        put_plain(" ");
        if (value) put_plain(piece().d(load<int32_t>(value)).text(",\n"));
        return true;
    }
    if (block_style_) {
        put(piece().text(name).ch(' '));
        put_value(type, value);
        put_plain("\n");
    } else {
        put_string(name);
        put_plain(" ");
        put_value(type, value);
        put_plain(",\n");
    }
    return true;
}

void vtlScene_api_file::put_value(int type, const void* value) {
    if (!value) return;
    if (type > vtl_type::array && type < vtl_type::array + 0x100) {
        put_array(type - vtl_type::array, load<vtlArray>(value));
        return;
    }
    // `count` numbers of the value, blank-separated, each written by `number`.
    auto numbers = [&](auto number, int count) {
        TextPiece p = piece();
        for (int k = 0; k < count; ++k) {
            if (k) p.ch(' ');
            number(p, static_cast<std::size_t>(k));
        }
        put_plain(p);
    };
    auto g_float = [value](TextPiece& p, std::size_t k) { p.g(load<float>(value, k)); };
    switch (type) {
    case vtl_type::color:
        numbers(g_float, 3);
        break;
    case vtl_type::float4:
    case vtl_type::float4b:
        numbers(g_float, 4);
        break;
    case vtl_type::float2:
        numbers(g_float, 2);
        break;
    case vtl_type::float1:
        put_plain(piece().g(finite_or_minus_one(load<float>(value))));
        break;
    case vtl_type::double1:
        put_plain(piece().fixed16(load<double>(value)));
        break;
    case vtl_type::vector:
        numbers([value](TextPiece& p, std::size_t k) { p.g(load<double>(value, k)); }, 3);
        break;
    case vtl_type::integer:
    case vtl_type::shader_id:
        put_plain(piece().d(load<int32_t>(value)));
        break;
    case vtl_type::boolean:
        put_plain(load<int32_t>(value) != 0 ? "on" : "off");
        break;
    case vtl_type::matrix: // doubles, printed at float precision
        numbers([value](TextPiece& p,
                        std::size_t k) { p.g(static_cast<float>(load<double>(value, k))); },
                16);
        break;
    case vtl_type::int2:
    case vtl_type::int3:
    case vtl_type::int4:
        numbers([value](TextPiece& p, std::size_t k) { p.d(load<int32_t>(value, k)); },
                type - vtl_type::int2 + 2);
        break;
    case vtl_type::string:
        put_name(static_cast<const char*>(value));
        break;
    case vtl_type::string_ptr:
        put_name(load<const char*>(value));
        break;
    case vtl_type::shader: {
        int32_t saved = indentation_;
        indentation_ = 2;
        put_shader(load<vtlShader>(value));
        indentation_ = saved;
        break;
    }
    default:
        break; // internal material parameters, sub-shaders and unknown codes print nothing
    }
}

// ---------------------------------------------------------------------------------------------
// Whole arrays

void vtlScene_api_file::put_binary_block(char marker, uint32_t count, const void* data,
                                         std::size_t bytes) {
    // Three bytes that no text holds, the element marker, and the count.
    unsigned char header[8] = {0x01,
                               0x02,
                               0x03,
                               static_cast<unsigned char>(marker),
                               static_cast<unsigned char>(count & 0xff),
                               static_cast<unsigned char>((count >> 8) & 0xff),
                               static_cast<unsigned char>((count >> 16) & 0xff),
                               static_cast<unsigned char>((count >> 24) & 0xff)};
    put_bytes(header, sizeof header);
    if (bytes) put_bytes(data, bytes);
}

void vtlScene_api_file::put_array(int t, const vtlArray& given) {
    vtlArray array = given;
    if (!array.data || element_size(t) == 0) array.count = 0;
    put_plain("[ ");
    if (binary_arrays_ &&
        (t == vtl_type::color || t == vtl_type::float1 || t == vtl_type::double1 ||
         t == vtl_type::integer || t == vtl_type::shader_id)) {
        uint32_t n = array.count;
        switch (t) {
        case vtl_type::color:
            put_binary_block('c', 3 * n, array.data, std::size_t(n) * 12);
            break;
        case vtl_type::float1:
            put_binary_block('f', n, array.data, std::size_t(n) * 4);
            break;
        case vtl_type::double1:
            put_binary_block('r', n, array.data, std::size_t(n) * 8);
            break;
        default:
            put_binary_block('i', n, array.data, std::size_t(n) * 4);
            break;
        }
    } else {
        put_array_text(t, array);
    }
    put_plain("] ");
}

void vtlScene_api_file::put_array_text(int t, const vtlArray& array) {
    const uint32_t n = array.count;
    const void* data = array.data;

    if (t == vtl_type::string || t == vtl_type::string_ptr) {
        for (uint32_t i = 0; i < n; ++i) {
            put_name(load<const char*>(data, i));
            put_plain(i + 1 < n ? "," : " ");
            if (i > 0 && i % 8 == 0) put_indent();
            put_plain("\n");
        }
        return;
    }

    TextPiece chunk(format_buffer_.get(), kMaxPiece);
    const unsigned width = indent_width();
    auto flush = [&] {
        put_plain(chunk);
        chunk.clear();
    };
    // The indentation that starts a new line of elements.
    auto line_indent = [&] {
        if (chunk.nearly_full(chunk.cursor() + width, kElementReserve)) {
            flush();
            put_indent();
        } else {
            std::memset(chunk.cursor(), ' ', width);
            chunk.advance(chunk.cursor() + width);
        }
    };

    if (t == vtl_type::matrix) {
        for (uint32_t i = 0; i < n; ++i) {
            line_indent();
            for (std::size_t k = 0; k < 16; ++k) {
                chunk.g(load<double>(data, i * 16 + k)).ch(' ');
            }
            chunk.text(i + 1 < n ? ",\n" : "\n");
            if (chunk.nearly_full(chunk.cursor(), kElementReserve)) flush();
        }
        flush();
        return;
    }

    // Elements separated by commas, a blank after the last, and a line break with the
    // indentation after every eighth (and the first of them, index 8): written a line at a time,
    // with the room checked once a line, each element at a cursor kept in a register.
    auto elements = [&](auto element, std::size_t max_element_chars) {
        const std::size_t line_reserve = 9 * (max_element_chars + 1) + kElementReserve;
        char* p = chunk.cursor();
        for (uint32_t i = 0; i < n;) {
            const uint32_t end = line_end(i, n);
            if (chunk.nearly_full(p, line_reserve)) {
                chunk.advance(p);
                flush();
                p = chunk.cursor();
            }
            p = put_line(p, element, i, end, n);
            i = end;
            if (breaks_after(end - 1)) {
                *p++ = '\n';
                chunk.advance(p);
                line_indent();
                p = chunk.cursor();
            }
        }
        chunk.advance(p);
    };
    const char* bytes = static_cast<const char*>(data);
    auto float_at = [bytes](std::size_t index) { return load<float>(bytes, index); };
    // Each element type: its formatter, its numbers and the longest text it can have.
    auto write_elements = [&](auto element, std::size_t values, std::size_t max_chars) {
        if (put_elements_threaded(element, n, values, max_chars)) return;
        elements(element, max_chars);
        flush();
    };
    switch (t) {
    case vtl_type::color:
        write_elements(
            [&](char* p, uint32_t i) {
                const std::size_t first = std::size_t(i) * 3;
                p = vtl::number_format::g_float(p, float_at(first));
                *p++ = ' ';
                p = vtl::number_format::g_float(p, float_at(first + 1));
                *p++ = ' ';
                return vtl::number_format::g_float(p, float_at(first + 2));
            },
            3, 3 * kMaxGChars + 2);
        break;
    case vtl_type::float4:
        write_elements(
            [&](char* p, uint32_t i) {
                for (std::size_t k = 0; k < 4; ++k) {
                    if (k) *p++ = ' ';
                    p = vtl::number_format::g_float(p, float_at(std::size_t(i) * 4 + k));
                }
                return p;
            },
            4, 4 * kMaxGChars + 3);
        break;
    case vtl_type::float1:
        write_elements(
            [&](char* p, uint32_t i) {
                return vtl::number_format::g_float(p, finite_or_minus_one(float_at(i)));
            },
            1, kMaxGChars);
        break;
    case vtl_type::double1:
        write_elements(
            [&](char* p, uint32_t i) {
                return vtl::number_format::fixed16(p, finite_or_minus_one(load<double>(data, i)));
            },
            1, kMaxFixed16FloatRangeChars);
        break;
    case vtl_type::vector:
        write_elements(
            [&](char* p, uint32_t i) {
                for (std::size_t k = 0; k < 3; ++k) {
                    if (k) *p++ = ' ';
                    p = vtl::number_format::g(p, load<double>(data, std::size_t(i) * 3 + k));
                }
                return p;
            },
            3, 3 * kMaxGChars + 2);
        break;
    case vtl_type::integer:
    case vtl_type::shader_id:
        write_elements(
            [&](char* p, uint32_t i) {
                return vtl::number_format::int32(p, load<int32_t>(data, i));
            },
            1, kMaxIntChars);
        break;
    case vtl_type::boolean:
        write_elements(
            [&](char* p, uint32_t i) {
                *p = load<int32_t>(data, i) != 0 ? '1' : '0';
                return p + 1;
            },
            1, 1);
        break;
    default:
        return; // no elements for other element types
    }
}

template <typename Element>
bool vtlScene_api_file::put_elements_threaded(const Element& element, uint32_t n,
                                              std::size_t values_per_element,
                                              std::size_t max_element_chars) {
    const ArrayThreading threading = threading_;
    // Captured shader text stays on the calling thread: it is small and cut like any piece.
    if (threading.threads <= 1 || capturing_ || n == 0) return false;
    if (std::size_t(n) * values_per_element < threading.min_values) return false;
    const std::size_t width = indent_width();
    if (width > kMaxThreadedIndent) return false;

    // A chunk is a run of whole elements; each element's separator and line break depend only
    // on its index and n, so chunks formatted apart and written in order give the same text.
    const std::size_t per_element = max_element_chars + 1;
    std::size_t chunk_elements = threading.chunk_bytes / per_element;
    if (chunk_elements < 8) chunk_elements = 8;
    const std::size_t chunks = (std::size_t(n) + chunk_elements - 1) / chunk_elements;
    // Room for the worst case: the longest elements and a line break after every eighth.
    const std::size_t slot_bytes =
        chunk_elements * per_element + (chunk_elements / 8 + 2) * (width + 1);

    pipeline_.run(
        threading.threads, chunks, slot_bytes,
        [&](std::size_t k, char* p) {
            const uint32_t first = static_cast<uint32_t>(k * chunk_elements);
            const uint32_t last = static_cast<uint32_t>(
                std::min<std::size_t>(std::size_t(n), std::size_t(first) + chunk_elements));
            for (uint32_t i = first; i < last;) {
                const uint32_t end = std::min(last, line_end(i, n));
                p = put_line(p, element, i, end, n);
                i = end;
                if (breaks_after(end - 1)) {
                    *p++ = '\n';
                    std::memset(p, ' ', width);
                    p += width;
                }
            }
            return p;
        },
        [this](const char* text, std::size_t size) { emit(text, size); });
    return true;
}

// ---------------------------------------------------------------------------------------------
// Arrays built element by element

bool vtlScene_api_file::begin_array(const char* name) {
    element_count_ = 0;
    put_string(name);
    put_plain(" [\n");
    indent_more();
    put("");
    element_buffer_.clear();
    return true;
}

void vtlScene_api_file::add_array_element(int type, const void* value) {
    if (!value) return;
    if (binary_arrays_ &&
        (type == vtl_type::color || type == vtl_type::float1 || type == vtl_type::integer)) {
        const std::size_t words = type == vtl_type::color ? 3 : 1;
        element_marker_ = type == vtl_type::color ? 'c' : (type == vtl_type::float1 ? 'f' : 'i');
        if (element_buffer_.size() + words > element_buffer_.capacity())
            element_buffer_.reserve(element_buffer_.size() + element_buffer_.capacity() + 65536);
        for (std::size_t k = 0; k < words; ++k)
            element_buffer_.push_back(load<uint32_t>(value, k));
        return;
    }
    if (element_count_ > 0) {
        if ((type == vtl_type::color && element_count_ % 2 == 0) || element_count_ % 6 == 0) {
            put_plain(",\n");
            put("");
        } else {
            put_plain(", ");
        }
    }
    put_value(type, value);
    ++element_count_;
}

void vtlScene_api_file::end_array() {
    if (binary_arrays_ && !element_buffer_.empty()) {
        put_binary_block(element_marker_, static_cast<uint32_t>(element_buffer_.size()),
                         element_buffer_.data(), element_buffer_.size() * 4);
        element_buffer_.clear();
    }
    put_plain(" ],\n");
    indent_less();
}

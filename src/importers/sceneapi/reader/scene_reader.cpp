#include "reader/scene_reader.h"

#include "file_api/scene_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <new>
#include <system_error>

namespace vtl::reader {
namespace {

// Blocks, inline shaders and arrays nested deeper than this are refused. The parser keeps its
// nesting on the heap, so the bound only caps its memory: it lies far above any nesting a
// scene holds in practice.
constexpr std::size_t kMaxDepth = 100000;
// The longest piece the writer formats in one go; longer ones are cut there.
constexpr std::size_t kMaxPiece = scene_text::kMaxPiece;

// Faults found in more than one place.
constexpr const char* kDefineNeedsBlock = "\"#define\" or \"#modify\" must open a block";
constexpr const char* kUnexpectedChar = "unexpected character ";
constexpr const char* kUnexpectedBrace = "\"{\" not after a block keyword or a shader type";
constexpr const char* kShortBinary = "binary array block runs past the end of the file";
constexpr const char* kBangNeedsShader = "\"!\" must be followed by a shader number or shader";

// The first fault found, thrown inside the parser and caught at its entry.
struct Failure {
    std::string message;
    std::size_t line;
    std::size_t column;
};

// Character classes of the lexer, one table lookup per character.
enum : unsigned char { kBlank = 1, kDelimiter = 2 };

constexpr std::array<unsigned char, 256> make_classes() {
    std::array<unsigned char, 256> classes{};
    for (unsigned char c : {' ', '\t', '\r'})
        classes[c] = kBlank | kDelimiter;
    for (unsigned char c : {'\n', ',', '[', ']', '{', '}', '"', '!'})
        classes[c] = kDelimiter;
    return classes;
}
constexpr std::array<unsigned char, 256> kClasses = make_classes();

bool is_blank(char c) {
    return kClasses[static_cast<unsigned char>(c)] & kBlank;
}

// Characters that end a number or a word.
bool is_delimiter(char c) {
    return kClasses[static_cast<unsigned char>(c)] & kDelimiter;
}

bool is_word_start(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_block_keyword(std::string_view word) {
    // The words that open a block when a "{" ends their line.
    for (std::string_view k :
         {"group", "object", "geometry", "animation", "load", "options", "camera", "image",
          "output", "light", "accel", "material", "shader", "matrix"})
        if (k == word) return true;
    return false;
}

// A character as an error message shows it.
std::string show(char c) {
    char text[16];
    if (c > 0x20 && c < 0x7f)
        std::snprintf(text, sizeof text, "'%c'", c);
    else
        std::snprintf(text, sizeof text, "byte 0x%02x", static_cast<unsigned char>(c));
    return text;
}

std::uint32_t little_endian_u32(const unsigned char* b) {
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

// Recursive-descent parser over the whole text, tracking line and column.
class Parser {
public:
    explicit Parser(std::string_view text)
        : begin_(text.data()), p_(begin_), end_(begin_ + text.size()), line_start_(begin_) {}

    // Parses every node of the text into `document`; throws Failure on the first fault.
    void parse(Document& document) {
        try {
            Frame top;
            top.kind = Frame::Body;
            top.nodes = &document.nodes;
            stack_.push_back(top);
            while (!stack_.empty()) {
                switch (stack_.back().kind) {
                case Frame::Body:
                    step_body();
                    break;
                case Frame::LineValues:
                    step_line_values();
                    break;
                case Frame::CommaValues:
                    step_comma_values();
                    break;
                case Frame::Items:
                    step_array();
                    break;
                }
            }
        } catch (const std::bad_alloc&) {
            fail("not enough memory to hold the document");
        }
    }

private:
    const char* begin_;
    const char* p_;
    const char* end_;
    const char* line_start_;
    std::size_t line_ = 1;

    // The array element being read: where its numbers and other values start.
    struct Element {
        bool open = false;
        std::size_t numbers = 0;
        std::size_t items = 0;

        // The counts are those of the array's numbers and other values so far.
        void start(std::size_t numbers_so_far, std::size_t items_so_far) {
            open = true;
            numbers = numbers_so_far;
            items = items_so_far;
        }
        bool empty(std::size_t numbers_so_far, std::size_t items_so_far) const {
            return numbers_so_far == numbers && items_so_far == items;
        }
        // Counts the element in `elements` and whether its width matches the ones before in
        // `width` (an Array's fields).
        void end(std::size_t& elements, std::size_t& width, std::size_t numbers_so_far) {
            const std::size_t count = numbers_so_far - numbers;
            if (elements == 0)
                width = count;
            else if (width != count)
                width = 0;
            ++elements;
            open = false;
        }
    };

    // One open level of nesting. The nodes, values and arrays a frame points at stay in place
    // while it is open: only the innermost frame appends to its own containers.
    struct Frame {
        enum Kind : unsigned char {
            Body,        // statements and blocks up to "}" (or the end at the top level)
            LineValues,  // the values of a statement or block header, up to the end of the line
            CommaValues, // the values of a parameter in shader form, up to its comma
            Items,       // the elements of an array, up to "]"
        } kind = Body;
        bool allow_shader = false; // LineValues: a text followed by "{" is an inline shader
        bool block = false;        // LineValues: the keyword opens a block when "{" follows
        bool directive = false;    // LineValues: "#define" or "#modify": a block must follow
        bool piece = false;        // Body: the inline shader whose text the writer cut as one
        std::vector<Node>* nodes = nullptr;   // Body
        std::vector<Value>* values = nullptr; // LineValues, CommaValues
        Node* node = nullptr;        // the node these values or this block's contents belong to
        Array* array = nullptr;      // Items
        const char* start = nullptr; // the node's first character
        const char* close = nullptr; // Items: the first "]" after the text read so far, or null
        std::size_t open_line = 0;   // Body, Items: the line the "{" or "[" stands on
        Element element;             // Items: the element being read
    };

    // An inline shader where the writer wrote its captured text as one formatted piece (no
    // enclosing inline shader): the piece is cut after kMaxPiece characters, the indentation
    // inserted after its line feeds not counted.
    struct Piece {
        bool active = false;
        const char* start = nullptr; // the opening quote of the shader's type
        std::size_t indentation = 0; // blanks inserted after each line feed of the piece
        const char* cut = nullptr;   // where the piece's text ends in the file, when it was cut
        bool cut_found = false;
        // The writer writes a piece that holds a hexadecimal text, a blob or a binary array
        // block (written by byte count) whole: such a piece is never cut.
        bool byte_counted = false;
    };

    std::vector<Frame> stack_;
    const char* close_searched_ = nullptr; // where find_close last searched from
    const char* close_ = nullptr;          // what it found there
    std::size_t depth_ = 0;                // open blocks, inline shaders and arrays
    Piece piece_;

    // Stops with `message` at the current position.
    [[noreturn]] void fail(std::string message) const {
        throw Failure{std::move(message), line_, static_cast<std::size_t>(p_ - line_start_) + 1};
    }

    // Skips blanks within the line.
    void skip_blanks() {
        while (p_ < end_ && is_blank(*p_))
            ++p_;
    }

    // Skips blanks and line breaks, counting lines.
    void skip_space() {
        while (p_ < end_) {
            if (is_blank(*p_)) {
                ++p_;
            } else if (*p_ == '\n') {
                ++p_;
                ++line_;
                line_start_ = p_;
            } else {
                break;
            }
        }
    }

    bool starts_with(std::string_view s) const {
        return static_cast<std::size_t>(end_ - p_) >= s.size() &&
               std::memcmp(p_, s.data(), s.size()) == 0;
    }

    // The run of characters up to the next delimiter.
    std::string_view scan_token() {
        const char* start = p_;
        while (p_ < end_ && !is_delimiter(*p_))
            ++p_;
        return {start, static_cast<std::size_t>(p_ - start)};
    }

    // Opens one more level of nesting; refuses one too many.
    void push(const Frame& frame) {
        if (frame.kind == Frame::Body || frame.kind == Frame::Items) {
            if (depth_ >= kMaxDepth) fail("blocks, shaders and arrays nested too deeply");
            ++depth_;
        }
        stack_.push_back(frame);
    }

    // Closes the innermost level.
    void pop() {
        const Frame& frame = stack_.back();
        if (frame.kind == Frame::Body || frame.kind == Frame::Items) --depth_;
        if (frame.piece) piece_.active = false;
        stack_.pop_back();
    }

    // Statements and blocks up to the "}" that closes the block, or the end at the top level.
    void step_body() {
        const std::size_t at = stack_.size() - 1;
        for (;;) {
            skip_space();
            if (reached_cut()) return end_piece();
            Frame& f = stack_[at];
            const bool top = at == 0;
            if (p_ == end_) {
                if (!top)
                    fail("end of file inside a block opened on line " +
                         std::to_string(f.open_line));
                return pop();
            }
            if (*p_ == '}') {
                if (top) fail("\"}\" without an open block");
                ++p_;
                if (f.node) f.node->size = static_cast<std::size_t>(p_ - f.start);
                return pop();
            }
            f.nodes->emplace_back();
            if (start_item(f.nodes->back())) return;
        }
    }

    // Starts one statement, parameter, directive, comment or block; true when its values or
    // contents follow in a new frame, false when it is complete.
    bool start_item(Node& n) {
        const char* start = p_;
        n.line = line_;
        n.offset = static_cast<std::size_t>(p_ - begin_);
        Frame values;
        values.node = &n;
        values.values = &n.values;
        values.start = start;
        if (starts_with("//")) {
            n.kind = NodeKind::Comment;
            n.keyword = "//";
            p_ += 2;
            const char* text = p_;
            while (p_ < end_ && *p_ != '\n')
                ++p_;
            const char* stop = (p_ > text && p_[-1] == '\r') ? p_ - 1 : p_;
            Value v;
            v.kind = ValueKind::String;
            v.text.assign(text, stop);
            v.line = n.line;
            n.values.push_back(std::move(v));
        } else if (*p_ == '#') {
            const std::string_view word = scan_token();
            if (word == "#print" || word == "#error") {
                n.kind = word == "#print" ? NodeKind::Print : NodeKind::Error;
                n.keyword = word;
                parse_text(n, word);
            } else {
                if (word != "#define" && word != "#modify") {
                    p_ -= word.size();
                    fail("unknown directive " + std::string(word));
                }
                n.definition = word == "#define";
                n.modification = !n.definition;
                skip_space(); // "#modify" is followed by the camera block on the next line
                n.keyword = scan_token();
                if (!is_block_keyword(n.keyword)) fail(kDefineNeedsBlock);
                values.kind = Frame::LineValues;
                values.block = true;
                values.directive = true;
                push(values);
                return true;
            }
        } else if (*p_ == '"' || starts_with("xX")) {
            n.kind = NodeKind::Parameter;
            n.keyword = parse_string();
            values.kind = Frame::CommaValues;
            push(values);
            return true;
        } else {
            if (!is_word_start(*p_)) fail(kUnexpectedChar + show(*p_));
            n.keyword = scan_token();
            join_second_word(n.keyword);
            values.kind = Frame::LineValues;
            values.block = is_block_keyword(n.keyword);
            values.allow_shader = !values.block;
            push(values);
            return true;
        }
        n.size = static_cast<std::size_t>(p_ - start);
        return false;
    }

    // Values up to the end of the line (block form and statements), or up to a "{" or "}"; a
    // "{" then opens the block.
    void step_line_values() {
        const std::size_t at = stack_.size() - 1;
        for (;;) {
            skip_blanks();
            if (reached_cut()) return end_piece();
            Frame& f = stack_[at];
            if (p_ == end_ || *p_ == '\n' || *p_ == '{' || *p_ == '}') break;
            if (*p_ == ',') fail(kUnexpectedChar + show(*p_));
            f.values->emplace_back();
            const Started started = start_value(f.values->back(), f.allow_shader);
            if (started == Started::Nested) return;
            if (started == Started::AtCut) {
                f.values->pop_back();
                return end_piece();
            }
        }
        Frame& f = stack_[at];
        Node& n = *f.node;
        const bool brace = p_ < end_ && *p_ == '{';
        if (f.directive && !brace) fail(kDefineNeedsBlock);
        if (!brace) {
            n.kind = NodeKind::Statement;
            n.size = static_cast<std::size_t>(p_ - f.start);
            return pop();
        }
        if (!f.block) fail(kUnexpectedBrace);
        // The block's contents replace its header's values in the same place.
        n.kind = NodeKind::Block;
        ++p_;
        Frame body;
        body.kind = Frame::Body;
        body.nodes = &n.children;
        body.node = &n;
        body.start = f.start;
        body.open_line = n.line;
        pop();
        push(body);
    }

    // Values up to and including the comma that ends a parameter in shader form; only arrays
    // and inline shaders carry them over a line break.
    void step_comma_values() {
        const std::size_t at = stack_.size() - 1;
        for (;;) {
            skip_blanks();
            if (reached_cut()) return end_piece();
            Frame& f = stack_[at];
            if (p_ == end_ || *p_ == '}' || *p_ == '\n')
                fail("expected ',' after the parameter value");
            if (*p_ == ',') {
                ++p_;
                f.node->size = static_cast<std::size_t>(p_ - f.start);
                return pop();
            }
            if (*p_ == '{') fail(kUnexpectedBrace);
            f.values->emplace_back();
            const Started started = start_value(f.values->back(), true);
            if (started == Started::Nested) return;
            if (started == Started::AtCut) {
                f.values->pop_back();
                return end_piece();
            }
        }
    }

    // How start_value left a value.
    enum class Started {
        Done,   // read whole
        Nested, // its contents (an array's elements, an inline shader's parameters) follow in
                // a new frame
        AtCut,  // the writer's cut of an inline shader left only a "!" and what followed it
    };

    // Reads one value into v. A text followed by "{" is an inline shader when `allow_shader`;
    // after "!" only a shader number or an inline shader may stand.
    Started start_value(Value& v, bool allow_shader) {
        bool bound = false;
        if (*p_ == '!') {
            ++p_;
            skip_space();
            if (reached_cut()) return Started::AtCut;
            if (p_ == end_ || *p_ == '!') fail(kBangNeedsShader);
            bound = true;
            allow_shader = true;
        }
        v.line = line_;
        v.bound = bound;
        const char c = *p_;
        if (c == '[') {
            if (bound) fail(kBangNeedsShader);
            v.kind = ValueKind::Array;
            open_array(v.array);
            return Started::Nested;
        }
        if (c == '"' || starts_with("xX")) {
            const char* type = p_;
            v.kind = ValueKind::String;
            v.text = parse_string();
            if (allow_shader) {
                const char* save = p_;
                skip_blanks();
                if (p_ < end_ && *p_ == '{') {
                    ++p_;
                    v.kind = ValueKind::Shader;
                    Frame body;
                    body.kind = Frame::Body;
                    body.nodes = &v.body;
                    body.open_line = v.line;
                    if (!piece_.active) {
                        body.piece = true;
                        start_piece(type);
                    }
                    push(body);
                    return Started::Nested;
                }
                p_ = save;
            }
            if (bound && reached_cut()) return Started::AtCut;
            if (bound) fail(kBangNeedsShader);
            return Started::Done;
        }
        if (starts_with("bX")) {
            if (bound) fail(kBangNeedsShader);
            piece_.byte_counted = true;
            p_ += 2;
            v.kind = ValueKind::Blob;
            v.text = decode_hex(scan_token());
            return Started::Done;
        }
        if (read_number(v.number)) return Started::Done;
        const std::string_view token = scan_token();
        if (token.empty()) fail(kUnexpectedChar + show(c));
        if (!is_word_start(token.front())) {
            p_ -= token.size();
            fail("neither a number nor a word: " + std::string(token));
        }
        v.kind = ValueKind::Word;
        v.text = token;
        if (bound) fail(kBangNeedsShader);
        return Started::Done;
    }

    // "[" and an optional binary block; the elements follow in a new frame.
    void open_array(Array& a) {
        Frame items;
        items.kind = Frame::Items;
        items.array = &a;
        items.open_line = line_;
        push(items);
        ++p_;
        skip_space();
        if (end_ - p_ >= 3 && p_[0] == 1 && p_[1] == 2 && p_[2] == 3) {
            piece_.byte_counted = true;
            read_binary(a);
        }
        stack_.back().close = reserve_for_text(a);
    }

    // Elements separated by "," up to "]".
    void step_array() {
        const std::size_t at = stack_.size() - 1;
        {
            Frame& f = stack_[at];
            if (f.close && p_ > f.close) f.close = find_close(); // after an element's array
        }
        for (;;) {
            Frame& f = stack_[at];
            Array& a = *f.array;
            if (f.close && p_ < f.close) read_short_numbers(a, f.element);
            skip_space();
            if (reached_cut()) return end_piece();
            if (p_ == end_)
                fail("end of file inside an array opened on line " + std::to_string(f.open_line));
            const char c = *p_;
            if (!f.element.open) {
                if (c == ']') {
                    ++p_;
                    return pop();
                }
                f.element.start(a.numbers.size(), a.items.size());
            }
            if (c == ',' || c == ']') {
                if (f.element.empty(a.numbers.size(), a.items.size())) fail("empty array element");
                if (c == ',') ++p_;
                f.element.end(a.elements, a.width, a.numbers.size());
                continue;
            }
            const bool numeric = (c >= '0' && c <= '9') || c == '-' || c == '.';
            if (!numeric || !read_number(a.numbers)) {
                a.items.emplace_back();
                const Started started = start_value(a.items.back(), true);
                if (started == Started::Nested) return;
                if (started == Started::AtCut) {
                    a.items.pop_back();
                    return end_piece();
                }
                if (f.close && p_ > f.close) f.close = find_close();
            }
        }
    }

    // A piece starts at the opening quote of an inline shader's type. The writer put the
    // indentation once before it, after the blank that ends what stands before it, and again
    // after each of its line feeds: the blanks before the quote, less one, tell how many.
    void start_piece(const char* type) {
        piece_ = Piece{};
        piece_.active = true;
        piece_.start = type;
        const char* q = type;
        while (q > begin_ && q[-1] == ' ')
            --q;
        const auto blanks = static_cast<std::size_t>(type - q);
        piece_.indentation = blanks > 0 ? blanks - 1 : 0;
    }

    // Where the text of the current piece ends in the file when the writer cut it: after
    // kMaxPiece characters, the inserted indentation not counted; null when it was not cut.
    const char* piece_cut() {
        if (piece_.cut_found) return piece_.cut;
        piece_.cut_found = true;
        const char* q = piece_.start;
        std::size_t left = kMaxPiece;
        while (left > 0) {
            const auto rest = static_cast<std::size_t>(end_ - q);
            const std::size_t span = std::min(left, rest);
            const auto* lf = static_cast<const char*>(std::memchr(q, '\n', span));
            if (!lf) {
                if (span < left) return nullptr; // the file ends within the piece
                q += span;
                break;
            }
            left -= static_cast<std::size_t>(lf + 1 - q);
            q = lf + 1;
            if (left == 0) break;
            for (std::size_t i = 0; i < piece_.indentation && q < end_ && *q == ' '; ++i)
                ++q;
        }
        // What the writer puts after a piece: the end of the line, or a comma that ends it.
        const char* after = q;
        while (after < end_ && *after == ' ')
            ++after;
        if (after < end_ && *after == ',') ++after;
        if (after < end_ && *after != '\n') return nullptr;
        piece_.cut = q;
        return q;
    }

    // True when the current position lies at or past the cut of the current piece.
    bool reached_cut() {
        if (!piece_.active || piece_.byte_counted ||
            static_cast<std::size_t>(p_ - piece_.start) < kMaxPiece)
            return false;
        const char* cut = piece_cut();
        return cut && p_ >= cut;
    }

    // The writer's cut ended the piece: what was read of it stands, and every level opened
    // within it closes there (a cut parameter without its comma, inline shaders without their
    // "}", arrays without their "]"). Reading goes on at the cut, after the shader's value.
    void end_piece() {
        const char* cut = piece_.cut;
        for (;;) {
            Frame& f = stack_.back();
            if (f.node && f.kind != Frame::Body)
                f.node->size = static_cast<std::size_t>(cut - f.start);
            if (f.kind == Frame::Items && f.element.open &&
                !f.element.empty(f.array->numbers.size(), f.array->items.size()))
                f.element.end(f.array->elements, f.array->width, f.array->numbers.size());
            const bool last = f.piece;
            pop();
            if (last) break;
        }
        // Back to the cut: the line count loses the line feeds skipped after it.
        for (const char* q = cut; q < p_; ++q)
            if (*q == '\n') --line_;
        p_ = cut;
        line_start_ = p_;
        while (line_start_ > begin_ && line_start_[-1] != '\n')
            --line_start_;
    }

    // "reflection map" and "set transform" are statements of two words.
    void join_second_word(std::string& keyword) {
        std::string_view second;
        if (keyword == "reflection")
            second = "map";
        else if (keyword == "set")
            second = "transform";
        else
            return;
        const char* save = p_;
        skip_blanks();
        if (starts_with(second) &&
            (p_ + second.size() == end_ || is_delimiter(p_[second.size()]))) {
            p_ += second.size();
            keyword += ' ';
            keyword += second;
        } else {
            p_ = save;
        }
    }

    // The text of "#print" and "#error", written literally between double quotes: it ends at
    // the first double quote that only blanks separate from the end of a line.
    void parse_text(Node& n, std::string_view word) {
        skip_blanks();
        if (p_ == end_ || *p_ != '"') fail("expected '\"' after " + std::string(word));
        const char* text = ++p_;
        for (; p_ < end_; ++p_) {
            if (*p_ == '\n') {
                ++line_;
                line_start_ = p_ + 1;
            } else if (*p_ == '"') {
                const char* q = p_ + 1;
                while (q < end_ && is_blank(*q))
                    ++q;
                if (q == end_ || *q == '\n') {
                    Value v;
                    v.kind = ValueKind::String;
                    v.text.assign(text, p_);
                    v.line = n.line;
                    n.values.push_back(std::move(v));
                    p_ = q;
                    return;
                }
            }
        }
        fail("text not closed by '\"' at the end of a line");
    }

    // A number token at the current position; false (nothing consumed) when there is none.
    // Texts of at most 15 or so significant digits and a small exponent (all that "%g" and
    // "%16.16f" of ordinary values give) take one exact multiplication or division, which
    // rounds as the C library does; all others go through std::from_chars.
    bool read_number(double& out) {
        const char* q = p_;
        const bool negative = q < end_ && *q == '-';
        if (negative) ++q;
        const char* whole = q;
        while (q < end_ && *q == '0') // leading zeros carry nothing
            ++q;
        const char* significant = q;
        std::uint64_t mantissa = 0;
        for (; q < end_ && static_cast<unsigned>(*q - '0') < 10; ++q)
            mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
        std::size_t digits = static_cast<std::size_t>(q - significant);
        bool any = q > whole;
        int scale = 0;
        if (q < end_ && *q == '.') {
            const char* fraction = ++q;
            if (mantissa == 0)
                while (q < end_ && *q == '0')
                    ++q;
            const char* fraction_significant = q;
            for (; q < end_ && static_cast<unsigned>(*q - '0') < 10; ++q)
                mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
            digits += static_cast<std::size_t>(q - fraction_significant);
            scale = -static_cast<int>(std::min<std::ptrdiff_t>(q - fraction, 1000));
            any = any || q > fraction;
        }
        const bool exact = digits <= 18;
        if (any && q < end_ && (*q == 'e' || *q == 'E')) {
            const char* e = q + 1;
            const bool below = e < end_ && *e == '-';
            if (e < end_ && (*e == '-' || *e == '+')) ++e;
            int exponent = 0;
            const char* exponent_digits = e;
            for (; e < end_ && static_cast<unsigned>(*e - '0') < 10; ++e)
                exponent = exponent < 1000 ? exponent * 10 + (*e - '0') : exponent;
            if (e == exponent_digits) return from_chars_number(out);
            scale += below ? -exponent : exponent;
            q = e;
        }
        if (!any || (q < end_ && !is_delimiter(*q))) return from_chars_number(out);
        if (!exact || mantissa > (std::uint64_t(1) << 53) || scale < -22 || scale > 22)
            return from_chars_number(out);
        static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const double m = static_cast<double>(mantissa);
        const double value = scale < 0 ? m / kPowers[-scale] : m * kPowers[scale];
        out = negative ? -value : value;
        p_ = q;
        return true;
    }

    // The general number reader: any form std::from_chars accepts, "nan" and "inf" included.
    bool from_chars_number(double& out) {
        const char* from = (p_ < end_ && *p_ == '+') ? p_ + 1 : p_;
        const auto [stop, error] = std::from_chars(from, end_, out);
        if (error != std::errc() || (stop != end_ && !is_delimiter(*stop))) return false;
        p_ = stop;
        return true;
    }

    // A quoted text (no line break inside) or the "xX" hexadecimal form.
    std::string parse_string() {
        if (*p_ != '"') {
            piece_.byte_counted = true;
            p_ += 2;
            return decode_hex(scan_token());
        }
        const char* text = ++p_;
        // The writer cuts every formatted piece at kMaxPiece characters, the opening quote
        // included: a longer quoted name keeps kMaxPiece - 1 bytes and loses its closing quote.
        const char* cut =
            static_cast<std::size_t>(end_ - p_) > kMaxPiece - 1 ? p_ + (kMaxPiece - 1) : end_;
        while (p_ < cut && *p_ != '"' && *p_ != '\n')
            ++p_;
        // Inside an inline shader whose text the writer cut, the text ends at the cut too.
        if (piece_.active && !piece_.byte_counted &&
            static_cast<std::size_t>(p_ - piece_.start) >= kMaxPiece) {
            const char* piece_end = piece_cut();
            if (piece_end && piece_end >= text && piece_end <= p_) {
                p_ = piece_end;
                return std::string(text, p_);
            }
        }
        if (p_ == cut && cut != end_ && *p_ != '"') return std::string(text, p_);
        if (p_ == end_ || *p_ != '"') fail("string not closed on its line");
        return std::string(text, p_++);
    }

    // Two hexadecimal digits per byte; `digits` ends at the current position.
    std::string decode_hex(std::string_view digits) {
        std::string bytes;
        bytes.reserve(digits.size() / 2);
        for (std::size_t i = 0; i < digits.size(); i += 2) {
            const int high = hex_value(digits[i]);
            const int low = i + 1 < digits.size() ? hex_value(digits[i + 1]) : -1;
            if (high < 0 || low < 0) {
                p_ -= digits.size() - i;
                fail("odd count or bad digit in a hexadecimal text");
            }
            bytes.push_back(static_cast<char>(high * 16 + low));
        }
        return bytes;
    }

    // The bulk of a geometry array: short numbers, blanks, line breaks and the commas between
    // elements, read in one loop without end checks as a "]" is known to follow. Stops before
    // anything else (an element's last comma included), which the caller reads.
    void read_short_numbers(Array& a, Element& element) {
        if (a.numbers.wide()) return;
        const char* q = p_;
        std::size_t line = line_;
        const char* line_start = line_start_;
        // The numbers are written straight into the array's spare room, committed at the end.
        std::size_t count = a.numbers.size();
        std::uint32_t* data = a.numbers.open_room(count, 64);
        std::uint32_t* room_end = data + a.numbers.room();
        std::uint32_t* out = data + count;
        const std::size_t items = a.items.size();
        // Element state in locals, so that it does not go through memory on every number.
        Element e = element;
        std::size_t elements = a.elements, width = a.width;
        for (;;) {
            char c = *q;
            while (is_blank(c) || c == '\n') {
                if (c == '\n') {
                    ++line;
                    line_start = q + 1;
                }
                c = *++q;
            }
            count = static_cast<std::size_t>(out - data);
            if (c == ',') {
                if (!e.open || e.empty(count, items)) break;
                ++q;
                e.end(elements, width, count);
                continue;
            }
            const char* number = q;
            std::uint64_t digits;
            unsigned decimals;
            if (!scan_short_number(q, digits, decimals) || digits >= Numbers::kDigitLimit) {
                q = number;
                break;
            }
            if (!e.open) e.start(count, items);
            if (out == room_end) {
                data = a.numbers.open_room(count, count);
                room_end = data + a.numbers.room();
                out = data + count;
            }
            *out++ = Numbers::encode(static_cast<std::uint32_t>(digits), decimals, *number == '-');
        }
        a.numbers.commit(count);
        element = e;
        a.elements = elements;
        a.width = width;
        p_ = q;
        line_ = line;
        line_start_ = line_start;
    }

    // A number of up to 15 digits over a power of ten up to 10^15, ending at a delimiter, at
    // `q` with a "]" known to follow; false when there is none. Its value is the digits'
    // integer divided by that exact power, one correctly rounded operation that gives the
    // double strtod gives; any other form is left to read_number.
    static bool scan_short_number(const char*& q, std::uint64_t& digits, unsigned& decimals) {
        const char* r = q;
        r += *r == '-';
        const char* first = r;
        std::uint64_t mantissa = 0;
        for (; static_cast<unsigned>(*r - '0') < 10; ++r)
            mantissa = mantissa * 10 + static_cast<unsigned>(*r - '0');
        std::ptrdiff_t count = r - first;
        int scale = 0;
        if (*r == '.') {
            const char* fraction = ++r;
            for (; static_cast<unsigned>(*r - '0') < 10; ++r)
                mantissa = mantissa * 10 + static_cast<unsigned>(*r - '0');
            scale = static_cast<int>(r - fraction);
            count += scale;
        }
        if (count == 0 || count > 15) return false;
        if ((*r == 'e' || *r == 'E') && (r[1] == '-' || r[1] == '+') &&
            static_cast<unsigned>(r[2] - '0') < 10 && static_cast<unsigned>(r[3] - '0') < 10) {
            // "%g" writes exponents of two digits or more.
            const bool below = r[1] == '-';
            int exponent = 0;
            for (r += 2; static_cast<unsigned>(*r - '0') < 10 && exponent < 100; ++r)
                exponent = exponent * 10 + (*r - '0');
            scale += below ? exponent : -exponent;
        }
        if (!is_delimiter(*r) || scale < 0 || scale > 15) return false;
        q = r;
        digits = mantissa;
        decimals = static_cast<unsigned>(scale);
        return true;
    }

    // The next "]" from the current position, or null.
    // The last search is reused while it still lies ahead, so that nested arrays do not search
    // the same text once per level.
    const char* find_close() {
        if (!close_searched_ || close_searched_ > p_ || (close_ && close_ < p_)) {
            close_searched_ = p_;
            close_ =
                static_cast<const char*>(std::memchr(p_, ']', static_cast<std::size_t>(end_ - p_)));
        }
        return close_;
    }

    // Room for the numbers of a text array up to its first "]", so that large arrays are not
    // copied as they grow; a number takes four characters or more in most arrays. Returns that
    // "]", or null.
    const char* reserve_for_text(Array& a) {
        const char* close = find_close();
        if (!close) return nullptr;
        // An array that holds arrays gets no room: each level would take it for the same text.
        if (std::memchr(p_, '[', static_cast<std::size_t>(close - p_))) return close;
        try {
            a.numbers.reserve(a.numbers.size() + static_cast<std::size_t>(close - p_) / 4);
        } catch (const std::bad_alloc&) {
            // Growing as the numbers come is slower but needs no more than they take.
        }
        return close;
    }

    // read_number into an array's numbers.
    bool read_number(Numbers& out) {
        double d;
        if (!read_number(d)) return false;
        out.push_back(d);
        return true;
    }

    // The binary array block: 0x01 0x02 0x03, marker, 32-bit count, the values.
    void read_binary(Array& a) {
        if (end_ - p_ < 8) fail(kShortBinary);
        const char marker = p_[3];
        if (marker != 'c' && marker != 'f' && marker != 'r' && marker != 'i') {
            p_ += 3;
            fail("unknown element marker in a binary array block");
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(p_);
        const std::uint32_t count = little_endian_u32(bytes + 4);
        const std::size_t each = marker == 'r' ? 8 : 4;
        if (static_cast<std::size_t>(end_ - p_ - 8) / each < count) fail(kShortBinary);
        const unsigned char* data = bytes + 8;
        a.numbers.reserve(a.numbers.size() + count);
        for (std::uint32_t i = 0; i < count; ++i, data += each) {
            if (marker == 'r') {
                const std::uint64_t bits =
                    little_endian_u32(data) | std::uint64_t(little_endian_u32(data + 4)) << 32;
                double d;
                std::memcpy(&d, &bits, sizeof d);
                a.numbers.push_back(d);
            } else if (marker == 'i') {
                a.numbers.push_back(static_cast<std::int32_t>(little_endian_u32(data)));
            } else {
                const std::uint32_t bits = little_endian_u32(data);
                float f;
                std::memcpy(&f, &bits, sizeof f);
                a.numbers.push_back(f);
            }
        }
        p_ = reinterpret_cast<const char*>(data);
        a.binary = marker;
        a.width = marker == 'c' ? 3 : 1;
        a.elements = count / a.width;
    }
};

} // namespace

std::string ReadError::describe() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

ReadResult read_scene(std::string_view text) {
    ReadResult result;
    try {
        Parser(text).parse(result.document);
    } catch (const Failure& failure) {
        result.ok = false;
        result.error = ReadError{failure.message, failure.line, failure.column};
        result.document.nodes.clear();
    }
    return result;
}

bool read_file_text(const std::string& path, std::string& text, std::string& reason) {
    text.clear();
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        reason = "is a folder";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = std::string("cannot open the file: ") + std::strerror(errno);
        return false;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(file, &std::fclose);
    try {
        char chunk[65536];
        for (;;) {
            const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
            text.append(chunk, got);
            if (got < sizeof chunk) break;
        }
    } catch (const std::exception&) { // too large to hold
        reason = "cannot read the file: not enough memory to hold the document";
        text.clear();
        return false;
    }
    if (std::ferror(file)) {
        reason = std::string("cannot read the file: ") + std::strerror(errno);
        text.clear();
        return false;
    }
    return true;
}

ReadResult read_scene_file(const std::string& path) {
    std::string text;
    std::string reason;
    if (!read_file_text(path, text, reason)) {
        ReadResult result;
        result.ok = false;
        result.error = ReadError{path + ": " + reason, 0, 0};
        return result;
    }
    return read_scene(text);
}

} // namespace vtl::reader

#pragma once
// The document tree of a Scene file: blocks, statements and parameters with their values and
// the source line each one starts on.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vtl::reader {

struct Node;
struct Value;

// The numbers of an array, read back as doubles. As long as every number was written as a short
// decimal (an integer below 2^27 over a power of ten up to 10^15: integer indices and "%g"
// floats), each one takes four bytes and gives back exactly the double it was read as; the first
// number of any other form turns the whole array into doubles.
class Numbers {
public:
    using value_type = double;
    using size_type = std::size_t;

    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = double;
        using difference_type = std::ptrdiff_t;
        using pointer = const double*;
        using reference = double;

        const_iterator(const Numbers* numbers, std::size_t index)
            : numbers_(numbers), index_(index) {}
        double operator*() const { return (*numbers_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++index_;
            return before;
        }
        bool operator==(const const_iterator& o) const { return index_ == o.index_; }
        bool operator!=(const const_iterator& o) const { return index_ != o.index_; }

    private:
        const Numbers* numbers_;
        std::size_t index_;
    };
    using iterator = const_iterator;

    // Largest digit count of a short decimal, plus one.
    static constexpr std::uint32_t kDigitLimit = std::uint32_t(1) << 27;

    std::size_t size() const { return wide_ ? doubles_.size() : decimals_.size(); }
    bool empty() const { return size() == 0; }
    double operator[](std::size_t i) const { return wide_ ? doubles_[i] : decode(decimals_[i]); }
    double at(std::size_t i) const; // throws std::out_of_range past the end
    double front() const { return (*this)[0]; }
    double back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    operator std::vector<double>() const;

    void reserve(std::size_t count);
    void push_back(double number);
    // True once the array holds doubles.
    bool wide() const { return wide_; }
    // The code of (negative ? -1 : 1) * digits / 10^decimals, digits < kDigitLimit, decimals < 16.
    static std::uint32_t encode(std::uint32_t digits, unsigned decimals, bool negative) {
        return std::uint32_t(negative) << 31 | digits << 4 | decimals;
    }
    // Bulk appending of codes to an array that is not wide: makes the array's spare room (at
    // least `more` codes past its first `size` ones) writable and returns its first code. Until
    // commit(size) keeps the first `size` codes, only room() may be asked.
    std::uint32_t* open_room(std::size_t size, std::size_t more);
    std::size_t room() const { return decimals_.size(); }
    void commit(std::size_t size) { decimals_.resize(size); }

    // The division that also reads short decimals, so both give the same double.
    static double decimal(std::uint64_t digits, unsigned decimals, bool negative) {
        static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double value = static_cast<double>(digits) / kPowers[decimals];
        return negative ? -value : value;
    }

private:
    static double decode(std::uint32_t code) {
        return decimal((code >> 4) & (kDigitLimit - 1), code & 15, code >> 31);
    }
    void widen();

    // Leaves new elements uninitialised, so that room is not written before it is used.
    template <class T> struct RoomAllocator : std::allocator<T> {
        template <class U> struct rebind { using other = RoomAllocator<U>; };
        RoomAllocator() = default;
        template <class U> RoomAllocator(const RoomAllocator<U>&) {}
        template <class U> void construct(U* p) { ::new (static_cast<void*>(p)) U; }
        template <class U, class... A> void construct(U* p, A&&... a) {
            ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
        }
    };

    // sign, digits and decimals of each short decimal
    std::vector<std::uint32_t, RoomAllocator<std::uint32_t>> decimals_;
    std::vector<double> doubles_; // every number once the array is wide
    bool wide_ = false;
};

bool operator==(const Numbers& a, const Numbers& b);
bool operator==(const Numbers& a, const std::vector<double>& b);
bool operator==(const std::vector<double>& a, const Numbers& b);
bool operator!=(const Numbers& a, const Numbers& b);
bool operator!=(const Numbers& a, const std::vector<double>& b);
bool operator!=(const std::vector<double>& a, const Numbers& b);

// An array value. Numbers are kept flat, element after element, so that large geometry arrays
// cost one vector; any other element (string, word, shader) is kept as a value of its own.
struct Array {
    Numbers numbers;          // every numeric scalar of every element, in order
    std::vector<Value> items; // the elements that are not numbers, in order
    std::size_t elements = 0; // number of elements (a binary 'c' block: triples)
    std::size_t width = 0;    // numbers per element when every element has as many, else 0
    char binary = 0;          // marker of an embedded binary block ('c', 'f', 'r', 'i'), or 0
};

enum class ValueKind {
    Number, // a number; "on"/"off" stay words
    Word,   // an unquoted word: "on", "off", a shader type in "#define shader 3 type"
    String, // a quoted or "xX" hexadecimal text, decoded to its bytes
    Blob,   // a "bX" byte blob, decoded to its bytes
    Array,  // "[ ... ]", whole or built element by element, text or binary
    Shader, // an inline anonymous shader: its type in text, its parameters in body
};

// One value of a statement or parameter, or one argument of a block header.
struct Value {
    ValueKind kind = ValueKind::Number;
    double number = 0;      // Number
    std::string text;       // Word, String, Blob, and the type of a Shader
    Array array;            // Array
    std::vector<Node> body; // Shader: its parameters
    bool bound = false;     // written after "!": a shader reference by number or inline shader
    std::size_t line = 0;   // source line the value starts on

    Value() = default;
    Value(const Value&) = default;
    Value(Value&&) = default;
    Value& operator=(const Value&) = default;
    Value& operator=(Value&&) = default;
    // Takes nested shaders and arrays apart level by level, so that no depth of nesting
    // deepens the call stack (copies of deeply nested values still recurse).
    ~Value();

    // True for a String or Word whose text is `s`.
    bool is(std::string_view s) const;
};

enum class NodeKind {
    Block,     // keyword, header values, "{", children, "}"
    Statement, // an unquoted keyword and its values up to the end of the line; parameters in
               // block form ("fov4 -0.5 0.5 -0.4 0.4") are statements too
    Parameter, // a quoted parameter name, its values and a comma (shader form)
    Print,     // "#print": the text in values[0]
    Error,     // "#error": the text in values[0]
    Comment,   // "//" to the end of the line: the text in values[0]
};

struct Node {
    NodeKind kind = NodeKind::Statement;
    std::string keyword;        // block or statement keyword ("set transform", "reflection
                                // map"), the parameter's name, or "#print", "#error", "//"
    bool definition = false;    // block preceded by "#define"
    bool modification = false;  // block preceded by "#modify"
    std::vector<Value> values;  // header values of a block, values of a statement/parameter
    std::vector<Node> children; // contents of a block
    std::size_t line = 0;       // source line the node starts on (from 1)
    std::size_t offset = 0;     // byte offset of its first character
    std::size_t size = 0;       // bytes from its first character to its last

    Node() = default;
    Node(const Node&) = default;
    Node(Node&&) = default;
    Node& operator=(const Node&) = default;
    Node& operator=(Node&&) = default;
    // Takes nested blocks and values apart level by level, as ~Value does.
    ~Node();

    // The first String value (a block's name), or an empty text.
    std::string name() const;
    // The first child with this keyword (and this name when given), or null.
    const Node* child(std::string_view keyword, std::string_view name = {}) const;
    // The values of the first child with this keyword, or null.
    const std::vector<Value>* values_of(std::string_view keyword) const;
    // The first value of the first child with this keyword, or null.
    const Value* value_of(std::string_view keyword) const;
};

// A whole Scene file.
struct Document {
    std::vector<Node> nodes;

    // The leading comment lines (the file's header), without their "//".
    std::vector<std::string> header() const;
    // The number of the "version" statement, or -1 when there is none or it is not a whole
    // number from 0 to INT_MAX.
    int version() const;
};

// Calls `visit` for each node of `nodes` and their children, depth first, with the depth: a
// node, then its children, then the parameters of the inline shaders among its values. Any
// depth of nesting is walked without deepening the call stack.
void walk(const std::vector<Node>& nodes, const std::function<void(const Node&, int)>& visit,
          int depth = 0);

} // namespace vtl::reader

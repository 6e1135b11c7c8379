#pragma once
// The document tree of a Scene file: blocks, statements and parameters with their values and
// the source line each one starts on.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vtl::reader {

struct Node;
struct Value;

// An array value. Numbers are kept flat, element after element, so that large geometry arrays
// cost one vector; any other element (string, word, shader) is kept as a value of its own.
struct Array {
    std::vector<double> numbers; // every numeric scalar of every element, in order
    std::vector<Value> items;    // the elements that are not numbers, in order
    std::size_t elements = 0;    // number of elements (a binary 'c' block: triples)
    std::size_t width = 0;       // numbers per element when every element has as many, else 0
    char binary = 0;             // marker of an embedded binary block ('c', 'f', 'r', 'i'), or 0
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
    // The number of the "version" statement, or -1.
    int version() const;
};

// Calls `visit` for each node of `nodes` and their children, depth first, with the depth.
void walk(const std::vector<Node>& nodes, const std::function<void(const Node&, int)>& visit,
          int depth = 0);

} // namespace vtl::reader

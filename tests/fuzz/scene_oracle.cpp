#include "scene_oracle.h"

#include "reader/scene_reader.h"

namespace fuzz {

namespace {

using vtl::reader::Node;
using vtl::reader::NodeKind;
using vtl::reader::Value;
using vtl::reader::ValueKind;

bool needs_hex(const std::string& s) {
    for (unsigned char c : s)
        if (c == '"' || c == '\r' || c == '\n' || c >= 0x80) return true;
    return false;
}

// Letters, digits and "_", not starting with a digit; keywords of two words have one blank.
bool plain_word(const std::string& w) {
    const auto letter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    if (w.empty() || !(letter(w[0]) || w[0] == '_')) return false;
    for (char c : w)
        if (!(letter(c) || (c >= '0' && c <= '9') || c == '_' || c == ' ')) return false;
    return true;
}

class Checker {
public:
    Checker(std::string_view text, SceneCheck& result) : text_(text), result_(result) {}

    void fail(const std::string& why) {
        if (result_.ok) result_.fault = why;
        result_.ok = false;
    }

    void contents(const std::vector<Node>& nodes, std::size_t opening_line) {
        for (const Node& n : nodes) {
            if (n.line <= opening_line) fail("\"{\" does not end line " + std::to_string(n.line));
            if (n.kind == NodeKind::Parameter) string(n.keyword);
            if (n.kind == NodeKind::Block || n.kind == NodeKind::Statement) word(n.keyword);
            if (n.kind == NodeKind::Comment || n.kind == NodeKind::Print ||
                n.kind == NodeKind::Error)
                continue;
            for (const Value& v : n.values)
                value(v);
            contents(n.children, n.line);
        }
    }

private:
    void value(const Value& v) {
        if (v.kind == ValueKind::String) string(v.text);
        if (v.kind == ValueKind::Word) word(v.text);
        for (const Value& item : v.array.items)
            value(item);
        if (v.kind == ValueKind::Shader) {
            string(v.text);
            contents(v.body, v.line);
        }
    }

    void string(const std::string& s) {
        if (needs_hex(s)) {
            std::string form = "xX";
            for (unsigned char c : s)
                form += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
            if (text_.find(form) == std::string_view::npos)
                fail("not in the \"xX\" form with lower-case pairs: \"" + s.substr(0, 40) + "\"");
        }
        if (s.size() > kMaxPiece / 2) result_.long_strings.push_back(s);
        result_.strings.insert(s);
    }

    void word(const std::string& w) {
        if (!plain_word(w) || w.find(kInjectionMarker) != std::string::npos)
            fail("not a plain word outside a string: \"" + w.substr(0, 40) + "\"");
    }

    std::string_view text_;
    SceneCheck& result_;
};

} // namespace

bool SceneCheck::carries(const std::string& host) const {
    if (strings.count(host)) return true;
    if (needs_hex(host)) return false; // the "xX" form is never cut
    for (const std::string& cut : long_strings)
        if (host.compare(0, cut.size(), cut) == 0) return true;
    return false;
}

SceneCheck check_scene(std::string_view text, std::size_t groups_left_open) {
    SceneCheck check;
    Checker checker(text, check);
    for (std::size_t i = 0; i < text.size() && check.ok; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80 || text[i] == '\r')
            checker.fail("high byte or carriage return at offset " + std::to_string(i));
    std::string closed;
    if (groups_left_open > 0) {
        const vtl::reader::ReadResult open = vtl::reader::read_scene(text);
        if (open.ok || open.error.message.rfind("end of file inside a block", 0) != 0)
            checker.fail(std::to_string(groups_left_open) + " group(s) left open, but the reader " +
                         (open.ok ? "took the file" : "says " + open.error.describe()));
        closed.assign(text);
        for (std::size_t i = 0; i < groups_left_open; ++i)
            closed += "}\n";
        text = closed;
    }
    const vtl::reader::ReadResult read = vtl::reader::read_scene(text);
    if (!read.ok) checker.fail("reader: " + read.error.describe());
    checker.contents(read.document.nodes, 0);
    return check;
}

} // namespace fuzz

#include "reader/scene_document.h"

#include "reader/reader_texts.h"

namespace vtl::reader {

bool Value::is(std::string_view s) const {
    return (kind == ValueKind::String || kind == ValueKind::Word) && text == s;
}

std::string Node::name() const {
    for (const Value& v : values)
        if (v.kind == ValueKind::String) return v.text;
    return {};
}

const Node* Node::child(std::string_view key, std::string_view wanted) const {
    for (const Node& c : children)
        if (c.keyword == key && (wanted.empty() || c.name() == wanted)) return &c;
    return nullptr;
}

const std::vector<Value>* Node::values_of(std::string_view key) const {
    const Node* c = child(key);
    return c ? &c->values : nullptr;
}

const Value* Node::value_of(std::string_view key) const {
    const std::vector<Value>* v = values_of(key);
    return v && !v->empty() ? &v->front() : nullptr;
}

std::vector<std::string> Document::header() const {
    std::vector<std::string> lines;
    for (const Node& n : nodes) {
        if (n.kind != NodeKind::Comment) break;
        lines.push_back(n.values.empty() ? std::string() : n.values.front().text);
    }
    return lines;
}

int Document::version() const {
    for (const Node& n : nodes)
        if (n.kind == NodeKind::Statement && n.keyword == texts::kVersion && !n.values.empty() &&
            n.values.front().kind == ValueKind::Number)
            return static_cast<int>(n.values.front().number);
    return -1;
}

void walk(const std::vector<Node>& nodes, const std::function<void(const Node&, int)>& visit,
          int depth) {
    for (const Node& n : nodes) {
        visit(n, depth);
        walk(n.children, visit, depth + 1);
        for (const Value& v : n.values)
            if (v.kind == ValueKind::Shader) walk(v.body, visit, depth + 1);
    }
}

} // namespace vtl::reader

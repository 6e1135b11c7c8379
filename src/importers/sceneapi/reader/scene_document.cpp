#include "reader/scene_document.h"

#include "reader/reader_texts.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vtl::reader {

double Numbers::at(std::size_t i) const {
    if (i >= size()) throw std::out_of_range("array number index out of range");
    return (*this)[i];
}

Numbers::operator std::vector<double>() const {
    if (wide_) return doubles_;
    std::vector<double> out;
    out.reserve(decimals_.size());
    for (std::uint32_t code : decimals_)
        out.push_back(decode(code));
    return out;
}

void Numbers::reserve(std::size_t count) {
    if (wide_)
        doubles_.reserve(count);
    else
        decimals_.reserve(count);
}

std::uint32_t* Numbers::open_room(std::size_t size, std::size_t more) {
    if (decimals_.capacity() - size < more)
        decimals_.reserve(size + std::max(more, decimals_.capacity()));
    decimals_.resize(decimals_.capacity());
    return decimals_.data();
}

void Numbers::push_back(double number) {
    if (!wide_) {
        // Integers stay short; the comparisons also keep NaN out.
        const double magnitude = std::fabs(number);
        if (magnitude < kDigitLimit && magnitude == std::floor(magnitude)) {
            decimals_.push_back(
                encode(static_cast<std::uint32_t>(magnitude), 0, std::signbit(number)));
            return;
        }
        widen();
    }
    doubles_.push_back(number);
}

void Numbers::widen() {
    std::vector<double> doubles;
    doubles.reserve(decimals_.capacity() > decimals_.size() ? decimals_.capacity()
                                                            : decimals_.size() + 1);
    for (std::uint32_t code : decimals_)
        doubles.push_back(decode(code));
    doubles_ = std::move(doubles);
    decltype(decimals_)().swap(decimals_);
    wide_ = true;
}

bool operator==(const Numbers& a, const Numbers& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i])) return false;
    return true;
}

bool operator==(const Numbers& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i])) return false;
    return true;
}

bool operator==(const std::vector<double>& a, const Numbers& b) {
    return b == a;
}

bool operator!=(const Numbers& a, const Numbers& b) {
    return !(a == b);
}

bool operator!=(const Numbers& a, const std::vector<double>& b) {
    return !(a == b);
}

bool operator!=(const std::vector<double>& a, const Numbers& b) {
    return !(b == a);
}

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

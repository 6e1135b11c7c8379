#include "reader/scene_document.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
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

namespace {

bool holds_nothing_nested(const Value& v) {
    return v.body.empty() && v.array.items.empty();
}

bool holds_nothing_nested(const Node& n) {
    return n.children.empty() && std::all_of(n.values.begin(), n.values.end(), [](const Value& v) {
               return holds_nothing_nested(v);
           });
}

// Takes a tree apart with its own lists instead of the call stack: every node and value
// taken out is emptied of what it holds before it is destroyed.
class Dismantler {
public:
    void take(std::vector<Node>& from) {
        nodes_.insert(nodes_.end(), std::make_move_iterator(from.begin()),
                      std::make_move_iterator(from.end()));
        from.clear();
    }
    void take(std::vector<Value>& from) {
        values_.insert(values_.end(), std::make_move_iterator(from.begin()),
                       std::make_move_iterator(from.end()));
        from.clear();
    }
    void run() {
        while (!nodes_.empty() || !values_.empty()) {
            if (!nodes_.empty()) {
                Node n = std::move(nodes_.back());
                nodes_.pop_back();
                take(n.children);
                take(n.values);
            } else {
                Value v = std::move(values_.back());
                values_.pop_back();
                take(v.body);
                take(v.array.items);
            }
        }
    }

private:
    std::vector<Node> nodes_;
    std::vector<Value> values_;
};

} // namespace

Value::~Value() {
    if (std::all_of(body.begin(), body.end(),
                    [](const Node& n) { return holds_nothing_nested(n); }) &&
        std::all_of(array.items.begin(), array.items.end(),
                    [](const Value& v) { return holds_nothing_nested(v); }))
        return;
    try {
        Dismantler dismantler;
        dismantler.take(body);
        dismantler.take(array.items);
        dismantler.run();
    } catch (...) {
        // Without memory for the lists, what is left goes the ordinary way.
    }
}

Node::~Node() {
    if (std::all_of(children.begin(), children.end(),
                    [](const Node& n) { return holds_nothing_nested(n); }) &&
        std::all_of(values.begin(), values.end(),
                    [](const Value& v) { return holds_nothing_nested(v); }))
        return;
    try {
        Dismantler dismantler;
        dismantler.take(children);
        dismantler.take(values);
        dismantler.run();
    } catch (...) {
        // Without memory for the lists, what is left goes the ordinary way.
    }
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
        if (n.kind == NodeKind::Statement && n.keyword == "version" && !n.values.empty() &&
            n.values.front().kind == ValueKind::Number) {
            const double v = n.values.front().number;
            // Only a whole number an int holds is a version; NaN fails the comparisons.
            if (v >= 0 && v <= std::numeric_limits<int>::max() && v == std::floor(v))
                return static_cast<int>(v);
            return -1;
        }
    return -1;
}

void walk(const std::vector<Node>& nodes, const std::function<void(const Node&, int)>& visit,
          int depth) {
    // Lists of nodes still to visit, the innermost last.
    struct Pending {
        const std::vector<Node>* nodes;
        std::size_t next;
        int depth;
    };
    std::vector<Pending> pending{{&nodes, 0, depth}};
    while (!pending.empty()) {
        Pending& top = pending.back();
        if (top.next == top.nodes->size()) {
            pending.pop_back();
            continue;
        }
        const Node& n = (*top.nodes)[top.next++];
        const int at = top.depth;
        visit(n, at);
        // Shader parameters after the children: pushed first, so visited last.
        for (auto v = n.values.rbegin(); v != n.values.rend(); ++v)
            if (v->kind == ValueKind::Shader && !v->body.empty())
                pending.push_back({&v->body, 0, at + 1});
        if (!n.children.empty()) pending.push_back({&n.children, 0, at + 1});
    }
}

} // namespace vtl::reader

#pragma once
// A strict reader of JSON text (RFC 8259 grammar; bytes of 0x20 and above pass inside strings
// unchecked): tells whether a text is exactly one JSON value with blanks around it.

#include <cstddef>
#include <string_view>

namespace fuzz {

class JsonCheck {
public:
    // True when text is one well-formed JSON value.
    static bool valid(std::string_view text) {
        JsonCheck check(text);
        check.blanks();
        if (!check.value(0)) return false;
        check.blanks();
        return check.at_ == text.size();
    }

private:
    static constexpr int kMaxDepth = 512;

    explicit JsonCheck(std::string_view text) : text_(text) {}

    bool more() const { return at_ < text_.size(); }
    char peek() const { return more() ? text_[at_] : '\0'; }
    bool take(char c) {
        if (peek() != c || !more()) return false;
        ++at_;
        return true;
    }
    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }
    void blanks() {
        while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++at_;
    }
    static bool digit(char c) { return c >= '0' && c <= '9'; }
    static bool hex(char c) { return digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

    bool value(int depth) {
        if (depth > kMaxDepth) return false;
        switch (peek()) {
        case '{':
            return object(depth);
        case '[':
            return array(depth);
        case '"':
            return string();
        case 't':
            return word("true");
        case 'f':
            return word("false");
        case 'n':
            return word("null");
        default:
            return number();
        }
    }

    bool object(int depth) {
        take('{');
        blanks();
        if (take('}')) return true;
        for (;;) {
            blanks();
            if (!string()) return false;
            blanks();
            if (!take(':')) return false;
            blanks();
            if (!value(depth + 1)) return false;
            blanks();
            if (take('}')) return true;
            if (!take(',')) return false;
        }
    }

    bool array(int depth) {
        take('[');
        blanks();
        if (take(']')) return true;
        for (;;) {
            blanks();
            if (!value(depth + 1)) return false;
            blanks();
            if (take(']')) return true;
            if (!take(',')) return false;
        }
    }

    bool string() {
        if (!take('"')) return false;
        while (more()) {
            const auto c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (!more()) return false;
            const char e = text_[at_++];
            if (e == 'u') {
                for (int i = 0; i < 4; ++i)
                    if (!more() || !hex(text_[at_++])) return false;
            } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
                return false;
            }
        }
        return false;
    }

    bool number() {
        take('-');
        if (take('0')) {
        } else if (digit(peek()) && more()) {
            while (more() && digit(peek()))
                ++at_;
        } else {
            return false;
        }
        if (take('.')) {
            if (!more() || !digit(peek())) return false;
            while (more() && digit(peek()))
                ++at_;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (!take('+')) take('-');
            if (!more() || !digit(peek())) return false;
            while (more() && digit(peek()))
                ++at_;
        }
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace fuzz

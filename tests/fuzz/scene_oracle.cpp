#include "scene_oracle.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace fuzz {

namespace {

bool needs_hex(const std::string& s) {
    for (unsigned char c : s)
        if (c == '"' || c == '\r' || c == '\n' || c >= 0x80) return true;
    return false;
}

bool is_delimiter(char c) {
    return c == ' ' || c == '\n' || c == ',' || c == '{' || c == '}' || c == '[' || c == ']';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool is_word(std::string_view w) {
    if (w.empty()) return false;
    const char first = w.front();
    if (!(first == '#' || first == '_' || (first >= 'a' && first <= 'z') ||
          (first >= 'A' && first <= 'Z')))
        return false;
    for (char c : w.substr(1))
        if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
              (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

bool is_number(std::string_view w) {
    if (w.empty() || w.size() > 400) return false;
    const std::string copy(w);
    char* end = nullptr;
    errno = 0;
    std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size();
}

class Scanner {
public:
    Scanner(std::string_view text, std::size_t groups_left_open)
        : t_(text), groups_left_open_(groups_left_open) {}

    SceneCheck run() {
        while (result_.ok && p_ < t_.size())
            step();
        const bool only_blocks = open_.find('[') == std::string::npos;
        if (result_.ok && (!only_blocks || open_.size() < groups_left_open_ ||
                           open_.size() > groups_left_open_ + cuts_))
            fail(std::to_string(open_.size()) + " block(s) or array(s) left open where " +
                 std::to_string(groups_left_open_) + " group(s) were");
        return std::move(result_);
    }

private:
    void fail(const std::string& why) {
        if (!result_.ok) return;
        result_.ok = false;
        result_.fault = "offset " + std::to_string(p_) + ": " + why + " after \"";
        // The 40 bytes before the fault, control and high bytes shown as hex.
        for (char c : t_.substr(p_ < 40 ? 0 : p_ - 40, p_ < 40 ? p_ : 40)) {
            const unsigned char u = static_cast<unsigned char>(c);
            static const char digits[] = "0123456789abcdef";
            if (u >= 0x20 && u < 0x7f)
                result_.fault += c;
            else
                result_.fault += std::string("\\x") + digits[u >> 4] + digits[u & 0xf];
        }
        result_.fault += "\"";
    }

    // The token that starts at p_ and ends before the next delimiter.
    std::string_view token() const {
        std::size_t e = p_;
        while (e < t_.size() && !is_delimiter(t_[e]))
            ++e;
        return t_.substr(p_, e - p_);
    }

    void step() {
        const char c = t_[p_];
        switch (c) {
        case ' ':
        case '\n':
        case ',':
        case '!':
            ++p_;
            return;
        case '{':
            if (p_ + 1 >= t_.size() || t_[p_ + 1] != '\n')
                return fail("\"{\" does not end its line");
            open_.push_back('{');
            ++result_.blocks;
            ++p_;
            return;
        case '[':
            open_.push_back('[');
            ++p_;
            return;
        case '}':
        case ']': {
            const char opener = c == '}' ? '{' : '[';
            if (open_.empty() || open_.back() != opener)
                return fail(std::string("unmatched \"") + c + "\"");
            open_.pop_back();
            ++p_;
            return;
        }
        case '"':
            return quoted();
        default:
            break;
        }
        if (t_.compare(p_, 2, "//") == 0) {
            const std::size_t lf = t_.find('\n', p_);
            p_ = lf == std::string_view::npos ? t_.size() : lf + 1;
            return;
        }
        if (t_.compare(p_, 2, "xX") == 0 || t_.compare(p_, 2, "bX") == 0) return hex();
        const std::string_view w = token();
        if (is_number(w)) {
            ++result_.numbers;
        } else if (!is_word(w)) {
            return fail("neither number nor word: \"" + std::string(w.substr(0, 40)) + "\"");
        } else if (w.find(kInjectionMarker) != std::string_view::npos) {
            return fail("host text outside a string");
        }
        p_ += w.size();
    }

    void quoted() {
        const std::size_t begin = ++p_;
        while (p_ < t_.size() && t_[p_] != '"') {
            const unsigned char c = static_cast<unsigned char>(t_[p_]);
            if (c == '\n' && p_ - begin > kMaxPiece / 2) {
                // A string cut with the formatted piece it stands in (a name with the words
                // before it, a captured shader's whole text): its closing quote went with the
                // cut, and maybe the closing brace of the shader; the indentation of the next
                // line may follow. The reader, run after this check, knows the exact cut.
                std::size_t end = p_;
                while (end > begin && t_[end - 1] == ' ')
                    --end;
                result_.cut_strings.emplace_back(t_.substr(begin, end - begin));
                ++cuts_;
                return;
            }
            if (c == '\n' || c == '\r' || c >= 0x80)
                return fail("line break or high byte in a quoted string");
            if (p_ - begin == kMaxCutName) { // cut with its piece: no closing quote
                result_.strings.emplace(t_.substr(begin, p_ - begin));
                return;
            }
            ++p_;
        }
        if (p_ >= t_.size()) return fail("quoted string not closed");
        result_.strings.emplace(t_.substr(begin, p_ - begin));
        ++p_;
        if (p_ < t_.size() && !is_delimiter(t_[p_])) fail("text glued to a quoted string");
    }

    void hex() {
        const bool name = t_[p_] == 'x';
        p_ += 2;
        std::string bytes;
        while (p_ < t_.size() && !is_delimiter(t_[p_])) {
            const int high = hex_digit(t_[p_]);
            const int low = p_ + 1 < t_.size() ? hex_digit(t_[p_ + 1]) : -1;
            if (high < 0 || low < 0) return fail("not a lower-case hex pair");
            bytes.push_back(static_cast<char>(high * 16 + low));
            p_ += 2;
        }
        if (name) result_.strings.insert(std::move(bytes));
    }

    std::string_view t_;
    std::size_t p_ = 0;
    std::string open_; // the opening brackets not yet closed, innermost last
    std::size_t groups_left_open_;
    std::size_t cuts_ = 0; // strings cut with their piece, each may have taken a closing brace
    SceneCheck result_;
};

} // namespace

SceneCheck check_scene(std::string_view text, std::size_t groups_left_open) {
    return Scanner(text, groups_left_open).run();
}

std::string written_form(const std::string& host) {
    if (needs_hex(host) || host.size() <= kMaxQuotedName) return host;
    return host.substr(0, kMaxCutName);
}

} // namespace fuzz

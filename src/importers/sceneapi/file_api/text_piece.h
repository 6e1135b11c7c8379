#pragma once
// One formatted output piece, built in a fixed buffer with the number texts of printf in the
// "C" locale; what does not fit is cut, as a fixed-size format buffer cuts it. Whole arrays are
// built in it too, by formatters that write at its cursor and flush it before it fills.

#include "file_api/number_format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

class TextPiece {
public:
    // Builds into `buffer`, keeping at most `capacity` characters.
    TextPiece(char* buffer, std::size_t capacity) : begin_(buffer), end_(buffer), cap_(capacity) {}

    // Appends n characters.
    TextPiece& text(const char* s, std::size_t n) {
        std::size_t room = cap_ - size();
        if (n > room) n = room;
        std::memcpy(end_, s, n);
        end_ += n;
        return *this;
    }
    // Appends a NUL-terminated text (null is the empty text).
    TextPiece& text(const char* s) { return s ? text(s, std::strlen(s)) : *this; }
    // Appends one character.
    TextPiece& ch(char c) { return text(&c, 1); }
    // "%g" of a double.
    TextPiece& g(double v) { return number(vtl::number_format::g(scratch_, v)); }
    // "%g" of a float.
    TextPiece& g(float v) { return number(vtl::number_format::g_float(scratch_, v)); }
    // "%16.16f".
    TextPiece& fixed16(double v) { return number(vtl::number_format::fixed16(scratch_, v)); }
    // "%.3f".
    TextPiece& fixed3(double v) { return number(vtl::number_format::fixed3(scratch_, v)); }
    // "%d".
    TextPiece& d(int32_t v) { return number(vtl::number_format::int32(scratch_, v)); }
    // "%u".
    TextPiece& u(uint32_t v) { return number(vtl::number_format::uint32(scratch_, v)); }

    const char* data() const { return begin_; }
    std::size_t size() const { return static_cast<std::size_t>(end_ - begin_); }

    // Where a formatter that writes by itself goes on; advance() takes its end.
    char* cursor() { return end_; }
    void advance(char* end) { end_ = end; }
    // True when `end` (a formatter's cursor) leaves less than `reserve` bytes of room.
    bool nearly_full(const char* end, std::size_t reserve) const {
        return static_cast<std::size_t>(end - begin_) + reserve > cap_;
    }
    void clear() { end_ = begin_; }

private:
    TextPiece& number(char* end) {
        return text(scratch_, static_cast<std::size_t>(end - scratch_));
    }

    char* begin_;
    char* end_;
    std::size_t cap_;
    char scratch_[vtl::number_format::max_chars];
};

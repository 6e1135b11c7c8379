#pragma once
// A zero-terminated copy of some bytes whose terminator is the last readable byte: the page
// after it is mapped without access, so that a read past the end faults at once even in code
// built without the address sanitizer (the system's TinyXML, for one).

#include <cstddef>
#include <cstring>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

class GuardedText {
public:
    explicit GuardedText(std::string_view bytes) {
        const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t readable = (bytes.size() + 1 + page - 1) / page * page;
        size_ = readable + page;
        void* map =
            ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) {
            size_ = 0;
            return;
        }
        base_ = static_cast<char*>(map);
        ::mprotect(base_ + readable, page, PROT_NONE);
        text_ = base_ + readable - bytes.size() - 1;
        if (!bytes.empty()) std::memcpy(text_, bytes.data(), bytes.size());
        text_[bytes.size()] = '\0';
    }
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;
    ~GuardedText() {
        if (base_) ::munmap(base_, size_);
    }

    // The text; null when no memory could be mapped.
    const char* c_str() const { return text_; }

private:
    char* base_ = nullptr;
    char* text_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace fuzz

#pragma once
// An environment variable set (or, given no value, removed) for the life of the object, and
// restored after it.

#include "support/windows_posix.h"

#include <stdlib.h>
#include <string>

namespace test_support {

class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = ::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

} // namespace test_support

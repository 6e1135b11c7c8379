#pragma once
// The few POSIX calls the tests use for their environment, on Windows: setenv and unsetenv
// through the C runtime, which keeps the process environment in step.
#ifdef _WIN32

#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && ::getenv(name)) return 0;
    return ::_putenv_s(name, value);
}

inline int unsetenv(const char* name) {
    return ::_putenv_s(name, ""); // an empty value removes the variable
}

#endif

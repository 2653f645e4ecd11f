#pragma once

// A minimal check helper for test programs that run without Qt (under Wine, for instance).
// Each failed check prints where and what; Summary() prints the closing count line.

#include <cstdio>

namespace check {

inline int passed = 0;
inline int failed = 0;

inline void Record(bool ok, const char* expression, const char* file, int line) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAIL %s:%d: %s\n", file, line, expression);
}

// Prints "N passed, M failed" and gives the program's exit status.
inline int Summary() {
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace check

#define CHECK(expression) check::Record(static_cast<bool>(expression), #expression, __FILE__, __LINE__)

#pragma once

#include <cstdio>

// Checks for test programs that run without Qt (under Wine, for instance): a failed check
// prints its line; Failed() gives the program's exit status.
inline int failedChecks = 0;
#define CHECK(expression)                                             \
    do {                                                              \
        if (!(expression)) {                                          \
            ++failedChecks;                                           \
            std::printf("FAIL line %d: %s\n", __LINE__, #expression); \
        }                                                             \
    } while (false)
inline int Failed() { return failedChecks == 0 ? 0 : 1; }

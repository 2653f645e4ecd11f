#pragma once

#include <cerrno>
#include <cstddef>
#include <vector>

// Calls `lookUp(buffer)`, a reentrant C library lookup that answers ERANGE while the buffer is
// too small for its entry, with a buffer grown until the entry fits (up to 1 MiB); what the last
// call answered.
template <class LookUp>
int WithGrowingBuffer(LookUp lookUp) {
    std::vector<char> buffer(1024);
    for (;;) {
        const int error = lookUp(buffer);
        if (error != ERANGE || buffer.size() >= (std::size_t{1} << 20)) return error;
        buffer.resize(buffer.size() * 2);
    }
}

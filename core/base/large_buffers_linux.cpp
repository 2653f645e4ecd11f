#include <malloc.h>

#include "core/base/large_buffers.h"

// glibc maps a buffer this large on its own and unmaps it when freed. A threshold set here stays
// put: left to itself, glibc raises it to the size of each mapped buffer freed, and from then on
// keeps tables of that size in its arenas.
void ReturnLargeBuffersWhenFreed() {
    constexpr int LargeBuffer = 256 * 1024;
    mallopt(M_MMAP_THRESHOLD, LargeBuffer);
}

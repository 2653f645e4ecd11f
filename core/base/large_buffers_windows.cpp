#include "core/base/large_buffers.h"

// The Windows heap gives blocks this large back to the system on its own when they are freed.
void ReturnLargeBuffersWhenFreed() {}

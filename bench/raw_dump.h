#pragma once

#include <cstddef>

// The floor under any reader of the kernel's table: the dumps that a snapshot asks for, one of
// each family with the same request, whose messages are only counted, never parsed. The sockets
// counted; 0 when the kernel refused.
std::size_t CountDumpedSockets();

// The witness beside the floor: `ss` with the given options, its listing thrown away, waited for.
void RunSs(const char* options);

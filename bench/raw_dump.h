#pragma once

#include <cstddef>

// The floor under any reader of the kernel's table: the dump that a snapshot asks for, both
// families in one walk, whose messages are only counted, never parsed; or, with oneWalk false,
// one dump of each family, as the program read before. The sockets counted; 0 when the kernel
// refused.
std::size_t CountDumpedSockets(bool oneWalk = true);

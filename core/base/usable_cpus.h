#pragma once

// The CPUs the calling thread may run on (Linux), which `taskset` or a container may hold to
// fewer than the machine has: how many threads can share out work at once.
unsigned UsableCpus();

#pragma once

// Makes large buffers (a table's rows, a sort's second copy) go back to the system as soon as
// they are freed, on whichever thread: a table is read on one thread and let go on another, and
// an allocator that keeps what a thread freed for its own arena holds a whole table per arena.
// Called once at start-up, before any other thread.
void ReturnLargeBuffersWhenFreed();

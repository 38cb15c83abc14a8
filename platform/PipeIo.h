#pragma once
// Exact-size reads and writes on a pipe or socket, for the records a child
// process sends back to the program that started it.

#include <cstddef>

namespace platform {

// Writes all size bytes, resuming after signals. False when the other end
// has gone.
bool writeAll(int fd, const void* data, std::size_t size);

// Reads exactly size bytes, resuming after signals. With waitMs >= 0 each
// part is waited for at most that long, so that a stalled writer cannot hold
// the reader for ever. False when the other end has gone, stalled or sent
// fewer bytes.
bool readAll(int fd, void* data, std::size_t size, int waitMs = -1);

} // namespace platform

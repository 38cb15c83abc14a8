#pragma once
// Wake-ups between the port's threads through eventfd descriptors, which a
// thread can watch in poll(2) together with the device.

#include <cstdint>
#include <poll.h>
#include <unistd.h>

namespace serial {

inline void signalFd(int fd) {
  uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(fd, &one, sizeof one);
}

inline void drainFd(int fd) {
  uint64_t value;
  [[maybe_unused]] auto n = ::read(fd, &value, sizeof value);
}

// Waits up to `ms` for `fd` to be signalled and takes the signal back.
inline void waitForWake(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, ms) > 0)
    drainFd(fd);
}

} // namespace serial

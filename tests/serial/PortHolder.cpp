// A second program for the tests: opens a serial device the way the program
// does, prints "ready <code>" and holds it until its standard input closes.

#include "serial/ComPort.h"
#include "serial/UucpLock.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 3)
    return 2;
  serial::UucpLock::setLockDir(argv[1]);
  serial::ComPort port;
  serial::PortConfig config;
  config.devicePath = argv[2];
  int rc = port.open(config);
  std::printf("ready %d\n", rc < 0 ? rc : 0);
  std::fflush(stdout);
  char c;
  while (::read(0, &c, 1) > 0) {
  }
  return 0;
}

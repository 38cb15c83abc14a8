#pragma once
// Shared set-up of the port tests: a private lock folder and data folder,
// and a pseudo-terminal per test.

#include "platform/FxErrors.h"
#include "platform/ProgramDir.h"
#include "serial/TFxComPort.h"
#include "serial/UucpLock.h"
#include "tests/serial/PtyPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

namespace testsupport {

inline const std::string& tempDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/tolvane-serial-XXXXXX";
    return std::string(::mkdtemp(tmpl));
  }();
  return dir;
}

// Polls `done` until it is true or `ms` pass.
inline bool eventually(const std::function<bool()>& done, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class PortTest : public ::testing::Test {
protected:
  void SetUp() override {
    serial::UucpLock::setLockDir(tempDir());
    platform::setProgramDir(tempDir());
    port.SetDevicePath(pty.slavePath());
    port.SetInSize(8192);
    port.SetOutSize(8192);
  }

  PtyPair pty;
  TFxComPort port;
};

} // namespace testsupport

#pragma once
// The Class 2 / 2.0 engine behind the front end's interface.

#include "sim/ModemEngine.h"

#include <functional>
#include <memory>
#include <string>

namespace tolvane::sim {

struct Class2Hooks {
  std::function<void(const uint8_t*, size_t)> toDte;
  std::function<void(std::string_view)> dial;
  std::function<void()> answer;
  std::function<void()> hangup;
};

// Null when this build has no Class 2 engine.
std::unique_ptr<ModemEngine> makeClass2Engine(bool class20, const std::string& localId,
                                              Class2Hooks hooks);

} // namespace tolvane::sim

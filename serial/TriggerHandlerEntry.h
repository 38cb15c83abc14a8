#pragma once
// One registered trigger handler. Entries are shared with a running delivery,
// so removing one while it is being called leaves the delivery intact; it is
// unlinked once the delivery is over.

#include "serial/ComTypes.h"

#include <atomic>
#include <thread>

namespace serial {

struct TriggerHandlerEntry {
  int id = 0;
  TriggerHandlerKind kind = TriggerHandlerKind::Procedure;
  TriggerProc proc;
  std::function<bool()> filter;
  std::atomic<bool> removed{false};
  // Guarded by the port lock: how many calls are running, and on which thread.
  int running = 0;
  std::thread::id runner;
};

} // namespace serial

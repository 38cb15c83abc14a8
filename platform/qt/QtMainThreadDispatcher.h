#pragma once
// The main-thread dispatcher served by the Qt event loop of the
// QCoreApplication's thread.

#include "platform/MainThreadDispatcher.h"

namespace platform {

class QtMainThreadDispatcher final : public MainThreadDispatcher {
public:
  void post(std::function<void()> fn) override;
  bool isMainThread() const override;
};

// Makes a Qt dispatcher current and hooks processPendingEvents() to
// QCoreApplication::processEvents(). Call after the QCoreApplication exists;
// uninstallQtPlatform() undoes both before it is destroyed.
void installQtPlatform();
void uninstallQtPlatform();

} // namespace platform

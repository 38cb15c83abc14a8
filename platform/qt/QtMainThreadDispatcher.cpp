#include "platform/qt/QtMainThreadDispatcher.h"

#include "platform/PendingEvents.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace platform {

void QtMainThreadDispatcher::post(std::function<void()> fn) {
  auto* app = QCoreApplication::instance();
  if (!app)
    return; // no event loop any more: the application is shutting down
  QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

bool QtMainThreadDispatcher::isMainThread() const {
  auto* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

namespace {
QtMainThreadDispatcher& qtDispatcher() {
  static QtMainThreadDispatcher dispatcher;
  return dispatcher;
}
} // namespace

void installQtPlatform() {
  setMainThreadDispatcher(&qtDispatcher());
  setProcessPendingEventsHook([] { QCoreApplication::processEvents(); });
}

void uninstallQtPlatform() {
  setProcessPendingEventsHook({});
  setMainThreadDispatcher(nullptr);
}

} // namespace platform

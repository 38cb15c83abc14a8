#include "platform/qt/QtMainThreadDispatcher.h"

#include "platform/PendingEvents.h"

#include <QCoreApplication>
#include <QEvent>
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

// Notes the application's quit (QCoreApplication::quit(), the last window
// closed) for long work that is processing events at that moment; the event
// itself goes on to end the event loop as usual.
class QuitWatch final : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance())
      requestQuit();
    return false;
  }
};
QuitWatch* quitWatch = nullptr;
} // namespace

void installQtPlatform() {
  setMainThreadDispatcher(&qtDispatcher());
  setProcessPendingEventsHook([] { QCoreApplication::processEvents(); });
  if (!quitWatch && QCoreApplication::instance()) {
    quitWatch = new QuitWatch(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(quitWatch);
  }
}

void uninstallQtPlatform() {
  setProcessPendingEventsHook({});
  setMainThreadDispatcher(nullptr);
  delete quitWatch;
  quitWatch = nullptr;
  clearQuitRequest();
}

} // namespace platform

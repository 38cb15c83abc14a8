#include "SendTestSupport.h"

#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace sendtest {

TestHome::TestHome() {
  char name[] = "/tmp/tolvane-sendtest-XXXXXX";
  m_dir = platform::withTrailingSlash(mkdtemp(name));
  platform::setProgramDir(m_dir);
  app::Settings = app::TSettings{};
}

TestHome::~TestHome() {
  platform::setProgramDir("");
  std::error_code ec;
  fs::remove_all(m_dir, ec);
}

void TestHome::SetCom(int n, const std::string& device) const {
  platform::SetPortDevicePath(n, device, Ini());
}

bool WaitUntil(const std::function<bool()>& done, double seconds) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > seconds * 1000)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(5);
  }
  return true;
}

void WhenModalWidget(const std::function<QWidget*()>& find,
                     const std::function<bool(QWidget&)>& ready,
                     const std::function<void(QWidget&)>& act, double seconds) {
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [=] {
    QWidget* w = find();
    if (w && ready(*w)) {
      timer->stop();
      act(*w);
    } else if (clock->elapsed() > seconds * 1000) {
      timer->stop();
      ADD_FAILURE() << "modal dialog not ready in time";
      if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
    } else {
      return;
    }
    timer->deleteLater();
    delete clock;
  });
  timer->start(20);
}

QString LabelText(const QWidget& w, const char* name) {
  const auto* label = w.findChild<QLabel*>(name);
  return label ? label->text() : QString();
}

void Click(QWidget& w, const char* name) {
  auto* button = w.findChild<QAbstractButton*>(name);
  ASSERT_NE(button, nullptr) << name;
  QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace sendtest

// One QApplication for the whole run, the Qt platform services (pending
// events, dispatcher) installed as the program installs them, and message
// boxes that fail the run instead of waiting when no answer was queued.
#include "widgets/MessageBoxes.h"
#include "platform/qt/QtMainThreadDispatcher.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class ComposeEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "compose_tests";
    static char* argv[] = {name, nullptr};
    m_app = new QApplication(argc, argv);
    platform::installQtPlatform();
    appwidgets::MessageBoxHook::setFailWithoutAnswer(true);
  }
  void TearDown() override {
    platform::uninstallQtPlatform();
    delete m_app;
    m_app = nullptr;
  }

private:
  QApplication* m_app = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ComposeEnvironment);

} // namespace

// The test programs' main: a Qt application with the program's dispatcher,
// and message boxes that fail a test instead of waiting for a person.

#include "widgets/MessageBoxes.h"
#include "platform/qt/QtMainThreadDispatcher.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Listing the tests at build time runs without a display.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::installQtPlatform();
  appwidgets::MessageBoxHook::setFailWithoutAnswer(true);
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  platform::uninstallQtPlatform();
  return rc;
}

// Every Help button opens the page written for its window, and Help still
// works after Preferences, which installs a handler of its own, has closed.
// Status lines, where help hints and call progress go, never widen a window.

#include "tests/app/AppGuiTestKit.h"

#include "app/TEditReceiveNotes.h"
#include "app/TPreferences.h"
#include "core/FaxTables.h"
#include "compose/TCoverBrowse.h"
#include "compose/TCoverEditor.h"
#include "compose/TFaxEditor.h"
#include "compose/TPhoneBook.h"
#include "compose/TPhoneBookEditor.h"
#include "send/TResetModemForm.h"
#include "send/TSendFaxForm.h"
#include "faxview/TFaxViewer.h"
#include "xbase/Table.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace appgui;

namespace {

QString shownHelpTitle() {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == "HelpWindow" && top->isVisible())
      return top->findChild<QTextBrowser*>("HelpBrowser")->documentTitle();
  return QStringLiteral("(no help window)");
}

void closeHelp() {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == "HelpWindow")
      top->close();
  QTest::qWait(1);
}

} // namespace

TEST(HelpPages, EveryHelpButtonOpensThePageOfItsWindow) {
  DataFolder data;
  TMainScreen w;
  w.show();
  xbase::Table covers;
  ASSERT_TRUE(app::OpenCoverDBF(covers));

  struct Case {
    std::function<QWidget*()> make;
    const char* button;
    const char* title;
  };
  const Case cases[] = {
      {[&] { return new compose::TFaxEditor(&w); }, "Helpbutton", "Writing a fax"},
      {[&] { return new TSendFaxForm(&w); }, "Helpbutton", "Sending a fax"},
      {[&] { return new TSendFaxForm(&w); }, "ExplorerButton1", "Troubleshooting tips"},
      {[&] { return new compose::TCoverBrowse(covers, &w); }, "HelpButton", "Cover sheets"},
      {[&] { return new compose::TCoverEditor(&w); }, "HelpButton",
       "The cover sheet template editor"},
      {[&] { return new compose::TPhoneBook(&w); }, "Helpbutton", "The phone book"},
      {[&] { return new compose::TPhoneBookEditor(&w); }, "Helpbutton", "The phone book editor"},
      {[&] { return new TFaxViewer(&w); }, "Helpbutton", "Viewing and printing a fax"},
      {[&] { return new TPreferences(&w); }, "HelpButton", "Preferences and choosing your modem"},
      {[&] { return new TResetModemForm(&w); }, "Helpbutton", "Modem reset"},
      {[&] { return new TEditReceiveNotes(&w); }, "HelpButton", "Received faxes and their notes"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<QWidget> window(c.make());
    window->show();
    auto* button = window->findChild<QPushButton*>(c.button);
    ASSERT_NE(button, nullptr) << window->metaObject()->className() << " " << c.button;
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(shownHelpTitle(), c.title) << window->metaObject()->className() << " " << c.button;
    window.reset();
    closeHelp();
  }
  // Preferences has closed; help from another window must not reach it.
  {
    compose::TPhoneBookEditor editor(&w);
    editor.show();
    QTest::mouseClick(editor.findChild<QPushButton*>("Helpbutton"), Qt::LeftButton);
    EXPECT_EQ(shownHelpTitle(), "The phone book editor");
  }
  closeHelp();
  w.findChild<QAction*>("Contents1")->trigger();
  EXPECT_EQ(shownHelpTitle(), "Tolvane Help");
  closeHelp();
  covers.close();
  w.close();
}

TEST(StatusLines, ALongTextIsCutAndNeverWidensTheWindow) {
  DataFolder data;
  TMainScreen w;
  w.show();
  TSendFaxForm send(&w);
  send.show();
  QTest::qWait(1);
  const int sendWidth = send.width();
  const int mainWidth = w.width();
  const QString longText = QStringLiteral("Finished: OK ") + QString(300, QLatin1Char('x'));
  send.findChild<QLabel*>("status")->setText(longText);
  w.StatusLine()->setText(longText);
  send.adjustSize();
  QTest::qWait(1);
  EXPECT_LE(send.width(), sendWidth);
  EXPECT_EQ(w.width(), mainWidth);
  send.close();
  w.close();
}

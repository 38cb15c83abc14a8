// The main window's button and menu states, hints, placement memory, and
// start-up with tables that cannot be opened.

#include "tests/app/AppGuiTestKit.h"

#include "app/ReceiveNotices.h"
#include "app/TRebuildInd.h"
#include "widgets/MessageBoxes.h"
#include "platform/ProgramDir.h"
#include "xbase/Table.h"

#include <QAction>
#include <QLabel>
#include <QLibrary>
#include <QPushButton>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace appgui;
using appwidgets::MessageBoxHook::lastText;
using appwidgets::MessageBoxHook::setNextAnswer;

namespace {

struct Controls {
  explicit Controls(TMainScreen& w) : window(w) {}
  bool enabled(const char* name) const {
    if (auto* b = Find<QPushButton>(&window, name))
      return b->isEnabled();
    auto* a = Find<QAction>(&window, name);
    EXPECT_NE(a, nullptr) << name;
    return a && a->isEnabled();
  }
  void page(int index) {
    QTabBar* tabs = Find<QTabBar>(&window, "TabSet1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
  }
  TMainScreen& window;
};

// The states one page shows, in the order New, Edit, Clone, Delete, Send, View.
std::string states(const Controls& c) {
  std::string s;
  for (const char* name :
       {"Newbutton", "EditButton", "CloneButton", "DeleteButton", "SendButton", "ViewFaxButton"})
    s += c.enabled(name) ? '1' : '0';
  return s;
}

} // namespace

TEST(MainScreen, ButtonsFollowTheListsThePageAndReceiveMode) {
  DataFolder data;
  {
    TMainScreen w;
    w.show();
    Controls c(w);
    EXPECT_EQ(states(c), "100000"); // empty Sent page: only New
    EXPECT_TRUE(c.enabled("ReceiveButton"));
    EXPECT_TRUE(c.enabled("mnuRebuildIndexes"));
    c.page(1);
    EXPECT_EQ(w.CurrentPage(), 1);
    EXPECT_EQ(states(c), "000000"); // empty Received page: New belongs to Sent
    EXPECT_FALSE(c.enabled("mnuNew"));
    w.close();
  }
  data.AddSent({"Quarterly report", true, "20240301", "10:00"});
  data.AddReceived({"20240302", "11:00", "REMOTE", 2, "FAX0001.APF", ""});
  TMainScreen w;
  w.show();
  Controls c(w);
  EXPECT_EQ(states(c), "111111");
  EXPECT_TRUE(c.enabled("mnuSend") && c.enabled("mnuClone") && c.enabled("mnuDelete"));
  MainScreenTestAccess::SetReceiving(w, true);
  // Receiving: no Send, maintenance, preferences or modem reset; Sent edits stay.
  EXPECT_EQ(states(c), "111101");
  EXPECT_FALSE(c.enabled("mnuSend") || c.enabled("mnuRebuildIndexes") ||
               c.enabled("mnuPreferences") || c.enabled("mnuModemReset"));
  EXPECT_TRUE(c.enabled("ReceiveButton") && c.enabled("mnuReceive"));
  c.page(1);
  EXPECT_EQ(states(c), "000001"); // Received while receiving: only View
  MainScreenTestAccess::SetReceiving(w, false);
  EXPECT_EQ(states(c), "010101");
  w.close();
}

TEST(MainScreen, CommandsOnAnEmptyListOnlyBeep) {
  DataFolder data;
  TMainScreen w;
  w.show();
  // Disabled buttons aside, the commands themselves must not act on nothing.
  w.CloneButtonClick();
  w.DeleteButtonClick();
  w.EditButtonClick();
  w.mnuViewPrintClick();
  EXPECT_TRUE(appwidgets::MessageBoxHook::shownTexts().isEmpty());
  w.close();
}

TEST(MainScreen, HintsCanBeTurnedOffAndTheChoiceIsKept) {
  DataFolder data;
  {
    TMainScreen w;
    w.show();
    QLabel* status = Find<QLabel>(&w, "status");
    QPushButton* newButton = Find<QPushButton>(&w, "Newbutton");
    QStatusTipEvent tip(newButton->statusTip());
    QApplication::sendEvent(newButton, &tip);
    EXPECT_EQ(status->text(), QStringLiteral("Create a new fax"));
    QAction* showHints = Find<QAction>(&w, "mnuShowHint");
    ASSERT_TRUE(showHints->isChecked());
    showHints->trigger();
    EXPECT_FALSE(showHints->isChecked());
    EXPECT_TRUE(status->text().isEmpty());
    QApplication::sendEvent(newButton, &tip);
    EXPECT_TRUE(status->text().isEmpty()) << "hint shown while hints are off";
    EXPECT_EQ(data.ReadIni("Hints", "On"), "0");
    w.close();
  }
  TMainScreen again;
  again.show();
  EXPECT_FALSE(Find<QAction>(&again, "mnuShowHint")->isChecked());
  Find<QAction>(&again, "mnuShowHint")->trigger();
  EXPECT_EQ(data.ReadIni("Hints", "On"), "1");
  again.close();
}

TEST(MainScreen, PlacementIsRestoredAndPulledBackOntoTheScreen) {
  DataFolder data;
  const QRect wanted(60, 50, 700, 420); // inside the 800 x 600 offscreen screen
  {
    TMainScreen w;
    w.show();
    w.setGeometry(wanted);
    QTest::qWait(50);
    w.close();
  }
  EXPECT_EQ(data.ReadIni("TMainScreen_Placement", "Left"), "60");
  {
    TMainScreen w;
    w.show();
    EXPECT_EQ(w.normalGeometry(), wanted);
    w.close();
  }
  // A placement from a larger screen, far right and below this one.
  data.WriteIni("TMainScreen_Placement", "Left", "6000");
  data.WriteIni("TMainScreen_Placement", "Top", "5000");
  data.WriteIni("TMainScreen_Placement", "Right", "6700");
  data.WriteIni("TMainScreen_Placement", "Bottom", "5460");
  TMainScreen w;
  w.show();
  const QRect screen = w.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(w.geometry().topLeft())) << "window left off-screen";
  EXPECT_TRUE(screen.intersects(w.geometry()));
  w.close();
}

TEST(MainScreen, ATableLockedByAnotherProcessGivesTheMessageAndNothingElse) {
  DataFolder data;
  data.AddSent({"Kept", false, "", ""});
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    xbase::Table holder;
    holder.open(data.Path() + "TOV.DBF");
    (void)!write(ready[1], "x", 1);
    sleep(30);
    _exit(0);
  }
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  setNextAnswer(QMessageBox::Ok);
  {
    TMainScreen w;
    EXPECT_FALSE(w.TablesOpen());
    EXPECT_TRUE(lastText().startsWith("Unable to open/create the FAX datafile - closing program"));
    EXPECT_TRUE(lastText().contains("in use by another program")) << lastText().toStdString();
    // The window closes itself through the posted request.
    w.show();
    EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }, 2000));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
}

TEST(MainScreen, ADamagedReceivedTableIsReportedAndLeftAsItWas) {
  DataFolder data;
  const std::string damaged = "this is not a table, but it is the user's file";
  std::ofstream(data.Path() + "TOVREC.DBF") << damaged;
  setNextAnswer(QMessageBox::Ok);
  {
    TMainScreen w;
    EXPECT_FALSE(w.TablesOpen());
    EXPECT_TRUE(lastText().startsWith("Unable to open/create the FAX RECEIVE datafile - closing "
                                      "program"));
    EXPECT_TRUE(lastText().contains("damaged")) << lastText().toStdString();
  }
  std::ifstream in(data.Path() + "TOVREC.DBF");
  std::string after((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(after, damaged);
}

TEST(MainScreen, RebuildIndexesPacksDeletedFaxesAndShowsEachStep) {
  DataFolder data;
  for (const char* subject : {"keep one", "drop one", "keep two", "drop two"})
    data.AddSent({subject, true, "20240301", "10:00"});
  TMainScreen w;
  w.show();
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(w.SelectCurrentSent());
    // Delete the first "drop" fax the list shows.
    QTableView* grid = Find<QTableView>(&w, "FaxGrid");
    for (int row = 0; row < grid->model()->rowCount(); ++row)
      if (grid->model()->index(row, 6).data().toString().startsWith("drop"))
        grid->setCurrentIndex(grid->model()->index(row, 0));
    appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Yes);
    w.DeleteButtonClick();
  }
  EXPECT_EQ(w.FaxTable().recCount(), 4); // deletion only marks
  // The window works and closes itself at once; what it showed is taken
  // when it finishes (caught as it is shown, before the work starts).
  QStringList steps;
  struct ShowWatch : QObject {
    QStringList* steps;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (auto* rebuild = qobject_cast<TRebuildInd*>(o); rebuild && e->type() == QEvent::Show)
        connect(rebuild, &QDialog::finished, this,
                [this, rebuild] { *steps = rebuild->StepsShown(); });
      return false;
    }
  } watch;
  watch.steps = &steps;
  qApp->installEventFilter(&watch);
  Find<QAction>(&w, "mnuRebuildIndexes")->trigger();
  EXPECT_EQ(w.FaxTable().recCount(), 2);
  qApp->removeEventFilter(&watch);
  EXPECT_TRUE(steps.contains("Removing FAX file records marked for deletion"));
  ASSERT_FALSE(steps.isEmpty());
  EXPECT_EQ(steps.last(), "Rebuilding COVER file indexes") << steps.join('|').toStdString();
  EXPECT_EQ(Find<QTableView>(&w, "FaxGrid")->model()->rowCount(), 2);
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "TOVPB.DBF"));
  EXPECT_TRUE(std::filesystem::exists(data.Path() + "TOVCOV.CDX"));
  w.close();
}

TEST(MainScreen, ViewingAReceivedFaxWithoutItsFileSaysSoAndKeepsTheRecord) {
  DataFolder data;
  data.AddReceived({"20240302", "11:00", "REMOTE", 2, "FAX0007.APF", ""});
  TMainScreen w;
  w.show();
  w.SetCurrentPage(1);
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
  Find<QAction>(&w, "mnuViewPrint")->trigger();
  EXPECT_EQ(lastText(), "Fax file is missing");
  EXPECT_TRUE(Find<QLabel>(&w, "status")->text().isEmpty());
  EXPECT_EQ(Find<QTableView>(&w, "RecFaxGrid")->model()->rowCount(), 1);
  w.close();
}

TEST(MainScreen, TheNoticesModuleIsFoundAndOffersSoundAndNotification) {
  TestApp();
  EXPECT_TRUE(app::NoticesAvailable());
  EXPECT_EQ(app::PlayFaxSound(QStringLiteral("/nonexistent/bell.wav"), nullptr), nullptr);
}

// The lists and the record commands of the main window: order, deletion with
// its questions, notes of received faxes, and how the list model reads.

#include "tests/app/AppGuiTestKit.h"

#include "app/FaxTableModel.h"
#include "app/TEditReceiveNotes.h"
#include "core/FaxTables.h"
#include "widgets/MessageBoxes.h"
#include "compose/TFaxEditor.h"
#include "faxview/TFaxViewer.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using namespace appgui;
namespace hook = appwidgets::MessageBoxHook;

namespace {

QString cell(QTableView* grid, int row, int column) {
  return grid->model()->index(row, column).data().toString();
}

void showPage(TMainScreen& w, int page) {
  QTabBar* tabs = Find<QTabBar>(&w, "TabSet1");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
}

void selectRow(QTableView* grid, int row) {
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                    grid->visualRect(grid->model()->index(row, 1)).center());
}

} // namespace

TEST(MainScreenLists, SentListIsNewestFirstWithUnsentFaxesLast) {
  DataFolder data;
  data.AddSent({"unsent one", false, "", ""});
  data.AddSent({"january", true, "20240105", "09:30"});
  data.AddSent({"march morning", true, "20240305", "08:15"});
  data.AddSent({"unsent two", false, "", ""});
  data.AddSent({"march evening", true, "20240305", "18:40"});
  TMainScreen w;
  w.show();
  QTableView* grid = Find<QTableView>(&w, "FaxGrid");
  ASSERT_EQ(grid->model()->rowCount(), 5);
  EXPECT_EQ(cell(grid, 0, 6), "march evening");
  EXPECT_EQ(cell(grid, 1, 6), "march morning");
  EXPECT_EQ(cell(grid, 2, 6), "january");
  EXPECT_TRUE(cell(grid, 3, 6).startsWith("unsent") && cell(grid, 4, 6).startsWith("unsent"));
  EXPECT_EQ(cell(grid, 0, 0), "Yes");
  EXPECT_EQ(cell(grid, 3, 0), "No ");
  EXPECT_EQ(cell(grid, 0, 2), "18:40");
  EXPECT_TRUE(cell(grid, 3, 1).isEmpty());
  QStringList titles;
  for (int c = 0; c < grid->model()->columnCount(); ++c)
    titles << grid->model()->headerData(c, Qt::Horizontal).toString();
  EXPECT_EQ(titles.join('|'),
            "Sent|Date Sent|Time Sent|Recipient|Phone|Pages|Subject|Last Attempt");
  w.close();
}

TEST(MainScreenLists, DeletingAskWithNoAsDefaultAndNoKeepsTheFax) {
  DataFolder data;
  data.AddSent({"first", true, "20240101", "10:00"});
  data.AddSent({"second", true, "20240202", "10:00"});
  TMainScreen w;
  w.show();
  QTableView* grid = Find<QTableView>(&w, "FaxGrid");
  selectRow(grid, 1);
  hook::setNextAnswer(QMessageBox::No);
  QTest::mouseClick(Find<QPushButton>(&w, "DeleteButton"), Qt::LeftButton);
  EXPECT_EQ(hook::lastText(), "Delete the current fax?\r\n(subject: \"first\")");
  EXPECT_EQ(hook::lastCaption(), "Delete");
  EXPECT_EQ(hook::lastDefaultButton(), QMessageBox::No);
  EXPECT_EQ(grid->model()->rowCount(), 2);
  hook::setNextAnswer(QMessageBox::Yes);
  QTest::mouseClick(Find<QPushButton>(&w, "DeleteButton"), Qt::LeftButton);
  ASSERT_EQ(grid->model()->rowCount(), 1);
  EXPECT_EQ(cell(grid, 0, 6), "second");
  // The last one through the menu; then the list is empty and disabled.
  hook::setNextAnswer(QMessageBox::Yes);
  Find<QAction>(&w, "mnuDelete")->trigger();
  EXPECT_EQ(grid->model()->rowCount(), 0);
  EXPECT_FALSE(grid->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(&w, "DeleteButton")->isEnabled());
  w.close();
}

TEST(MainScreenLists, DeletingAReceivedFaxRemovesItsFileOnly) {
  DataFolder data;
  const std::string first = data.WriteReceivedFile("FAX0001.APF");
  const std::string second = data.WriteReceivedFile("FAX0002.APF");
  data.AddReceived({"20240301", "09:00", "OLD STATION", 1, "FAX0001.APF", ""});
  data.AddReceived({"20240302", "09:00", "NEW STATION", 3, "FAX0002.APF", ""});
  data.AddReceived({"20240303", "09:00", "NO FILE", 1, "", ""});
  TMainScreen w;
  w.show();
  showPage(w, 1);
  QTableView* grid = Find<QTableView>(&w, "RecFaxGrid");
  ASSERT_EQ(grid->model()->rowCount(), 3);
  EXPECT_EQ(cell(grid, 1, 2), "NEW STATION");
  selectRow(grid, 1);
  hook::setNextAnswer(QMessageBox::Yes);
  QTest::mouseClick(Find<QPushButton>(&w, "DeleteButton"), Qt::LeftButton);
  EXPECT_EQ(hook::lastText(), "Delete the current fax?\r\n(from: \"NEW STATION\")");
  EXPECT_EQ(hook::lastDefaultButton(), QMessageBox::No);
  EXPECT_FALSE(std::filesystem::exists(second));
  EXPECT_TRUE(std::filesystem::exists(first));
  EXPECT_EQ(grid->model()->rowCount(), 2);
  // A record without a file name removes no file (and not the folder).
  selectRow(grid, 0);
  hook::setNextAnswer(QMessageBox::Yes);
  QTest::mouseClick(Find<QPushButton>(&w, "DeleteButton"), Qt::LeftButton);
  EXPECT_EQ(hook::lastText(), "Delete the current fax?\r\n(from: \"NO FILE\")");
  EXPECT_TRUE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::is_directory(data.Path() + "receive"));
  w.close();
}

TEST(MainScreenLists, NotesOfAReceivedFaxAreEditedInTheNotesDialog) {
  DataFolder data;
  data.AddReceived({"20240301", "09:00", "STATION A", 1, "FAX0001.APF", "old note"});
  data.AddReceived({"20240302", "09:00", "STATION B", 1, "FAX0002.APF", ""});
  TMainScreen w;
  w.show();
  showPage(w, 1);
  QTableView* grid = Find<QTableView>(&w, "RecFaxGrid");
  selectRow(grid, 1);
  QString descript, notes, hintShown;
  OnNextModal("TEditReceiveNotes", [&](QWidget* dialog) {
    descript = Find<QLabel>(dialog, "Descript")->text();
    QLineEdit* field = Find<QLineEdit>(dialog, "Notes");
    notes = field->text();
    // The dialog's own status line takes the hints while it is open.
    QPushButton* accept = Find<QPushButton>(dialog, "AcceptButton");
    QStatusTipEvent tip(accept->statusTip());
    QApplication::sendEvent(accept, &tip);
    hintShown = Find<QLabel>(dialog, "status")->text();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("call back Tuesday"));
    QTest::mouseClick(accept, Qt::LeftButton);
  });
  QTest::mouseClick(Find<QPushButton>(&w, "EditButton"), Qt::LeftButton);
  EXPECT_EQ(descript, "From: STATION A");
  EXPECT_EQ(notes, "old note");
  EXPECT_EQ(hintShown, "Accept changes made and exit");
  EXPECT_EQ(cell(grid, 1, 4), "call back Tuesday");
  // Cancel changes nothing.
  OnNextModal("TEditReceiveNotes", [](QWidget* dialog) {
    QTest::keyClicks(Find<QLineEdit>(dialog, "Notes"), QStringLiteral(" and more"));
    QTest::mouseClick(Find<QPushButton>(dialog, "CancelButton"), Qt::LeftButton);
  });
  QTest::mouseClick(Find<QPushButton>(&w, "EditButton"), Qt::LeftButton);
  EXPECT_EQ(cell(grid, 1, 4), "call back Tuesday");
  EXPECT_EQ(cell(grid, 0, 4), "");
  w.close();
}

TEST(MainScreenLists, ScrollingReadsBlocksNotTheWholeTable) {
  DataFolder data;
  xbase::TableEnv::setDeleted(true);
  {
    xbase::Table table;
    ASSERT_TRUE(app::OpenFaxDBF(table));
    for (int i = 0; i < 1500; ++i) {
      table.append();
      char date[9];
      std::snprintf(date, sizeof date, "2024%02d%02d", 1 + i / 28 % 12, 1 + i % 28);
      table.setField("SUBJECT", "fax " + std::to_string(i));
      table.setDate("DATESENT", date);
      table.setLogical("SENT", true);
      table.post();
    }
  }
  TMainScreen w;
  w.show();
  QTableView* grid = Find<QTableView>(&w, "FaxGrid");
  app::FaxTableModel& model = MainScreenTestAccess::SentModel(w);
  ASSERT_EQ(model.rowCount(), 1500);
  QString previous = cell(grid, 0, 1);
  for (int row = 0; row < 1500; row += 25) {
    grid->scrollTo(model.index(row, 0));
    QTest::qWait(1);
    EXPECT_LE(model.BlocksHeld(), app::FaxTableModel::MaxBlocks);
  }
  grid->scrollToBottom();
  QTest::qWait(1);
  // Every row came from the table in order, and what is kept stays small.
  EXPECT_FALSE(cell(grid, 1499, 6).isEmpty());
  EXPECT_LE(model.BlocksHeld(), app::FaxTableModel::MaxBlocks);
  EXPECT_EQ(model.RowOf(model.RecNoAt(700), false), 700);
  w.close();
}

namespace {
// Fills the fax editor as a user would and presses Accept (or Cancel).
void answerEditor(std::function<void(compose::TFaxEditor&)> check, bool accept = true) {
  OnNextModal("compose::TFaxEditor", [check, accept](QWidget* dialog) {
    auto* editor = qobject_cast<compose::TFaxEditor*>(dialog);
    check(*editor);
    QTest::mouseClick(Find<QPushButton>(dialog, accept ? "OKButton" : "CancelButton"),
                      Qt::LeftButton);
  });
}

int rowWithSubject(QTableView* grid, const QString& subject) {
  for (int row = 0; row < grid->model()->rowCount(); ++row)
    if (cell(grid, row, 6) == subject)
      return row;
  return -1;
}
} // namespace

TEST(MainScreenLists, NewCloneAndEditGoThroughTheFaxEditor) {
  DataFolder data;
  data.AddSent({"Report", true, "20240301", "10:00", "Alice", "5550100"});
  TMainScreen w;
  w.show();
  QTableView* grid = Find<QTableView>(&w, "FaxGrid");

  answerEditor([](compose::TFaxEditor& e) {
    QTest::keyClicks(e.Recipient, "Bob");
    QTest::keyClicks(e.FaxNumber, "5550199");
    QTest::keyClicks(e.Subject, "Hello");
    e.RichDoc->setPlainText("Body text of the new fax");
  });
  QTest::mouseClick(Find<QPushButton>(&w, "Newbutton"), Qt::LeftButton);
  ASSERT_EQ(grid->model()->rowCount(), 2);
  EXPECT_EQ(cell(grid, 1, 6), "Hello"); // unsent: after the sent one
  EXPECT_EQ(cell(grid, 1, 0), "No ");
  EXPECT_TRUE(cell(grid, 1, 1).isEmpty());
  EXPECT_EQ(cell(grid, 1, 3), "Bob");

  // Clone: the same fax with "[clone]" before the subject.
  selectRow(grid, 1);
  QString clonedSubject, clonedBody, clonedRecipient;
  answerEditor([&](compose::TFaxEditor& e) {
    clonedSubject = e.Subject->text();
    clonedRecipient = e.Recipient->text();
    clonedBody = e.RichDoc->toPlainText();
  });
  QTest::mouseClick(Find<QPushButton>(&w, "CloneButton"), Qt::LeftButton);
  EXPECT_EQ(clonedSubject, "[clone]Hello");
  EXPECT_EQ(clonedRecipient, "Bob");
  EXPECT_TRUE(clonedBody.contains("Body text of the new fax")) << clonedBody.toStdString();
  ASSERT_EQ(grid->model()->rowCount(), 3);
  const int clone = rowWithSubject(grid, "[clone]Hello");
  ASSERT_GE(clone, 1);
  EXPECT_EQ(cell(grid, clone, 4), "5550199");
  selectRow(grid, clone);
  ASSERT_TRUE(w.SelectCurrentSent());
  EXPECT_NE(w.FaxTable().memo("RTFDOC").find("Body text of the new fax"), std::string::npos);
  EXPECT_FALSE(w.FaxTable().fieldLogical("SENT"));

  // Cancel leaves the table as it was.
  answerEditor([](compose::TFaxEditor& e) { QTest::keyClicks(e.Subject, "never stored"); }, false);
  QTest::mouseClick(Find<QPushButton>(&w, "Newbutton"), Qt::LeftButton);
  EXPECT_EQ(grid->model()->rowCount(), 3);

  // Edit changes the selected fax in place.
  selectRow(grid, rowWithSubject(grid, "Report"));
  QString editedSubject;
  answerEditor([&](compose::TFaxEditor& e) {
    editedSubject = e.Subject->text();
    e.Subject->selectAll();
    QTest::keyClicks(e.Subject, "Report v2");
  });
  QTest::mouseClick(Find<QPushButton>(&w, "EditButton"), Qt::LeftButton);
  EXPECT_EQ(editedSubject, "Report");
  EXPECT_EQ(grid->model()->rowCount(), 3);
  EXPECT_GE(rowWithSubject(grid, "Report v2"), 0);
  EXPECT_EQ(rowWithSubject(grid, "Report"), -1);
  w.close();
}

TEST(MainScreenLists, ViewingAStoredFaxShowsItsFileAndDeletesItAfterwards) {
  DataFolder data;
  data.AddSent({"To view", false, "", "", "Carol", "5550100"});
  TMainScreen w;
  w.show();
  ASSERT_TRUE(w.SelectCurrentSent());
  w.FaxTable().edit();
  w.FaxTable().setMemo("RTFDOC", "{\\rtf1\\ansi A page worth viewing.\\par}");
  w.FaxTable().post();
  QString shownFile, caption;
  bool existedWhileShown = false;
  OnNextModal("TFaxViewer", [&](QWidget* dialog) {
    auto* viewer = qobject_cast<TFaxViewer*>(dialog);
    shownFile = viewer->FaxFileName();
    caption = viewer->FaxPrinter()->FaxHeader()->Caption();
    existedWhileShown = QFileInfo::exists(shownFile);
    QTest::mouseClick(Find<QPushButton>(dialog, "CloseButton"), Qt::LeftButton);
  });
  QTest::mouseClick(Find<QPushButton>(&w, "ViewFaxButton"), Qt::LeftButton);
  EXPECT_TRUE(existedWhileShown) << shownFile.toStdString();
  EXPECT_EQ(caption, "Carol - To view");
  EXPECT_FALSE(QFileInfo::exists(shownFile)) << "temporary fax file left behind";
  EXPECT_TRUE(Find<QLabel>(&w, "status")->text().isEmpty());
  EXPECT_TRUE(Find<QWidget>(&w, "ButtonBar")->isEnabled());
  w.close();
}

// The search field of the main window: typing filters both lists by the
// words read from received faxes (the real OCR reader and index) and by the
// records' subject, recipient, number, remote ID and notes.
#include "tests/app/AppGuiTestKit.h"

#include "../archive/OcrPages.h"
#include "../faxview/FaxFiles.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace appgui;

namespace {

QStringList column(QTableView* grid, int col) {
  QStringList cells;
  for (int row = 0; row < grid->model()->rowCount(); ++row)
    cells << grid->model()->index(row, col).data().toString();
  cells.sort();
  return cells;
}

void type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

TEST(FaxSearch, TypedWordsFilterBothListsByTextAndFields) {
  DataFolder data;
  data.AddSent({"Walnut quote", true, "20240301", "10:00", "Kingsway Joinery", "555-0100"});
  data.AddSent({"Oak invoice", false, "", "", "Harbour Mill", "555 0199"});
  std::filesystem::create_directories(data.Path() + "receive");
  faxtest::writeApf(data.Path() + "receive/FAX00001.APF",
                    {archivetest::DrawTextPage("Invoice from Northfield Timber\nfor walnut boards", 20)});
  faxtest::writeApf(data.Path() + "receive/FAX00002.APF",
                    {archivetest::DrawTextPage("Statement of account", 20)}, false);
  data.AddReceived({"20240302", "09:00", "NORTHFIELD", 1, "FAX00001.APF", ""});
  data.AddReceived({"20240303", "11:30", "+44 1202 555", 1, "fax00002.apf", "call back about oak"});
  TMainScreen w;
  w.show();
  QLineEdit* edit = Find<QLineEdit>(&w, "SearchEdit");
  QTableView* sent = Find<QTableView>(&w, "FaxGrid");
  QTableView* received = Find<QTableView>(&w, "RecFaxGrid");
  ASSERT_TRUE(edit && sent && received);
  ASSERT_EQ(sent->model()->rowCount(), 2);
  ASSERT_EQ(received->model()->rowCount(), 2);

  // A word only the first fax's page holds: found once the reader has it.
  type(edit, QStringLiteral("walnut"));
  EXPECT_TRUE(WaitFor([&] { return received->model()->rowCount() == 1; }, 90000));
  EXPECT_EQ(column(received, 2), QStringList{"NORTHFIELD"});
  EXPECT_EQ(column(sent, 6), QStringList{"Walnut quote"});
  // A picture for looking at the field in use (under xvfb-run).
  if (const QByteArray shots = qgetenv("TOLVANE_SHOTS"); !shots.isEmpty()) {
    QTest::qWait(300);
    w.grab().save(QString::fromLocal8Bit(shots) + "/search-sent.png");
    QTest::mouseClick(Find<QTabBar>(&w, "TabSet1"), Qt::LeftButton, {},
                      Find<QTabBar>(&w, "TabSet1")->tabRect(1).center());
    QTest::qWait(300);
    w.grab().save(QString::fromLocal8Bit(shots) + "/search-received.png");
  }

  // Notes and subject; remote ID and page text together; a number whatever
  // its punctuation; words in no fax.
  type(edit, QStringLiteral("oak"));
  EXPECT_TRUE(WaitFor([&] { return column(sent, 6) == QStringList{"Oak invoice"}; }));
  EXPECT_EQ(column(received, 2), QStringList{"+44 1202 555"});
  type(edit, QStringLiteral("northfield timber"));
  EXPECT_TRUE(WaitFor([&] { return sent->model()->rowCount() == 0; }));
  EXPECT_EQ(column(received, 2), QStringList{"NORTHFIELD"});
  type(edit, QStringLiteral("STATEMENT 1202555"));
  EXPECT_TRUE(WaitFor([&] { return column(received, 2) == QStringList{"+44 1202 555"}; }));
  type(edit, QStringLiteral("5550199"));
  EXPECT_TRUE(WaitFor([&] { return column(sent, 6) == QStringList{"Oak invoice"}; }));
  EXPECT_EQ(received->model()->rowCount(), 0);
  type(edit, QStringLiteral("walnut maple"));
  EXPECT_TRUE(WaitFor([&] { return sent->model()->rowCount() == 0; }));
  EXPECT_EQ(received->model()->rowCount(), 0);

  // Cleared: every fax again, and the commands act on the rows shown.
  type(edit, QString());
  EXPECT_TRUE(WaitFor([&] {
    return sent->model()->rowCount() == 2 && received->model()->rowCount() == 2;
  }));
}

} // namespace

// The search field of the main window: typing filters both lists by the
// words read from received faxes (the real OCR reader and index) and by the
// records' subject, recipient, number, remote ID and notes.
#include "tests/app/AppGuiTestKit.h"

#include "../archive/OcrPages.h"
#include "../faxview/FaxFiles.h"

#include "app/FaxArchiveService.h"
#include "faxview/TFaxViewer.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
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

// The box around the pixels in which two pages differ.
QRect differingPixels(const faximage::PageBitmap& a, const faximage::PageBitmap& b) {
  QRect box;
  for (int y = 0; y < std::min(a.height(), b.height()); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y))
        box |= QRect(x, y, 1, 1);
  return box;
}

// The ink under a rectangle of the viewer's page image: 0 white to 255 black
// per pixel, whether the page is shown shrunk (gray levels) or not.
long inkIn(const QImage& shown, const QRect& r) {
  long ink = 0;
  const QRect inside = r.intersected(shown.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x)
      ink += shown.format() == QImage::Format_Indexed8 ? shown.pixelIndex(x, y)
                                                       : 255 * shown.pixelIndex(x, y);
  return ink;
}

double overlap(const QRect& a, const QRect& b) {
  const QRect common = a.intersected(b);
  const double both = double(common.width()) * common.height();
  return both / (double(a.width()) * a.height() + double(b.width()) * b.height() - both);
}

TEST(FaxSearch, FoundWordsAreMarkedWhereTheyStandInTheViewer) {
  DataFolder data;
  std::filesystem::create_directories(data.Path() + "receive");
  // Where "walnut" stands, known without OCR: the page drawn with and
  // without it differs in exactly its pixels. It stands low on the page, so
  // that the window must scroll to show it.
  std::string above = "Invoice from Northfield Timber\n";
  for (int line = 1; line <= 16; ++line)
    above += "Item " + std::to_string(line) + ": boards of oak, sawn and dried\n";
  const auto page = archivetest::DrawTextPage(above + "walnut\nfor the workshop", 20);
  const auto without = archivetest::DrawTextPage(above + "\nfor the workshop", 20);
  const QRect ink = differingPixels(page, without);
  ASSERT_FALSE(ink.isEmpty());
  ASSERT_LT(ink.height(), 80) << "the lines below moved: not one word's pixels";
  faxtest::writeApf(data.Path() + "receive/FAX00001.APF", {page});
  data.AddReceived({"20240302", "09:00", "NORTHFIELD", 1, "FAX00001.APF", ""});
  TMainScreen w;
  w.show();
  auto* tabs = Find<QTabBar>(&w, "TabSet1");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  QTableView* received = Find<QTableView>(&w, "RecFaxGrid");
  type(Find<QLineEdit>(&w, "SearchEdit"), QStringLiteral("walnut"));
  // The list shows the fax once its text is read; until then no word of it
  // is known and the list is empty.
  ASSERT_TRUE(WaitFor(
      [&] { return Find<QLabel>(&w, "SearchCount")->text() == "0 sent, 1 received"; }, 90000))
      << w.findChild<app::FaxArchiveService*>()->Problem().toStdString();
  received->setFocus();
  QTest::mouseClick(received->viewport(), Qt::LeftButton, {},
                    received->visualRect(received->model()->index(0, 1)).center());

  std::vector<QRect> marks, turnedMarks;
  QRect expected;
  QColor inMark, outside;
  long inkUnturned = 0, inkTurned = 0;
  bool markShown = false;
  OnNextModal("TFaxViewer", [&](QWidget* dialog) {
    auto* viewer = qobject_cast<TFaxViewer*>(dialog)->FaxViewer;
    const faxview::TViewer& engine = viewer->Engine();
    marks = engine.WordMarkRects();
    // The page is shown zoomed to the window's width.
    const double zoom = double(engine.DisplayedSize().width()) / engine.CurrentBitmap()->width();
    expected = QRect(int(ink.x() * zoom), int(ink.y() * zoom), int(ink.width() * zoom),
                     int(ink.height() * zoom));
    if (marks.size() == 1) {
      inkUnturned = inkIn(engine.DisplayImage(), marks[0]);
      // Shown on opening: its pixels on the screen are the mark colour
      // where the page is white, and the page's margin stays white.
      const QImage screen = viewer->viewport()->grab().toImage();
      const QRect onScreen = marks[0].translated(-engine.ScrollPos());
      markShown = screen.rect().contains(onScreen);
      inMark = screen.pixelColor(onScreen.topLeft() + QPoint(1, 1));
      outside = screen.pixelColor(QPoint(std::max(0, onScreen.left() - 30), onScreen.center().y()));
      if (const QByteArray shots = qgetenv("TOLVANE_SHOTS"); !shots.isEmpty())
        dialog->grab().save(QString::fromLocal8Bit(shots) + "/viewer-found-words.png");
    }
    // Turned a quarter: the mark goes with the word.
    dialog->findChild<QAction*>("Rotate90Item")->trigger();
    turnedMarks = engine.WordMarkRects();
    if (turnedMarks.size() == 1)
      inkTurned = inkIn(engine.DisplayImage(), turnedMarks[0]);
    QTest::mouseClick(Find<QPushButton>(dialog, "CloseButton"), Qt::LeftButton);
  });
  QTest::mouseClick(Find<QPushButton>(&w, "ViewFaxButton"), Qt::LeftButton);
  ASSERT_EQ(marks.size(), 1u) << "one word on the page is walnut";
  EXPECT_GT(overlap(marks[0], expected), 0.6)
      << "mark " << marks[0].x() << "," << marks[0].y() << " " << marks[0].width() << "x"
      << marks[0].height() << " word " << expected.x() << "," << expected.y() << " "
      << expected.width() << "x" << expected.height();
  EXPECT_TRUE(markShown) << "the window opens on the found word";
  EXPECT_GT(inMark.red(), 200);
  EXPECT_LT(inMark.blue(), 150) << "not marked: " << inMark.name().toStdString();
  EXPECT_EQ(outside, QColor(Qt::white));
  ASSERT_EQ(turnedMarks.size(), 1u);
  EXPECT_GT(inkUnturned, 0);
  EXPECT_NEAR(double(inkTurned), double(inkUnturned), 0.1 * double(inkUnturned));
}

} // namespace

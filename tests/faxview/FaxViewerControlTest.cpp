// The viewer control on a real widget (offscreen): opening, page keys,
// turning, scaling, marking and copying, errors, damaged files, memory per
// page, auto-scroll while marking, dropped files.
#include "FaxFiles.h"
#include "faxview/PageTransforms.h"
#include "faxview/TFxFaxViewer.h"
#include "platform/FxErrors.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace faxview;
using faximage::PageBitmap;

namespace {

class ViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    viewer = std::make_unique<TFxFaxViewer>();
    viewer->resize(600, 400);
    viewer->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer.get()));
    pageChanges = std::make_unique<QSignalSpy>(viewer.get(), &TFxFaxViewer::OnPageChange);
    errors = std::make_unique<QSignalSpy>(viewer.get(), &TFxFaxViewer::OnViewerError);
  }
  static const std::string& threePages() {
    static const std::string path = faxtest::numberedFax("three.apf", 3);
    return path;
  }
  void key(int k, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(viewer.get(), Qt::Key(k), mods);
  }
  void mouse(QEvent::Type type, QPoint pos) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent ev(type, QPointF(pos), viewer->viewport()->mapToGlobal(QPointF(pos)), button, held,
                   Qt::NoModifier);
    QApplication::sendEvent(viewer->viewport(), &ev);
  }
  int errorCode(const std::function<void()>& fn) {
    try {
      fn();
    } catch (const std::exception& e) {
      return ErrorCodeOf(e);
    }
    return 0;
  }
  std::unique_ptr<TFxFaxViewer> viewer;
  std::unique_ptr<QSignalSpy> pageChanges, errors;
};

} // namespace

TEST_F(ViewerTest, PageKeysWalkThePagesAndStopAtTheEnds) {
  viewer->SetFileName(QString::fromStdString(threePages()));
  EXPECT_EQ(viewer->PageTotal(), 3);
  EXPECT_EQ(viewer->ShownPage(), 1);
  EXPECT_EQ(pageChanges->count(), 1);
  key(Qt::Key_PageDown);
  key(Qt::Key_PageDown);
  EXPECT_EQ(viewer->ShownPage(), 3);
  key(Qt::Key_PageDown);
  EXPECT_EQ(viewer->ShownPage(), 3);
  EXPECT_EQ(pageChanges->count(), 3);
  key(Qt::Key_PageUp);
  ASSERT_EQ(viewer->ShownPage(), 2);
  key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(viewer->ShownPage(), 1);
  // Home on page 1 scrolls to the left edge and stays on the page.
  key(Qt::Key_Right);
  key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(viewer->Engine().ScrollPos().x(), 88); // one step, then ten
  EXPECT_EQ(viewer->horizontalScrollBar()->value(), 88);
  key(Qt::Key_Down);
  key(Qt::Key_Home);
  EXPECT_EQ(viewer->Engine().ScrollPos(), QPoint(0, 8));
  EXPECT_EQ(viewer->ShownPage(), 1);
  // Ctrl+Home on the first page goes to the top-left corner.
  key(Qt::Key_Right);
  key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(viewer->Engine().ScrollPos(), QPoint(0, 0));
  // Ctrl+Page Down scrolls to the bottom; the last row is then at the window's edge.
  key(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(viewer->Engine().ScrollPos().y() + viewer->viewport()->height(), 2200);
  key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(viewer->ShownPage(), 3);
  EXPECT_EQ(pageChanges->count(), 6);
}

TEST_F(ViewerTest, QuarterTurnsTurnTheBitmap) {
  viewer->SetFileName(QString::fromStdString(threePages()));
  const PageBitmap upright = *viewer->Engine().CurrentBitmap();
  viewer->SetQuarterTurns(1);
  EXPECT_EQ(viewer->ShownPageWidth(), 2200);
  EXPECT_EQ(viewer->Engine().CurrentBitmap()->height(), 1728);
  const int changes = pageChanges->count();
  viewer->SetQuarterTurns(1); // the present value: nothing happens
  EXPECT_EQ(pageChanges->count(), changes);
  viewer->SetQuarterTurns(3);
  EXPECT_EQ(*viewer->Engine().CurrentBitmap(), RotateQuarterTurns(upright, 3));
  // A page shown later is turned as well.
  key(Qt::Key_PageDown);
  EXPECT_EQ(viewer->Engine().CurrentBitmap()->height(), 1728);
  // A new file shows unturned.
  viewer->SetFileName(QString::fromStdString(faxtest::numberedFax("one.apf", 1)));
  EXPECT_EQ(viewer->QuarterTurns(), 0);
  EXPECT_EQ(viewer->ShownPageWidth(), 1728);
}

// The box around the dark pixels of the page as shown.
QRect inkOf(const QImage& shown) {
  QRect box;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (qGray(shown.pixel(x, y)) < 200)
        box |= QRect(x, y, 1, 1);
  return box;
}

TEST_F(ViewerTest, WordMarksStayOnTheirWordTurnedScaledAndAtStandardResolution) {
  // A standard page whose only ink is one "word": a block at a known place
  // in the rows as coded.
  PageBitmap page(1728, 1100);
  const QRect word(400, 300, 200, 40);
  for (int y = word.top(); y <= word.bottom(); ++y)
    for (int x = word.left(); x <= word.right(); ++x)
      page.row(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
  const std::string path = faxtest::scratch("word.apf");
  faxtest::writeApf(path, {page}, false);
  for (const auto mode : {faximage::asHalfWidth, faximage::asDoubleHeight})
    for (const bool half : {false, true}) {
      // One viewer for all: switching the mode between files works too.
      viewer->SetFileName(QString());
      viewer->SetAutoScaleMode(mode);
      viewer->SetFileName(QString::fromStdString(path));
      viewer->Engine().SetWordMarks({{1, word, QSize(1728, 1100)}});
      viewer->LockUpdates();
      viewer->SetScaling(half);
      viewer->SetHorizDiv(half ? 2 : 1);
      viewer->SetVertDiv(half ? 2 : 1);
      viewer->UnlockUpdates();
      // Turned one way and back: the page and its mark must not creep.
      for (const int turns : {0, 1, 2, 3, 0, 3, 1}) {
        viewer->SetQuarterTurns(turns);
        const std::vector<QRect> marks = viewer->Engine().WordMarkRects();
        ASSERT_EQ(marks.size(), 1u);
        const QRect ink = inkOf(viewer->Engine().DisplayImage());
        const QRect both = marks[0].intersected(ink);
        EXPECT_GT(double(both.width()) * both.height(),
                  0.9 * double((marks[0] | ink).width()) * (marks[0] | ink).height())
            << "mode " << mode << " half " << half << " turns " << turns << ": mark "
            << marks[0].x() << "," << marks[0].y() << " " << marks[0].width() << "x"
            << marks[0].height() << ", word " << ink.x() << "," << ink.y() << " " << ink.width()
            << "x" << ink.height();
      }
    }
  // Another file has no marks of its own.
  viewer->SetFileName(QString::fromStdString(threePages()));
  EXPECT_TRUE(viewer->Engine().WordMarkRects().empty());
}

TEST_F(ViewerTest, HalfScaleShowsHalfTheSizeInGray) {
  viewer->SetFileName(QString::fromStdString(threePages()));
  viewer->LockUpdates();
  viewer->SetScaling(true);
  viewer->SetHorizMult(1);
  viewer->SetHorizDiv(2);
  viewer->SetVertMult(1);
  viewer->SetVertDiv(2);
  EXPECT_EQ(viewer->Engine().DisplayedSize(), QSize(1728, 2200)); // locked
  viewer->UnlockUpdates();
  EXPECT_EQ(viewer->Engine().DisplayedSize(), QSize(864, 1100));
  EXPECT_EQ(viewer->Engine().ScrollMax(),
            QPoint(864 - viewer->viewport()->width(), 1100 - viewer->viewport()->height()));
  // The one-pixel diagonal of the page is still there, as gray.
  const QImage& shown = viewer->Engine().DisplayImage();
  ASSERT_EQ(shown.size(), QSize(864, 1100));
  int gray = 0;
  for (int y = 560; y < 1000; ++y)
    for (int x = 432; x < 864 - 10; ++x)
      gray += qGray(shown.pixel(x, y)) < 255 && qGray(shown.pixel(x, y)) > 0;
  EXPECT_GT(gray, 300);
  // What is painted is that picture.
  const QImage grabbed = viewer->viewport()->grab().toImage();
  EXPECT_EQ(grabbed.pixelColor(1, 1), shown.pixelColor(1, 1));
  EXPECT_EQ(qGray(grabbed.pixel(70, 170)), 0); // inside page 1's block
}

TEST_F(ViewerTest, CopyPutsTheMarkedPixelsOnTheClipboard) {
  viewer->SetFileName(QString::fromStdString(threePages()));
  EXPECT_EQ(viewer->Engine().Perform(fxViewCopy), ecNoImageBlockMarked);
  key(Qt::Key_Down); // scrolled by 8: the mark is in page pixels
  mouse(QEvent::MouseButtonPress, QPoint(90, 280));
  mouse(QEvent::MouseMove, QPoint(150, 330));
  mouse(QEvent::MouseMove, QPoint(240, 380));
  mouse(QEvent::MouseButtonRelease, QPoint(240, 380));
  ASSERT_EQ(viewer->Engine().MarkRect(), QRect(QPoint(90, 288), QPoint(240, 388)));
  ASSERT_EQ(viewer->Engine().Perform(fxViewCopy), 0);
  const QImage copied = QApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(151, 101));
  const PageBitmap& page = *viewer->Engine().CurrentBitmap();
  int differ = 0, black = 0;
  for (int y = 0; y < 101; ++y)
    for (int x = 0; x < 151; ++x) {
      const bool b = qGray(copied.pixel(x, y)) < 128;
      differ += b != page.pixel(90 + x, 288 + y);
      black += b;
    }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(black, 100 * 80); // most of the block lies under the mark
  // A click without dragging removes the mark.
  mouse(QEvent::MouseButtonPress, QPoint(10, 10));
  mouse(QEvent::MouseButtonRelease, QPoint(10, 10));
  EXPECT_FALSE(viewer->Engine().HasMark());
}

TEST_F(ViewerTest, CopyAtHalfScaleShrinksThePageAreaKeepingBlack) {
  PageBitmap page(1728, 400);
  for (int x = 100; x < 300; x += 2)
    for (int y = 100; y < 200; ++y)
      page.setPixel(x, y, true); // every other column black: a plain pick could miss all
  const std::string path = faxtest::scratch("stripes.apf");
  faxtest::writeApf(path, {page});
  viewer->SetFileName(QString::fromStdString(path));
  viewer->SetScaling(true);
  viewer->SetHorizDiv(2);
  viewer->SetVertDiv(2);
  const TViewRect r{50, 50, 99, 99};
  ASSERT_EQ(viewer->Engine().Perform(fxViewSelect, 0, reinterpret_cast<intptr_t>(&r)), 0);
  ASSERT_EQ(viewer->Engine().Perform(fxViewCopy), 0);
  const QImage copied = QApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(50, 50));
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x)
      ASSERT_LT(qGray(copied.pixel(x, y)), 128) << x << "," << y;
}

TEST_F(ViewerTest, FilesThatAreNotFaxesAreRefused) {
  const std::string text = faxtest::scratch("letter.txt");
  std::ofstream(text) << "Dear Sir,\nthis is no fax.\n";
  EXPECT_EQ(errorCode([&] { viewer->SetFileName(QString::fromStdString(text)); }), ecFaxBadFormat);
  EXPECT_EQ(errorCode([&] { viewer->SetFileName("/no/such/file.apf"); }), ecFileNotFound);
  const std::string folder = faxtest::scratch("folder.apf");
  std::filesystem::create_directories(folder);
  EXPECT_EQ(errorCode([&] { viewer->SetFileName(QString::fromStdString(folder)); }),
            ecFileNotFound);
  EXPECT_EQ(viewer->PageTotal(), 0);
  EXPECT_EQ(viewer->ShownPage(), 0);
  viewer->SetFileName(QString::fromStdString(threePages()));
  // A failed open keeps the fax that is shown.
  EXPECT_EQ(errorCode([&] { viewer->SetFileName(QString::fromStdString(text)); }), ecFaxBadFormat);
  EXPECT_EQ(viewer->FileName().toStdString(), threePages());
  EXPECT_EQ(viewer->PageTotal(), 3);
  viewer->SetFileName(QString());
  EXPECT_EQ(viewer->PageTotal(), 0);
  EXPECT_EQ(viewer->ShownPage(), 0);
  EXPECT_EQ(viewer->Engine().Perform(fxViewSelectAll), ecNoImageLoaded);
  EXPECT_EQ(viewer->Engine().Perform(fxViewCopy), ecNoImageLoaded);
  EXPECT_EQ(errors->count(), 0);
}

// A file cut off inside page 2: page 1 shows, page 2 shows the rows before
// the cut and the damage is reported; nothing crashes and the file stays open.
TEST_F(ViewerTest, FileCutInMidPageShowsWhatItHas) {
  const std::string whole = faxtest::numberedFax("whole.apf", 3);
  const auto size = std::filesystem::file_size(whole);
  std::ifstream in(whole, std::ios::binary);
  std::string bytes(size, '\0');
  in.read(bytes.data(), std::streamsize(size));
  const std::string cut = faxtest::scratch("cut.apf");
  std::ofstream(cut, std::ios::binary).write(bytes.data(), std::streamsize(size * 1 / 2));
  viewer->SetFileName(QString::fromStdString(cut));
  EXPECT_EQ(viewer->ShownPage(), 1);
  EXPECT_EQ(errors->count(), 0);
  key(Qt::Key_PageDown);
  EXPECT_EQ(viewer->ShownPage(), 2);
  ASSERT_EQ(errors->count(), 1);
  EXPECT_LT(errors->at(0).at(0).toInt(), 0);
  EXPECT_TRUE(viewer->Engine().PageDamaged());
  const PageBitmap* partial = viewer->Engine().CurrentBitmap();
  ASSERT_NE(partial, nullptr);
  EXPECT_GT(partial->height(), 100);
  EXPECT_LT(partial->height(), 2200);
  key(Qt::Key_PageDown); // page 3 lies wholly beyond the cut
  EXPECT_EQ(errors->count(), 2);
  key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(viewer->ShownPage(), 1);
  EXPECT_FALSE(viewer->Engine().PageDamaged());
  EXPECT_EQ(viewer->Engine().CurrentBitmap()->height(), 2200);
  viewer->viewport()->grab(); // paints without trouble
}

TEST_F(ViewerTest, OnlyTheShownPageIsHeldUnlessTheWholeFaxIsLoaded) {
  viewer->SetFileName(QString::fromStdString(threePages()));
  EXPECT_EQ(viewer->Engine().PagesHeld(), 1);
  key(Qt::Key_PageDown);
  key(Qt::Key_PageDown);
  EXPECT_EQ(viewer->Engine().PagesHeld(), 1);
  viewer->SetLoadWholeFax(true);
  EXPECT_EQ(viewer->Engine().PagesHeld(), 3);
  viewer->SetQuarterTurns(2); // every page is turned
  key(Qt::Key_Home, Qt::ControlModifier);
  const PageBitmap& first = *viewer->Engine().CurrentBitmap();
  const faxtest::Block b = faxtest::blockOf(1);
  EXPECT_TRUE(first.pixel(1727 - b.x - 1, 2199 - b.y - 1));
  viewer->SetLoadWholeFax(false);
  EXPECT_EQ(viewer->Engine().PagesHeld(), 1);
  EXPECT_EQ(viewer->ShownPage(), 1);
}

// Dragging below the window scrolls down by two steps at once and then every
// 50 milliseconds, while the mark follows.
TEST_F(ViewerTest, MarkingPastTheEdgeScrollsTheView) {
  viewer->SetFileName(QString::fromStdString(threePages()));
  QCoreApplication::processEvents(); // the scroll bars take their room
  const int bottom = viewer->viewport()->height();
  mouse(QEvent::MouseButtonPress, QPoint(100, 100));
  mouse(QEvent::MouseMove, QPoint(100, bottom + 30));
  EXPECT_EQ(viewer->Engine().ScrollPos().y(), 16);
  // The timer goes on scrolling (waited for, not timed: the machine may be slow).
  EXPECT_TRUE(QTest::qWaitFor([&] { return viewer->Engine().ScrollPos().y() >= 48; }, 5000));
  const int scrolled = viewer->Engine().ScrollPos().y();
  EXPECT_EQ(scrolled % 16, 0);
  EXPECT_EQ(viewer->Engine().MarkRect().bottom(), scrolled + bottom - 1);
  mouse(QEvent::MouseMove, QPoint(100, bottom - 50)); // back inside: the scrolling stops
  const int stopped = viewer->Engine().ScrollPos().y();
  QTest::qWait(120);
  EXPECT_EQ(viewer->Engine().ScrollPos().y(), stopped);
  mouse(QEvent::MouseButtonRelease, QPoint(100, bottom - 50));
  EXPECT_EQ(viewer->Engine().MarkRect(),
            QRect(QPoint(100, 100), QPoint(100, stopped + bottom - 50)));
}

TEST_F(ViewerTest, DroppedFileIsOpened) {
  viewer->SetFileName(QString::fromStdString(threePages()));
  const std::string other = faxtest::numberedFax("dropped.apf", 2);
  QSignalSpy dropped(viewer.get(), &TFxFaxViewer::OnDropFile);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewer->viewport(), &drop);
  ASSERT_EQ(dropped.count(), 1);
  EXPECT_EQ(dropped.at(0).at(0).toString().toStdString(), other);
  EXPECT_EQ(viewer->PageTotal(), 2);
  EXPECT_EQ(viewer->FileName().toStdString(), other);
}

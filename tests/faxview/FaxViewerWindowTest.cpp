// The fax viewer window driven as a user drives it (offscreen): loading and
// the automatic zoom, page buttons and page text, zoom and rotation menus,
// printing into a PDF file, export from the File menu, errors, help, close.
#include "FaxFiles.h"
#include "widgets/MessageBoxes.h"
#include "faxview/TFaxViewer.h"
#include "platform/ProgramDir.h"
#include "widgets/HelpAndBeep.h"

#include <QAction>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <regex>

using namespace faxview;
using appwidgets::MessageBoxHook::setNextAnswer;
using appwidgets::MessageBoxHook::setNextFileName;
using appwidgets::MessageBoxHook::shownTexts;
using faxtest::capture;
using faxtest::scratch;

namespace {

int pdfPages(const std::string& pdf) {
  std::smatch m;
  const std::string info = capture("pdfinfo '" + pdf + "' 2>/dev/null");
  return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

class WindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    static bool once = [] {
      const std::string home = scratch("home");
      std::filesystem::create_directories(home);
      platform::setProgramDir(home + "/");
      return true;
    }();
    (void)once;
    std::filesystem::remove(scratch("home/TOV.INI"));
    appwidgets::MessageBoxHook::clear();
    appwidgets::MessageBoxHook::setFailWithoutAnswer(true);
  }
  // Opens the window on a file, as the main window does, and waits until shown.
  std::unique_ptr<TFaxViewer> open(const std::string& fax, int width = 594) {
    auto w = std::make_unique<TFaxViewer>();
    w->SetFaxFileName(QString::fromStdString(fax));
    w->resize(width, w->height());
    w->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    return w;
  }
  static const std::string& threePages() {
    static const std::string path = faxtest::numberedFax("three.apf", 3);
    return path;
  }
};

} // namespace

TEST_F(WindowTest, PageButtonsShowOnlyForSeveralPages) {
  auto one = open(faxtest::numberedFax("one.apf", 1));
  EXPECT_FALSE(one->NextButton->isVisible());
  EXPECT_FALSE(one->FirstButton->isVisible());
  EXPECT_EQ(one->StatusPanel->text(), "Page 1 of 1");
  auto three = open(threePages());
  for (QToolButton* b :
       {three->FirstButton, three->PrevButton, three->NextButton, three->LastButton})
    EXPECT_TRUE(b->isVisible());
  QTest::mouseClick(three->NextButton, Qt::LeftButton);
  EXPECT_EQ(three->StatusPanel->text(), "Page 2 of 3");
  QTest::mouseClick(three->LastButton, Qt::LeftButton);
  EXPECT_EQ(three->StatusPanel->text(), "Page 3 of 3");
  QTest::mouseClick(three->NextButton, Qt::LeftButton);
  EXPECT_EQ(three->StatusPanel->text(), "Page 3 of 3");
  QTest::mouseClick(three->PrevButton, Qt::LeftButton);
  QTest::mouseClick(three->FirstButton, Qt::LeftButton);
  EXPECT_EQ(three->StatusPanel->text(), "Page 1 of 3");
  EXPECT_TRUE(shownTexts().isEmpty());
}

TEST_F(WindowTest, ZoomIsChosenFromTheControlWidth) {
  auto narrow = open(threePages(), 594);
  ASSERT_EQ(narrow->FaxViewer->width(), 594);
  EXPECT_EQ(narrow->Zoom(), 50); // b = 52
  EXPECT_TRUE(narrow->N50PercentItem->isChecked());
  EXPECT_EQ(narrow->FaxViewer->Engine().DisplayedSize(), QSize(864, 1100));
  auto wide = open(threePages(), 1000);
  EXPECT_EQ(wide->Zoom(), 75); // b = 87
  EXPECT_TRUE(wide->N75PercentItem->isChecked());
  EXPECT_FALSE(wide->N50PercentItem->isChecked());
}

TEST_F(WindowTest, ZoomStepsStopAtTheEndsWithABeep) {
  auto w = open(threePages());
  for (int i = 0; i < 4; ++i)
    QTest::mouseClick(w->ZoomInButton, Qt::LeftButton);
  ASSERT_EQ(w->Zoom(), 200);
  EXPECT_EQ(w->FaxViewer->Engine().DisplayedSize(), QSize(3456, 4400));
  const int beeps = appwidgets::BeepCount();
  QTest::mouseClick(w->ZoomInButton, Qt::LeftButton);
  EXPECT_EQ(w->Zoom(), 200);
  EXPECT_EQ(appwidgets::BeepCount(), beeps + 1);
  QTest::mouseClick(w->ZoomOutButton, Qt::LeftButton);
  EXPECT_EQ(w->Zoom(), 150);
  EXPECT_TRUE(w->N150PercentItem->isChecked());
  w->N25PercentItem->trigger();
  EXPECT_EQ(w->Zoom(), 25);
  EXPECT_EQ(w->FaxViewer->Engine().DisplayedSize(), QSize(432, 550));
  EXPECT_FALSE(w->N150PercentItem->isChecked());
  QTest::mouseClick(w->ZoomOutButton, Qt::LeftButton);
  EXPECT_EQ(appwidgets::BeepCount(), beeps + 2);
  w->N100PercentItem->trigger();
  EXPECT_FALSE(w->FaxViewer->Scaling());
  EXPECT_EQ(w->FaxViewer->Engine().DisplayedSize(), QSize(1728, 2200));
}

TEST_F(WindowTest, RotationItemsTurnThePage) {
  auto w = open(threePages());
  w->Rotate90Item->trigger();
  EXPECT_EQ(w->FaxViewer->QuarterTurns(), 1);
  EXPECT_EQ(w->FaxViewer->ShownPageWidth(), 2200);
  EXPECT_TRUE(w->Rotate90Item->isChecked());
  w->Rotate270Item->trigger();
  EXPECT_EQ(w->FaxViewer->QuarterTurns(), 3);
  EXPECT_FALSE(w->Rotate90Item->isChecked());
  EXPECT_TRUE(w->Rotate270Item->isChecked());
  w->NoRotateItem->trigger();
  EXPECT_EQ(w->FaxViewer->ShownPageWidth(), 1728);
}

TEST_F(WindowTest, MissingFileLeavesTheWindowEmpty) {
  setNextAnswer(QMessageBox::Ok);
  auto w = open(scratch("gone.apf"));
  EXPECT_EQ(shownTexts(), QStringList{"Error opening fax file"});
  EXPECT_EQ(w->StatusPanel->text(), "No file loaded");
  EXPECT_TRUE(w->FaxViewer->FileName().isEmpty());
  QTest::mouseClick(w->ZoomInButton, Qt::LeftButton); // harmless without a file
  QTest::mouseClick(w->Printbutton, Qt::LeftButton);
}

TEST_F(WindowTest, DamagedPageIsReportedAsViewerError) {
  const std::string whole = faxtest::numberedFax("whole.apf", 3);
  std::filesystem::copy_file(whole, scratch("damaged.apf"));
  std::filesystem::resize_file(scratch("damaged.apf"), std::filesystem::file_size(whole) / 2);
  auto w = open(scratch("damaged.apf"));
  setNextAnswer(QMessageBox::Ok);
  QTest::mouseClick(w->NextButton, Qt::LeftButton);
  ASSERT_EQ(shownTexts().size(), 1);
  EXPECT_TRUE(shownTexts()[0].startsWith("Viewer error -")) << shownTexts()[0].toStdString();
  EXPECT_EQ(w->StatusPanel->text(), "Page 2 of 3 (damaged)");
  QTest::mouseClick(w->PrevButton, Qt::LeftButton);
  EXPECT_EQ(w->StatusPanel->text(), "Page 1 of 3");
}

TEST_F(WindowTest, PrintsAllPagesOrTheCurrentOneIntoPdf) {
  auto w = std::make_unique<TFaxViewer>();
  w->SetFaxFileName(QString::fromStdString(threePages()));
  w->FaxPrinter()->FaxHeader()->SetCaption("Fax to Bob Smith");
  const std::string all = scratch("window-all.pdf");
  w->FaxPrinter()->Printer()->setOutputFormat(QPrinter::PdfFormat);
  w->FaxPrinter()->Printer()->setOutputFileName(QString::fromStdString(all));
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  ASSERT_TRUE(w->Printbutton->isEnabled());
  QTest::mouseClick(w->Printbutton, Qt::LeftButton);
  ASSERT_EQ(pdfPages(all), 3);
  const std::string text = capture("pdftotext -f 2 -l 2 '" + all + "' -");
  EXPECT_NE(text.find("Fax to Bob Smith"), std::string::npos) << text;
  EXPECT_NE(text.find("Page: 2 of 3"), std::string::npos) << text;
  const std::string current = scratch("window-page3.pdf");
  w->FaxPrinter()->Printer()->setOutputFileName(QString::fromStdString(current));
  QTest::mouseClick(w->LastButton, Qt::LeftButton);
  QTest::mouseClick(w->ExplorerButton1, Qt::LeftButton);
  ASSERT_EQ(pdfPages(current), 1);
  EXPECT_NE(capture("pdftotext '" + current + "' -").find("Page: 3 of 3"), std::string::npos);
}

TEST_F(WindowTest, FileMenuExportsPdfTiffAndPrintsToPdf) {
  auto w = open(threePages());
  setNextFileName(QString::fromStdString(scratch("all.pdf")));
  w->mnuExportPdf->trigger();
  EXPECT_EQ(pdfPages(scratch("all.pdf")), 3);
  QTest::mouseClick(w->NextButton, Qt::LeftButton);
  setNextFileName(QString::fromStdString(scratch("page2.tif")));
  w->mnuExportPageTiff->trigger();
  TIFF* t = TIFFOpen(scratch("page2.tif").c_str(), "r");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(TIFFNumberOfDirectories(t), 1);
  uint32_t rows = 0;
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &rows);
  EXPECT_EQ(rows, 2200u);
  // Page 2's block is where page 2 puts it.
  std::vector<uint8_t> row(216);
  const faxtest::Block b = faxtest::blockOf(2);
  for (uint32_t y = 0; y <= uint32_t(b.y + 10); ++y)
    TIFFReadScanline(t, row.data(), y, 0);
  EXPECT_TRUE(row[(b.x + 10) / 8] & (0x80 >> ((b.x + 10) % 8)));
  TIFFClose(t);
  setNextFileName(QString()); // cancelled: nothing written
  w->mnuExportTiff->trigger();
  setNextFileName(QString::fromStdString(scratch("printed.pdf")));
  w->mnuPrintToPdf->trigger();
  EXPECT_EQ(pdfPages(scratch("printed.pdf")), 3);
  EXPECT_TRUE(w->FaxPrinter()->Printer()->outputFileName().isEmpty());
}

TEST_F(WindowTest, HelpAndClose) {
  auto w = open(threePages());
  QTest::mouseClick(w->Helpbutton, Qt::LeftButton);
  EXPECT_EQ(appwidgets::LastHelpContext(), 1021);
  QTest::mouseClick(w->CloseButton, Qt::LeftButton);
  EXPECT_EQ(w->result(), 2);
  EXPECT_FALSE(w->isVisible());
}

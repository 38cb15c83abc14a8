// The fax printer printing into PDF files, read back with poppler's tools:
// sheets, header and footer lines, page sizes, pages per sheet, the print
// log, aborting from the status window.
#include "FaxFiles.h"
#include "faxview/TFxFaxPrinter.h"
#include "faxview/TFxFaxPrinterStatus.h"
#include "platform/FxErrors.h"

#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace faxview;
using faxtest::capture;
using faxtest::scratch;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int pdfPages(const std::string& pdf) {
  std::smatch m;
  const std::string info = capture("pdfinfo '" + pdf + "' 2>/dev/null");
  return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

std::string pdfText(const std::string& pdf, int page) {
  const std::string p = std::to_string(page);
  return capture("pdftotext -layout -f " + p + " -l " + p + " '" + pdf + "' - 2>/dev/null");
}

// The top-left corner (points) of each footer "PAGE:" word of a sheet with
// the page number that follows it.
std::vector<std::tuple<int, double, double>> footers(const std::string& pdf, int sheet) {
  const std::string p = std::to_string(sheet);
  const std::string html =
      capture("pdftotext -bbox -f " + p + " -l " + p + " '" + pdf + "' - 2>/dev/null");
  const std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
  std::vector<std::tuple<std::string, double, double>> words;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it)
    words.emplace_back((*it)[3], std::stod((*it)[1]), std::stod((*it)[2]));
  std::vector<std::tuple<int, double, double>> out;
  for (std::size_t i = 0; i + 1 < words.size(); ++i)
    if (std::get<0>(words[i]) == "PAGE:")
      out.emplace_back(std::stoi(std::get<0>(words[i + 1])), std::get<1>(words[i]),
                       std::get<2>(words[i]));
  return out;
}

class PrinterTest : public ::testing::Test {
protected:
  void SetUp() override {
    printer = new TFxFaxPrinter(&owner);
    log = new TFxFaxPrinterLog(&owner);
    status = new TFxFaxPrinterStatus(&owner);
    log->SetLogFileName(QString::fromStdString(logPath));
    std::filesystem::remove(logPath);
    printer->OnFaxPrintLog = [this](TFxFaxPrinter*, TFaxPLCode c) { logCodes.push_back(c); };
  }
  std::string printTo(const std::string& name) {
    const std::string pdf = scratch(name);
    printer->Printer()->setOutputFormat(QPrinter::PdfFormat);
    printer->Printer()->setOutputFileName(QString::fromStdString(pdf));
    return pdf;
  }
  QWidget owner;
  TFxFaxPrinter* printer = nullptr;
  TFxFaxPrinterLog* log = nullptr;
  TFxFaxPrinterStatus* status = nullptr;
  std::vector<int> logCodes;
  std::string logPath = scratch("FAXPRINT.LOG");
};

} // namespace

TEST_F(PrinterTest, ThreePagesPrintThreeSheetsWithHeadersFootersAndLog) {
  const std::string fax = faxtest::numberedFax("three.apf", 3);
  printer->SetFileName(QString::fromStdString(fax));
  EXPECT_EQ(printer->PagesInFile(), 3);
  EXPECT_EQ(printer->FromPageNo(), 1);
  EXPECT_EQ(printer->ToPageNo(), 3);
  EXPECT_TRUE(printer->FileIsFine());
  EXPECT_EQ(printer->StatusDisplay(), status);
  EXPECT_EQ(printer->FaxPrinterLog(), log);
  std::vector<std::string> statusLines;
  printer->OnFaxPrintStatus = [&](TFxFaxPrinter*, TFaxPrintProgress p) {
    if (p == ppSubmitting) { // the window shows the state before it
      auto* display = static_cast<TStandardFaxPrinterStatusDisplay*>(status->Display());
      statusLines.push_back(display->fpsStatusLine->text().toStdString() + "|" +
                            display->fpsFileName->text().toStdString() + "|" +
                            display->fpsResolution->text().toStdString() + "|" +
                            std::to_string(display->isVisible()));
    }
  };
  const std::string pdf = printTo("three.pdf");
  printer->PrintDocument();
  ASSERT_EQ(pdfPages(pdf), 3);
  for (int n = 1; n <= 3; ++n) {
    const std::string text = pdfText(pdf, n);
    EXPECT_NE(text.find("FILE: " + fax), std::string::npos) << text;
    EXPECT_NE(text.find("PAGE: " + std::to_string(n) + " of 3"), std::string::npos) << text;
  }
  EXPECT_EQ(statusLines, (std::vector<std::string>{"Rendering 1 of 3|THREE.APF|high|1",
                                                   "Rendering 2 of 3|THREE.APF|high|1",
                                                   "Rendering 3 of 3|THREE.APF|high|1"}));
  EXPECT_FALSE(status->Display()->isVisible());
  EXPECT_EQ(printer->PrintingPage(), 0);
  EXPECT_EQ(logCodes, (std::vector<int>{lcStart, lcFinish}));
  const std::string logText = readFile(logPath);
  const std::regex lines("Printing " + fax + " started at [^\r\n]+\r\nPrinting " + fax +
                         " finished at [^\r\n]+\r\n\r\n");
  EXPECT_TRUE(std::regex_match(logText, lines)) << logText;
}

TEST_F(PrinterTest, MacrosAreExpandedOnceEach) {
  // A "$" in the file name itself is printed as it is.
  const std::string fax = faxtest::numberedFax("odd$Pname.apf", 3);
  printer->SetFileName(QString::fromStdString(fax));
  EXPECT_EQ(printer->ExpandMacros("PAGE: $P of $N", 2).toStdString(), "PAGE: 2 of 3");
  EXPECT_EQ(printer->ExpandMacros("a $Q b", 2).toStdString(), "a  b");
  EXPECT_EQ(printer->ExpandMacros("$P, of $n", 2).toStdString(), "2 of 3");
  EXPECT_EQ(printer->ExpandMacros("FILE: $F", 1).toStdString(), "FILE: " + fax);
  EXPECT_EQ(printer->ExpandMacros("end $", 1).toStdString(), "end ");
  EXPECT_FALSE(printer->ExpandMacros("$D $T", 1).contains('$'));
}

TEST_F(PrinterTest, FitToPageAndDotForDotSizes) {
  EXPECT_EQ(TFxFaxPrinter::PrintSize({1728, 2200}, {4800, 6600}, psFitToPage), QSize(4800, 6111));
  EXPECT_EQ(TFxFaxPrinter::PrintSize({1728, 2200}, {4800, 6600}, psNone), QSize(1728, 2200));
  EXPECT_EQ(TFxFaxPrinter::PrintSize({1728, 2200}, {4800, 2000}, psFitToPage), QSize(1570, 2000));
  EXPECT_EQ(TFxFaxPrinter::PrintSize({1728, 2200}, {4800, 2000}, psNone), QSize(1728, 2000));
}

// A page without header and footer on an 8 x 11 inch sheet at 600 dpi
// (4800 x 6600 dots, 4796 x 6596 inside the 2-dot border) is drawn 4796 x
// 6106 dots: its frame, rendered at 150 dpi, is a quarter of that.
TEST_F(PrinterTest, FittedPageFillsTheSheetWidth) {
  const std::string fax = faxtest::numberedFax("fit.apf", 1);
  printer->SetFileName(QString::fromStdString(fax));
  printer->FaxHeader()->SetEnabled(false);
  printer->FaxFooter()->SetEnabled(false);
  const std::string pdf = printTo("fit.pdf");
  printer->Printer()->setResolution(600);
  printer->Printer()->setFullPage(true);
  printer->Printer()->setPageSize(QPageSize(QSizeF(8, 11), QPageSize::Inch));
  printer->PrintDocument();
  ASSERT_EQ(pdfPages(pdf), 1);
  ASSERT_TRUE(faxtest::capture("pdftoppm -r 150 -gray '" + pdf + "' '" + scratch("fit") + "'; echo")
                  .size() > 0);
  QImage image(QString::fromStdString(scratch("fit-1.pgm")));
  ASSERT_EQ(image.size(), QSize(1200, 1650));
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128)
        box = box.united(QRect(x, y, 1, 1));
  EXPECT_NEAR(box.left(), 0.5, 1.0);
  EXPECT_NEAR(box.top(), 0.5, 1.0);
  EXPECT_NEAR(box.width(), 4796 / 4.0, 2.0);
  EXPECT_NEAR(box.height(), 6106 / 4.0, 2.0);
}

TEST_F(PrinterTest, FourPagesShareASheetInReadingOrder) {
  const std::string fax = faxtest::numberedFax("five.apf", 5);
  printer->SetFileName(QString::fromStdString(fax));
  printer->SetMultiPage(true);
  const std::string pdf = printTo("five.pdf");
  printer->Printer()->setPageSize(QPageSize(QPageSize::A4));
  printer->Printer()->setPageOrientation(QPageLayout::Portrait);
  printer->PrintDocument();
  ASSERT_EQ(pdfPages(pdf), 2);
  auto first = footers(pdf, 1);
  ASSERT_EQ(first.size(), 4u);
  std::sort(first.begin(), first.end());
  auto [n1, x1, y1] = first[0];
  auto [n2, x2, y2] = first[1];
  auto [n3, x3, y3] = first[2];
  auto [n4, x4, y4] = first[3];
  EXPECT_NEAR(y1, y2, 1);
  EXPECT_LT(x1, x2);
  EXPECT_NEAR(x1, x3, 1);
  EXPECT_GT(y3, y1);
  EXPECT_NEAR(y3, y4, 1);
  EXPECT_NEAR(x4, x2, 1);
  const auto second = footers(pdf, 2);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(std::get<0>(second[0]), 5);
  EXPECT_NEAR(std::get<1>(second[0]), x1, 1);
  EXPECT_NEAR(std::get<2>(second[0]), y1, 1);

  // In landscape two pages go side by side.
  const std::string wide = printTo("five-landscape.pdf");
  printer->Printer()->setPageOrientation(QPageLayout::Landscape);
  printer->PrintDocument();
  ASSERT_EQ(pdfPages(wide), 3);
  auto pair = footers(wide, 1);
  ASSERT_EQ(pair.size(), 2u);
  std::sort(pair.begin(), pair.end());
  EXPECT_NEAR(std::get<2>(pair[0]), std::get<2>(pair[1]), 1);
  EXPECT_LT(std::get<1>(pair[0]), std::get<1>(pair[1]));
}

TEST_F(PrinterTest, AbortButtonStopsThePrintAndIsLogged) {
  const std::string fax = faxtest::numberedFax("five-abort.apf", 5);
  printer->SetFileName(QString::fromStdString(fax));
  const std::string pdf = printTo("aborted.pdf");
  std::vector<int> started;
  printer->OnNextPage = [&](TFxFaxPrinter*, int cp, int tp) {
    started.push_back(cp);
    EXPECT_EQ(tp, 5);
    if (cp == 2) {
      auto* display = static_cast<TStandardFaxPrinterStatusDisplay*>(status->Display());
      ASSERT_TRUE(display->isVisible());
      QTest::mouseClick(display->fpsAbortButton, Qt::LeftButton);
    }
  };
  printer->PrintDocument();
  EXPECT_EQ(started, (std::vector<int>{1, 2}));
  EXPECT_EQ(logCodes, (std::vector<int>{lcStart, lcAborted}));
  EXPECT_FALSE(status->Display()->isVisible());
  EXPECT_EQ(printer->PrintingPage(), 0);
  const std::string logText = readFile(logPath);
  EXPECT_TRUE(std::regex_match(logText, std::regex("Printing " + fax +
                                                   " started at [^\r\n]+\r\n"
                                                   "Printing " +
                                                   fax + " aborted at [^\r\n]+\r\n\r\n")))
      << logText;
  EXPECT_FALSE(std::filesystem::exists(pdf)); // no half-printed file is left
}

TEST_F(PrinterTest, LogThatCannotBeWrittenStopsThePrint) {
  const std::string fax = faxtest::numberedFax("nolog.apf", 1);
  printer->SetFileName(QString::fromStdString(fax));
  log->SetLogFileName(QString::fromStdString(scratch("no/such/folder/FAXPRINT.LOG")));
  const std::string pdf = printTo("nolog.pdf");
  try {
    printer->PrintDocument();
    ADD_FAILURE() << "no error raised";
  } catch (const std::exception& e) {
    EXPECT_EQ(ErrorCodeOf(e), ecFileNotFound) << e.what();
  }
  EXPECT_FALSE(status->Display()->isVisible());
  EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST_F(PrinterTest, FileWithoutPagesPrintsNothing) {
  const std::string fax = scratch("empty.apf");
  faxtest::writeApf(fax, {});
  printer->SetFileName(QString::fromStdString(fax));
  EXPECT_EQ(printer->PagesInFile(), 0);
  EXPECT_EQ(printer->FromPageNo(), 0);
  const std::string pdf = printTo("empty.pdf");
  printer->PrintDocument();
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_FALSE(std::filesystem::exists(logPath));
  EXPECT_TRUE(logCodes.empty());
}

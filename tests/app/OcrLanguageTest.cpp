// The OCR language on the Forwarding page of Preferences: the languages
// installed for the OCR engine are offered, the choice is kept in TOV.INI
// and the faxes read afterwards are read in it; a language whose data is
// missing is named on the page and the status line, and English is read.
#include "tests/app/AppGuiTestKit.h"

#include "../archive/OcrPages.h"
#include "../faxview/FaxFiles.h"
#include "app/FaxArchiveService.h"
#include "archive/ArchiveIndex.h"
#include "archive/OcrLanguages.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace appgui;

namespace {

// A French letter, in the code page the fax's RTF carries.
const char* kFrench = "Le d\351j\340 c\351l\350bre th\351\342tre fran\347ais a \351t\351 "
                      "r\351nov\351 apr\350s la f\352te.\nLes \351l\350ves \351tudient la "
                      "g\351ographie.";

// The first page's text of a received fax once the reader has stored it.
std::string textOf(TMainScreen& w, DataFolder& data, const std::string& name) {
  const std::string path = data.Path() + "receive/" + name;
  faxtest::writeApf(path, {archivetest::DrawTextPage(kFrench, 20)});
  MainScreenTestAccess::FaxArrived(w, "PARIS", 1, path);
  std::string text;
  WaitFor(
      [&] {
        archive::ArchiveIndex index(app::FaxArchiveService::IndexPath());
        text = index.PageText(name, 1);
        return !text.empty();
      },
      90000);
  return text;
}

TEST(OcrLanguage, ChosenAmongTheInstalledOnesAndUsedForTheNextFax) {
  const std::vector<std::string> installed = archive::OcrLanguages();
  ASSERT_NE(std::find(installed.begin(), installed.end(), "fra"), installed.end())
      << "scripts/install-deps.sh installs tesseract-ocr-fra";
  DataFolder data;
  std::filesystem::create_directories(data.Path() + "receive");
  data.WriteIni("Archive", "OcrLanguage", "tlh"); // chosen once, since uninstalled
  TMainScreen w;
  w.show();
  auto* archive = w.findChild<app::FaxArchiveService*>();
  archive->StartReader();
  EXPECT_NE(w.StatusLine()->text().indexOf("\"tlh\" is not installed"), -1)
      << w.StatusLine()->text().toStdString();
  const std::string english = textOf(w, data, "FAX00001.APF");

  QStringList offered;
  QString problem;
  OnNextModal("TPreferences", [&](QWidget* dialog) {
    auto* pages = Find<QTabWidget>(dialog, "Pages");
    pages->setCurrentWidget(dialog->findChild<QWidget*>("ForwardingPage"));
    auto* languages = Find<QComboBox>(dialog, "OcrLanguage");
    for (int i = 0; i < languages->count(); ++i)
      offered << languages->itemData(i).toString();
    auto* label = Find<QLabel>(dialog, "OcrLanguageProblem");
    problem = label->isVisibleTo(dialog) ? label->text() : QString();
    if (const QByteArray shots = qgetenv("TOLVANE_SHOTS"); !shots.isEmpty()) {
      QTest::qWait(300);
      dialog->grab().save(QString::fromLocal8Bit(shots) + "/ocr-language-missing.png");
    }
    // English is in effect; French is the next one down.
    languages->setFocus();
    while (languages->currentData().toString() != "fra" &&
           languages->currentIndex() < languages->count() - 1)
      QTest::keyClick(languages, Qt::Key_Down);
    appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(Find<QPushButton>(dialog, "AcceptButton"), Qt::LeftButton);
  });
  w.findChild<QAction*>("mnuPreferences")->trigger();
  QStringList expected;
  for (const std::string& l : installed)
    expected << QString::fromStdString(l);
  EXPECT_EQ(offered, expected);
  EXPECT_NE(problem.indexOf("\"tlh\" is not installed"), -1) << problem.toStdString();
  EXPECT_NE(problem.indexOf("read as English"), -1);
  EXPECT_EQ(data.ReadIni("Archive", "OcrLanguage"), "fra");

  // The same page read in French keeps its accents, which English drops.
  const std::string french = textOf(w, data, "FAX00002.APF");
  EXPECT_NE(french.find("th\u00e9\u00e2tre"), std::string::npos) << french;
  EXPECT_NE(french.find("fran\u00e7ais"), std::string::npos) << french;
  EXPECT_EQ(english.find("fran\u00e7ais"), std::string::npos) << english;
  EXPECT_NE(english.find("francais"), std::string::npos) << english;
}

} // namespace

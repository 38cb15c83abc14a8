// Forwarding rules set on their Preferences page and used when a fax
// arrives: the PDF in the chosen folder, the mail through a real server
// (STARTTLS, login with the password the page stored), the outcome on the
// status line, and a folder that is gone reported there while the fax stays
// listed.
#include "tests/app/AppGuiTestKit.h"

#include "../archive/MailServer.h"
#include "tests/support/LoopbackPort.h"
#include "../archive/OcrPages.h"
#include "../faxview/FaxFiles.h"
#include "archive/FaxForward.h"
#include "archive/ForwardJournal.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace appgui;
namespace fs = std::filesystem;

namespace {

void setText(QWidget* page, const char* name, const QString& text) {
  auto* edit = Find<QLineEdit>(page, name);
  ASSERT_NE(edit, nullptr) << name;
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

std::string receivedFax(DataFolder& data, const std::string& name, const std::string& text) {
  const std::string path = data.Path() + "receive/" + name;
  faxtest::writeApf(path, {archivetest::DrawTextPage(text, 20), archivetest::DrawTextPage("End", 20)});
  return path;
}

TEST(Forwarding, RulesFromPreferencesSaveAndMailEachReceivedFax) {
  DataFolder data;
  fs::create_directories(data.Path() + "receive");
  fs::create_directories(data.Path() + "pdf");
  ASSERT_TRUE(archivetest::MakeCertificate(data.Path()));
  data.WriteIni("Forward", "CaFile", data.Path() + "cert.pem");
  const int port = testsupport::freeLoopbackPort();
  archivetest::MailServer server(port, data.Path());
  TMainScreen w;
  w.show();

  bool accepted = false;
  OnNextModal("TPreferences", [&](QWidget* dialog) {
    auto* pages = Find<QTabWidget>(dialog, "Pages");
    QWidget* page = dialog->findChild<QWidget*>("ForwardingPage");
    ASSERT_TRUE(pages && page);
    pages->setCurrentWidget(page);
    QTest::mouseClick(Find<QCheckBox>(page, "SaveToFolder"), Qt::LeftButton);
    setText(page, "ForwardFolder", QString::fromStdString(data.Path() + "pdf"));
    QTest::mouseClick(Find<QCheckBox>(page, "SendMail"), Qt::LeftButton);
    setText(page, "MailTo", "office@example.org");
    setText(page, "MailFrom", "fax@example.org");
    setText(page, "SmtpHost", "127.0.0.1");
    Find<QSpinBox>(page, "SmtpPort")->setValue(port);
    setText(page, "SmtpUser", "fax");
    setText(page, "SmtpPassword", "secret");
    // A picture of the filled page for looking at it (under xvfb-run).
    if (const QByteArray shots = qgetenv("TOLVANE_SHOTS"); !shots.isEmpty()) {
      QTest::qWait(300);
      dialog->grab().save(QString::fromLocal8Bit(shots) + "/forwarding-preferences.png");
    }
    // Without a desktop secret store (a test machine) an information box
    // says the password is kept for this run only.
    appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(Find<QPushButton>(dialog, "AcceptButton"), Qt::LeftButton);
    accepted = !dialog->isVisible();
  });
  w.findChild<QAction*>("mnuPreferences")->trigger();
  ASSERT_TRUE(accepted);
  EXPECT_EQ(data.ReadIni("Forward", "SmtpHost"), "127.0.0.1");
  EXPECT_EQ(archivetest::ReadFile(data.Path() + "TOV.INI").find("secret"), std::string::npos);

  const std::string fax = receivedFax(data, "FAX00009.APF", "Delivery note 4471 for spruce");
  MainScreenTestAccess::FaxArrived(w, "NORTHFIELD", 2, fax);
  QLabel* status = w.StatusLine();
  EXPECT_TRUE(WaitFor([&] { return status->text().startsWith("Fax FAX00009.APF mailed to"); },
                      120000))
      << status->text().toStdString();
  std::vector<fs::path> pdfs;
  for (const auto& entry : fs::directory_iterator(data.Path() + "pdf"))
    pdfs.push_back(entry.path());
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_EQ(archivetest::PdfPages(pdfs[0].string()), 2);
  const std::string mail = data.Path() + "mail/1/";
  EXPECT_NE(archivetest::ReadFile(mail + "session.txt").find("tls=True login=fax"),
            std::string::npos);
  EXPECT_NE(archivetest::ReadFile(mail + "body.txt").find("Delivery note 4471 for spruce"),
            std::string::npos);
  EXPECT_EQ(archivetest::PdfPages(mail + pdfs[0].filename().string()), 2);

  // The folder is gone: said on the status line, tried again later, and the
  // fax is listed all the same.
  data.WriteIni("Forward", "Folder", data.Path() + "gone");
  data.WriteIni("Forward", "SendMail", "0");
  const std::string second = receivedFax(data, "FAX00010.APF", "Second fax");
  MainScreenTestAccess::FaxArrived(w, "NORTHFIELD", 2, second);
  EXPECT_TRUE(WaitFor([&] { return status->text().startsWith("Forwarding fax FAX00010.APF"); },
                      60000));
  EXPECT_NE(status->text().indexOf("does not exist. Next attempt in 30 s."), -1)
      << status->text().toStdString();
  EXPECT_EQ(Find<QTableView>(&w, "RecFaxGrid")->model()->rowCount(), 2);
}

TEST(Forwarding, ForwardsLeftUndoneAreDoneAfterTheNextStart) {
  DataFolder data;
  fs::create_directories(data.Path() + "receive");
  fs::create_directories(data.Path() + "pdf");
  data.WriteIni("Forward", "SaveToFolder", "1");
  data.WriteIni("Forward", "Folder", data.Path() + "pdf");
  const std::string fax = receivedFax(data, "FAX00011.APF", "Left over");
  ASSERT_TRUE(archive::WriteForwardJournal(data.Path() + "forward-pending.txt",
                                           {{fax, true, false, 1700000000}}));
  TMainScreen w;
  w.show();
  EXPECT_TRUE(WaitFor([&] { return w.StatusLine()->text().startsWith("Fax FAX00011.APF saved as"); },
                      60000))
      << w.StatusLine()->text().toStdString();
  std::vector<fs::path> pdfs;
  for (const auto& entry : fs::directory_iterator(data.Path() + "pdf"))
    pdfs.push_back(entry.path());
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_EQ(archivetest::PdfPages(pdfs[0].string()), 2);
  EXPECT_TRUE(WaitFor([&] { return !fs::exists(data.Path() + "forward-pending.txt"); }));
}

} // namespace

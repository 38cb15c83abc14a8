// Printing to the fax queue with the real main window (offscreen): a job
// printed through a private print server becomes a fax in the Sent list,
// whose send dialog opens with the number typed at printing, and the fax the
// simulated remote receives has the pages a direct import of the same PDF
// gives, row for row.

#include "tests/app/DesktopServices.h"
#include "tests/faxengine/FaxSimHarness.h"
#include "tests/printinbox/PrintServer.h"
#include "tests/send/SendTestSupport.h"

#include "app/TMainScreen.h"
#include "compose/TFaxEditor.h"
#include "send/TSendFaxForm.h"
#include "core/Settings.h"
#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"
#include "printinbox/InboxReader.h"
#include "widgets/MessageBoxes.h"

#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using appwidgets::MessageBoxHook::lastText;
using appwidgets::MessageBoxHook::setNextAnswer;

namespace {

const std::string kLetter = TOLVANE_TEST_DATA "/printinbox/letter.pdf";

// A user's home folder with the program's data folder in it, the print
// server that delivers to it, and Com1 on a simulated modem whose line ends
// in a fax machine at 5550100.
struct PrintingDesk {
  std::string root;
  std::string home;
  std::unique_ptr<printtest::PrintServer> server;
  std::unique_ptr<faxtest::SimModem> sim;

  PrintingDesk() {
    char name[] = "/tmp/tolvane-printtest-XXXXXX";
    root = ::mkdtemp(name);
    home = root + "/home";
    fs::create_directories(home + "/.local/share/tolvane");
    fs::create_directories(root + "/cups");
    platform::setProgramDir(home + "/.local/share/tolvane/");
    app::Settings = app::TSettings{};
    server = std::make_unique<printtest::PrintServer>(root + "/cups", home);
    sim = std::make_unique<faxtest::SimModem>(
        "class120", std::vector<std::string>{"--number", "5550100 fax ident=REMOTE dir=@DIR@/RX"},
        4);
    fs::create_directory(sim->Dir() + "/RX");
    platform::SetPortDevicePath(1, sim->Link(), platform::IniFileName());
    app::Settings.ComPort = 0;
    app::Settings.FaxClass = 3;
    app::Settings.UserFax = "555 0199";
    app::SaveSettings();
  }
  ~PrintingDesk() {
    server.reset();
    sim.reset();
    platform::setProgramDir("");
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::string Inbox() const { return home + "/.local/share/tolvane/inbox"; }
};

bool Visible(TSendFaxForm& f) {
  return f.isVisible();
}

QString Cell(TMainScreen& w, int row, int column) {
  return w.findChild<QTableView*>("FaxGrid")->model()->index(row, column).data().toString();
}

int Rows(TMainScreen& w) {
  return w.findChild<QTableView*>("FaxGrid")->model()->rowCount();
}

int ColumnNamed(TMainScreen& w, const QString& name) {
  auto* model = w.findChild<QTableView*>("FaxGrid")->model();
  for (int c = 0; c < model->columnCount(); ++c)
    if (model->headerData(c, Qt::Horizontal).toString() == name)
      return c;
  return -1;
}

void DropFile(QWidget& window, const QString& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  const QPointF at(window.width() / 2.0, window.height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
}

// The rows of each page of the fax file the next send dialog holds, kept
// aside before the dialog is closed without sending.
void KeepFaxFileOfNextDialog(const std::string& copy, QString* phone) {
  sendtest::WhenModal<TSendFaxForm>(
      [](TSendFaxForm& f) { return f.isVisible() && !f.FaxFile().isEmpty(); },
      [=](TSendFaxForm& f) {
        QFile::copy(f.FaxFile(), QString::fromStdString(copy));
        *phone = f.findChild<QLineEdit*>("sfPhoneNumber")->text();
        sendtest::Click(f, "CloseButton");
      },
      90);
}

} // namespace

// Printed while the program is not running, taken at its start, sent
// through the simulated modem; then the same PDF imported directly.
TEST(PrintToFax, APrintedLetterIsSentWithTheRowsOfADirectImport) {
  PrintingDesk desk;
  ASSERT_TRUE(desk.server->Ready()) << desk.server->Problem();
  ASSERT_TRUE(desk.sim->Started());

  const int job = desk.server->Print(kLetter, {"phone=5550100"}, "Letter to the clinic");
  ASSERT_GT(job, 0);
  ASSERT_EQ(desk.server->WaitForEnd(job).state, "completed") << desk.server->ErrorLog();

  // At its start the window takes the job and opens the send dialog.
  const std::string printedApf = desk.root + "/printed.apf";
  QString phone, caption;
  bool sendFinished = false;
  sendtest::WhenModal<TSendFaxForm>(
      [](TSendFaxForm& f) {
        return f.isVisible() && !f.FaxFile().isEmpty() &&
               !f.findChild<QLineEdit*>("sfPhoneNumber")->text().isEmpty();
      },
      [&](TSendFaxForm& f) {
        phone = f.findChild<QLineEdit*>("sfPhoneNumber")->text();
        caption = f.windowTitle();
        QFile::copy(f.FaxFile(), QString::fromStdString(printedApf));
        setNextAnswer(QMessageBox::Ok);
        sendtest::Click(f, "SendFaxButton");
        sendtest::WhenModal<TSendFaxForm>(
            [](TSendFaxForm& g) { return !g.Busy() && lastText().startsWith("Finished"); },
            [&](TSendFaxForm& g) {
              sendFinished = true;
              sendtest::Click(g, "CloseButton");
            },
            150);
      },
      90);
  TMainScreen w;
  w.show();
  ASSERT_TRUE(sendtest::WaitUntil(
      [&] { return sendFinished && QApplication::activeModalWidget() == nullptr; }, 240))
      << desk.sim->Log();
  EXPECT_EQ(phone, "5550100");
  EXPECT_EQ(caption, "Send Fax: [ - Letter to the clinic]");
  EXPECT_EQ(lastText(), "Finished: OK") << desk.sim->Log();
  ASSERT_EQ(Rows(w), 1);
  EXPECT_EQ(Cell(w, 0, ColumnNamed(w, "Subject")), "Letter to the clinic");
  EXPECT_EQ(Cell(w, 0, ColumnNamed(w, "Pages")), "2");
  EXPECT_EQ(w.FaxTable().fieldString("LASTRESULT"), "Sent");
  EXPECT_TRUE(printinbox::ListInbox(desk.Inbox()).empty()) << "the job left the inbox";

  // The same PDF dropped onto the window: the fax a user makes by hand.
  appwidgets::MessageBoxHook::clear();
  bool edited = false;
  sendtest::WhenModal<compose::TFaxEditor>(
      [](compose::TFaxEditor& e) { return e.isVisible(); },
      [&](compose::TFaxEditor& e) {
        QTest::keyClicks(e.FaxNumber, "5550100");
        edited = true;
        sendtest::Click(e, "OKButton");
      },
      90);
  DropFile(w, QString::fromStdString(kLetter));
  ASSERT_TRUE(edited);
  ASSERT_EQ(Rows(w), 2);
  const std::string directApf = desk.root + "/direct.apf";
  QString directPhone;
  KeepFaxFileOfNextDialog(directApf, &directPhone);
  sendtest::Click(w, "SendButton");
  EXPECT_EQ(directPhone, "5550100");

  const auto printed = faxtest::ApfRows(printedApf);
  const auto direct = faxtest::ApfRows(directApf);
  ASSERT_EQ(printed.size(), 2u) << "the letter has two pages";
  ASSERT_EQ(direct.size(), printed.size());
  for (std::size_t p = 0; p < printed.size(); ++p)
    EXPECT_TRUE(printed[p] == direct[p]) << "page " << p + 1 << " differs from a direct import";

  // What the remote fax machine received: each page is the built page below
  // the header line the send adds on top.
  const auto tiffs = faxtest::TiffsIn(desk.sim->Dir() + "/RX");
  ASSERT_EQ(tiffs.size(), 1u) << desk.sim->Log();
  const auto got = faxtest::TiffRows(tiffs[0]);
  ASSERT_EQ(got.size(), printed.size());
  for (std::size_t p = 0; p < got.size(); ++p) {
    ASSERT_GE(got[p].size(), printed[p].size());
    const std::vector<std::vector<uint8_t>> below(got[p].end() - printed[p].size(), got[p].end());
    EXPECT_TRUE(below == printed[p]) << "page " << p + 1 << " arrived changed";
  }
  w.close();
}

// With the window running: two jobs printed at once both become faxes, the
// one with a number is sent at once (the preference), the other's dialog
// waits for the user; a damaged PDF fails its print job with the reason in
// the job's log, and the desktop is told.
TEST(PrintToFax, JobsPrintedWhileRunningArriveAndADamagedOneIsReported) {
  PrintingDesk desk;
  appgui::PrivateSessionBus bus(desk.root);
  ASSERT_TRUE(bus.Ready());
  ASSERT_TRUE(desk.server->Ready()) << desk.server->Problem();
  app::Settings.SendPrintedAtOnce = true;
  app::SaveSettings();

  TMainScreen w;
  w.show();
  ASSERT_TRUE(sendtest::WaitUntil([&] { return w.isVisible(); }, 10));

  // Each send dialog as it comes: the one with a number must be sending by
  // itself; the other is closed untouched.
  struct Seen {
    QString phone, result, caption;
    bool startedAlone = false;
  };
  QList<Seen> seen;
  setNextAnswer(QMessageBox::Ok); // the end of the one send
  QTimer watcher;
  QPointer<TSendFaxForm> current;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* f = qobject_cast<TSendFaxForm*>(QApplication::activeModalWidget());
    if (!f || !f->isVisible() || f->FaxFile().isEmpty())
      return;
    if (f != current) {
      current = f;
      seen.append(Seen{});
    }
    Seen& s = seen.last();
    s.phone = f->findChild<QLineEdit*>("sfPhoneNumber")->text();
    s.caption = f->windowTitle();
    if (f->Busy())
      s.startedAlone = true;
    if (s.phone.isEmpty() && !f->Busy()) {
      sendtest::Click(*f, "CloseButton");
    } else if (!f->Busy() && lastText().startsWith("Finished")) {
      s.result = lastText();
      sendtest::Click(*f, "CloseButton");
    }
  });
  watcher.start(20);

  const std::string letter = kLetter;
  const int first = desk.server->Print(letter, {"phone=5550100"}, "With number");
  const int second = desk.server->Print(letter, {}, "Without number");
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  ASSERT_TRUE(sendtest::WaitUntil(
      [&] {
        return seen.size() == 2 && QApplication::activeModalWidget() == nullptr && Rows(w) == 2;
      },
      240))
      << seen.size() << " dialogs, " << Rows(w) << " rows; " << desk.sim->Log();
  EXPECT_EQ(desk.server->Job(first).state, "completed");
  EXPECT_EQ(desk.server->Job(second).state, "completed");
  EXPECT_EQ(seen[0].phone, "5550100");
  EXPECT_TRUE(seen[0].startedAlone) << "the preference sends a fax with a number at once";
  EXPECT_EQ(seen[0].result, "Finished: OK") << desk.sim->Log();
  EXPECT_EQ(seen[1].phone, "") << seen[1].caption.toStdString() << " after "
                               << seen[0].caption.toStdString();
  EXPECT_FALSE(seen[1].startedAlone);
  QStringList subjects{Cell(w, 0, ColumnNamed(w, "Subject")),
                       Cell(w, 1, ColumnNamed(w, "Subject"))};
  subjects.sort();
  EXPECT_EQ(subjects, QStringList({"With number", "Without number"}));
  EXPECT_TRUE(printinbox::ListInbox(desk.Inbox()).empty());

  // A damaged PDF: the job fails with the reason, nothing reaches the list,
  // and the desktop says so.
  const int damaged = desk.server->Print(TOLVANE_TEST_DATA "/printinbox/damaged.pdf", {},
                                         "Broken scan");
  ASSERT_GT(damaged, 0);
  const printtest::JobState state = desk.server->WaitForEnd(damaged);
  EXPECT_EQ(state.state, "canceled");
  EXPECT_NE(state.message.find("no readable PDF"), std::string::npos) << state.message;
  EXPECT_NE(desk.server->ErrorLog().find("[Job " + std::to_string(damaged) +
                                         "] the printed document is no readable PDF"),
            std::string::npos)
      << desk.server->ErrorLog();
  ASSERT_TRUE(sendtest::WaitUntil([&] { return !bus.Recorder().shown.isEmpty(); }, 30));
  const auto& shown = bus.Recorder().shown.front();
  EXPECT_EQ(shown.summary, "Printed fax not kept");
  EXPECT_TRUE(shown.body.contains("Broken scan") && shown.body.contains("no readable PDF"))
      << shown.body.toStdString();
  EXPECT_TRUE(w.StatusLine()->text().contains("no readable PDF"));
  EXPECT_EQ(Rows(w), 2);
  EXPECT_TRUE(printinbox::ListInbox(desk.Inbox()).empty()) << "the note is taken once";
  watcher.stop();
  w.close();
}

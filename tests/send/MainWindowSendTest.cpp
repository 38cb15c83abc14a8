// The main window's Send command end to end: the fax file is built from
// the selected Sent record, the send dialog opens on it, and the record
// gets the outcome; through the simulated modem and remote fax machine.
// The sent fax's text is read for the search field after its pages are gone.

#include "../faxengine/FaxSimHarness.h"
#include "SendTestSupport.h"

#include "app/TMainScreen.h"
#include "core/FaxTables.h"
#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "send/TSendFaxForm.h"
#include "faxview/TFaxViewer.h"
#include "xbase/Table.h"

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using appwidgets::MessageBoxHook::lastText;
using appwidgets::MessageBoxHook::setNextAnswer;

namespace {

void AddSentFax() {
  xbase::TableEnv::setDeleted(true);
  xbase::Table table;
  ASSERT_TRUE(app::OpenFaxDBF(table));
  table.append();
  table.setField("SUBJECT", "Figures");
  table.setField("RECIPIENT", "Bob Smith");
  table.setField("PHONE", "5550100");
  table.setLogical("SENT", false);
  table.setMemo("RTFDOC", "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 "
                          "The figures for March.\\par Regards, Ann\\par}");
  table.post();
  table.close();
}

std::vector<std::vector<uint8_t>> FineRows(const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<std::vector<uint8_t>> fine;
  for (const auto& row : rows)
    fine.insert(fine.end(), 2, row);
  return fine;
}

template <typename T> bool Visible(T& f) {
  return f.isVisible();
}

TEST(MainWindowSend, CloseWithoutSendingThenSendWritesTheRecord) {
  sendtest::TestHome home;
  faxtest::SimModem sim("class120", {"--number", "5550100 fax ident=REMOTE dir=@DIR@/RX"}, 4);
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  home.SetCom(1, sim.Link());
  app::Settings.ComPort = 0;
  app::Settings.FaxClass = 3;
  app::Settings.UserFax = "555 0199";
  app::Settings.ResetString = "Z";
  app::SaveSettings();
  AddSentFax();

  TMainScreen w;
  w.show();
  auto* send = w.findChild<QPushButton*>("SendButton");
  ASSERT_NE(send, nullptr);
  ASSERT_TRUE(sendtest::WaitUntil([&] { return send->isEnabled(); }, 5));

  // Closing without sending.
  QString title, phone;
  sendtest::WhenModal<TSendFaxForm>(Visible<TSendFaxForm>, [&](TSendFaxForm& f) {
    title = f.windowTitle();
    phone = f.findChild<QLineEdit*>("sfPhoneNumber")->text();
    sendtest::Click(f, "CloseButton");
  });
  setNextAnswer(QMessageBox::Ok); // for a failure to build the file
  sendtest::Click(w, "SendButton");
  ASSERT_FALSE(title.isEmpty()) << "no send dialog: " << lastText().toStdString();
  appwidgets::MessageBoxHook::clear();
  EXPECT_EQ(title, "Send Fax: [Bob Smith - Figures]");
  EXPECT_EQ(phone, "5550100");
  xbase::Table& table = w.FaxTable();
  EXPECT_EQ(table.fieldString("LASTRESULT"), "Cancelled");
  EXPECT_FALSE(table.fieldLogical("SENT"));
  const int pages = static_cast<int>(table.fieldNumber("PAGES"));
  EXPECT_GE(pages, 1);

  // Sending: the dialog's file is kept aside to compare with what arrived.
  QString faxFile;
  const std::string kept = home.Dir() + "sent.apf";
  sendtest::WhenModal<TSendFaxForm>(Visible<TSendFaxForm>, [&](TSendFaxForm& f) {
    faxFile = f.FaxFile();
    QFile::copy(faxFile, QString::fromStdString(kept));
    setNextAnswer(QMessageBox::Ok);
    sendtest::Click(f, "SendFaxButton");
    sendtest::WhenModal<TSendFaxForm>(
        [](TSendFaxForm& g) { return !g.Busy() && lastText().startsWith("Finished"); },
        [](TSendFaxForm& g) { sendtest::Click(g, "CloseButton"); }, 120);
  });
  const QDateTime before = QDateTime::currentDateTime();
  sendtest::Click(w, "SendButton");
  EXPECT_EQ(lastText(), "Finished: OK") << sim.Log();
  EXPECT_EQ(table.fieldString("LASTRESULT"), "Sent");
  EXPECT_TRUE(table.fieldLogical("SENT"));
  EXPECT_EQ(table.fieldDate("DATESENT"), before.date().toString("yyyyMMdd").toStdString());
  EXPECT_TRUE(
      QTime::fromString(QString::fromStdString(table.fieldString("TIMESENT")), "HH:mm").isValid());
  EXPECT_EQ(static_cast<int>(table.fieldNumber("PAGES")), pages);
  EXPECT_FALSE(QFile::exists(faxFile)) << "the fax file is deleted";
  // The reset string went out with its prefix and is stored so.
  app::TSettings stored;
  app::LoadSettings(stored, home.Ini());
  EXPECT_EQ(stored.ResetString, "ATZ");

  // The remote got the built pages, each under its header line.
  const auto tiffs = faxtest::TiffsIn(sim.Dir() + "/RX");
  ASSERT_EQ(tiffs.size(), 1u) << sim.Log();
  const auto got = faxtest::TiffRows(tiffs[0]);
  const auto built = faxtest::ApfRows(kept);
  ASSERT_EQ(got.size(), built.size());
  ASSERT_EQ(static_cast<int>(got.size()), pages);
  // The header line: the user's station ID, then the moment of sending. The
  // built pages are at fine resolution, where each header row goes out twice.
  auto headerAt = [&](const QDateTime& t) {
    const QLocale c = QLocale::c();
    return FineRows(faxtest::HeaderRows("Page 1 of " + std::to_string(pages) +
                                        " Sent by  555 0199  on " +
                                        c.toString(t.date(), "d MMM yyyy").toStdString() + " at " +
                                        c.toString(t.time(), "hh:mmap").toStdString()));
  };
  const auto header = headerAt(before);
  ASSERT_GT(got[0].size(), 8 + header.size());
  const std::vector<std::vector<uint8_t>> gotHeader(got[0].begin() + 8,
                                                    got[0].begin() + 8 + header.size());
  EXPECT_TRUE(gotHeader == header || gotHeader == headerAt(before.addSecs(60)));
  const size_t top = 8 + header.size();
  ASSERT_EQ(got[0].size(), top + built[0].size());
  for (size_t y = 0; y < built[0].size(); ++y)
    ASSERT_EQ(got[0][top + y], built[0][y]) << "row " << y;

  // The pages are gone, yet a word only the fax's body holds finds it, and
  // the viewer marks the word on the fax's page.
  auto* search = w.findChild<QLineEdit*>("SearchEdit");
  auto* count = w.findChild<QLabel*>("SearchCount");
  QTest::keyClicks(search, "march");
  EXPECT_TRUE(sendtest::WaitUntil([&] { return count->text() == "1 sent, 0 received"; }, 120))
      << count->text().toStdString();
  std::size_t marks = 0;
  sendtest::WhenModal<TFaxViewer>(Visible<TFaxViewer>, [&](TFaxViewer& viewer) {
    marks = viewer.FaxViewer->Engine().WordMarkRects().size();
    sendtest::Click(viewer, "CloseButton");
  });
  sendtest::Click(w, "ViewFaxButton");
  EXPECT_EQ(marks, 1u) << "the word is marked where it stands";
  search->clear();
  QTest::keyClicks(search, "april");
  EXPECT_TRUE(sendtest::WaitUntil([&] { return count->text() == "0 sent, 0 received"; }, 10));
}

} // namespace

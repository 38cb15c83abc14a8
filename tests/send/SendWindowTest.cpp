// The send dialog through the simulated modem, driven as a user drives it:
// in each class a send cancelled in mid-page from the status window, then a
// send on the same device that arrives; a busy number with a redial.

#include "../faxengine/FaxSimHarness.h"
#include "SendTestSupport.h"

#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "send/TFxMeter.h"
#include "send/TSendFaxForm.h"
#include "send/TStandardFaxDisplay.h"
#include "faxengine/FaxTypes.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using appwidgets::MessageBoxHook::lastText;
using appwidgets::MessageBoxHook::setNextAnswer;
using sendtest::LabelText;

namespace {

using Rows = std::vector<std::vector<uint8_t>>;

struct ClassCase {
  int faxClassIndex; // item of "Fax class": 1 class 1, 2 class 2, 3 class 2.0
  const char* model;
  int speed;
  const char* name;
  const char* remote; // what the remote fax machine offers beside MH
  const char* line;   // the coding and error correction the remote reports
};

void PrintTo(const ClassCase& c, std::ostream* os) {
  *os << c.name;
}

// What the status window showed, read from its labels at every status event.
struct Seen {
  QStringList statusTexts;
  std::set<QString> remoteIds, bps, totalPages, dialAttempts, currentPages, errorControl;
  std::set<int> meterSegments;
  int meterChanges = 0;
  bool shown = false;
};

void Observe(TSendFaxForm& form, Seen& seen) {
  TStandardFaxDisplay* display = form.FxFaxStatus1().Display();
  display->Meter()->OnPosChange = [&seen](TFxMeter& m) {
    ++seen.meterChanges;
    seen.meterSegments.insert(m.SegmentCount());
  };
  form.FxSendFax1().OnFaxStatus = [&seen, display](TFxCustomAbstractFax&, bool, bool last) {
    if (last)
      return;
    seen.shown = seen.shown || display->isVisible();
    const QString text = LabelText(*display, "fsStatusMsg");
    if (seen.statusTexts.isEmpty() || seen.statusTexts.back() != text)
      seen.statusTexts << text;
    seen.remoteIds.insert(LabelText(*display, "fsRemoteID"));
    seen.bps.insert(LabelText(*display, "fsConnectBPS"));
    seen.totalPages.insert(LabelText(*display, "fsTotalPages"));
    seen.dialAttempts.insert(LabelText(*display, "fsDialAttempt"));
    seen.currentPages.insert(LabelText(*display, "fsCurrentPage"));
    seen.errorControl.insert(LabelText(*display, "fsErrorControl"));
  };
}

void LoadUserSettings(int faxClassIndex) {
  app::Settings.ComPort = 0;
  app::Settings.FaxClass = faxClassIndex;
  app::Settings.MaximumBPS = 14400;
  app::Settings.UserName = "Ann";
  app::Settings.UserFax = "555 0199";
  app::Settings.DialAttempts = 1;
}

// Clicks "Send Fax" with the "Finished" box answered, and waits for the end.
bool SendAndWait(TSendFaxForm& form, double seconds) {
  setNextAnswer(QMessageBox::Ok);
  sendtest::Click(form, "SendFaxButton");
  return sendtest::WaitUntil([&] { return !form.Busy(); }, seconds);
}

// Page p (from 0) as the remote got it: 8 blank rows, the header line, then
// the page as composed.
void ExpectPage(const Rows& got, const Rows& composed, const std::string& header) {
  const auto headerRows = faxtest::HeaderRows(header);
  ASSERT_EQ(got.size(), 8 + headerRows.size() + composed.size()) << header;
  for (size_t y = 0; y < 8; ++y)
    EXPECT_TRUE(faxtest::BlankRow(got[y])) << "row " << y;
  for (size_t y = 0; y < headerRows.size(); ++y)
    ASSERT_EQ(got[8 + y], headerRows[y]) << header << ": header row " << y;
  for (size_t y = 0; y < composed.size(); ++y)
    ASSERT_EQ(got[8 + headerRows.size() + y], composed[y]) << header << ": row " << y;
}

// The header the remote prints for page p of n: the macros of the dialog's
// header line filled in ("$N," is one macro token, so its comma goes too).
std::string HeaderFor(const QString& line, int p, int n, const std::string& station) {
  QString text = line;
  text.replace("$P", QString::number(p));
  text.replace("$N,", QString::number(n));
  text.replace("$I", QString::fromStdString(station));
  return text.toStdString();
}

class SendWindowCalls : public ::testing::TestWithParam<ClassCase> {};

TEST_P(SendWindowCalls, CancelInMidPageThenTheNextSendArrivesWithItsHeader) {
  const ClassCase& c = GetParam();
  sendtest::TestHome home;
  faxtest::SimModem sim(
      c.model, {"--number", std::string("5550100 fax ident=REMOTE dir=@DIR@/RX ") + c.remote},
      c.speed);
  ASSERT_TRUE(sim.Started());
  fs::create_directory(sim.Dir() + "/RX");
  home.SetCom(1, sim.Link());
  LoadUserSettings(c.faxClassIndex);
  const std::string longDoc = faxtest::MakeApf(sim.Dir(), 2, 60, "long");
  const std::string doc = faxtest::MakeApf(sim.Dir(), 2, 12, "doc");

  TSendFaxForm form;
  form.SetFaxFile(QString::fromStdString(longDoc));
  form.SetPhoneNumber("5550100");
  form.LoadSettings(app::Settings);
  form.show();
  ASSERT_TRUE(sendtest::WaitUntil(
      [&] { return form.findChild<QLineEdit*>("sfPhoneNumber")->text() == "5550100"; }, 5));
  TStandardFaxDisplay* display = form.FxFaxStatus1().Display();

  // Cancel from the status window once a good part of page 1 has gone.
  QElapsedTimer sinceCancel;
  form.FxSendFax1().OnFaxStatus = [&](TFxCustomAbstractFax& fax, bool, bool) {
    if (!sinceCancel.isValid() && fax.ProgressCode() == faxengine::fpSendPage &&
        fax.PageBytesDone() > fax.PageBytesTotal() / 5) {
      sinceCancel.start();
      QTimer::singleShot(0, display, [display] { sendtest::Click(*display, "fsCancel"); });
    }
  };
  ASSERT_TRUE(SendAndWait(form, 90)) << sim.Log();
  ASSERT_TRUE(sinceCancel.isValid()) << "never reached mid-page: " << lastText().toStdString();
  EXPECT_LT(sinceCancel.elapsed(), 10000);
  EXPECT_EQ(lastText(), "Finished: Cancel requested");
  EXPECT_EQ(form.LastResult(), "Cancel requested");
  EXPECT_FALSE(display->isVisible());

  // The same dialog and device send the next fax.
  Seen seen;
  Observe(form, seen);
  const size_t before = faxtest::TiffsIn(sim.Dir() + "/RX").size();
  form.SetFaxFile(QString::fromStdString(doc));
  ASSERT_TRUE(SendAndWait(form, 120)) << sim.Log();
  EXPECT_EQ(lastText(), "Finished: OK") << sim.Log();
  EXPECT_EQ(form.LastResult(), "Sent");

  EXPECT_TRUE(seen.shown);
  EXPECT_TRUE(seen.statusTexts.contains("Dialing")) << seen.statusTexts.join("|").toStdString();
  EXPECT_TRUE(seen.statusTexts.contains("Sending page data"));
  EXPECT_TRUE(seen.remoteIds.count("REMOTE")) << "station ID shown without padding";
  EXPECT_TRUE(seen.bps.count("14400"));
  EXPECT_TRUE(seen.totalPages.count("2"));
  EXPECT_TRUE(seen.currentPages.count("1") && seen.currentPages.count("2"));
  EXPECT_GE(seen.meterSegments.size(), 2u) << "the bar moved";
  // The dialog sends in the best coding the remote offers, with error
  // correction where it has it, and the status window says so.
  EXPECT_NE(sim.Log().find(c.line), std::string::npos) << sim.Log();
  const bool ecm = std::string(c.line).find("ecm 1") != std::string::npos;
  EXPECT_TRUE(seen.errorControl.count(ecm ? "on" : "off")) << sim.Log();

  // The remote's pages, decoded by libtiff: header line and page rows.
  const auto tiffs = faxtest::TiffsIn(sim.Dir() + "/RX");
  ASSERT_EQ(tiffs.size(), before + 1) << sim.Log();
  const auto got = faxtest::TiffRows(tiffs.back());
  const auto sent = faxtest::ApfRows(doc);
  ASSERT_EQ(got.size(), 2u);
  for (int p = 0; p < 2; ++p)
    ExpectPage(got[p], sent[p], HeaderFor(form.HeaderLineText(), p + 1, 2, "555 0199"));
}

INSTANTIATE_TEST_SUITE_P(
    Classes, SendWindowCalls,
    ::testing::Values(ClassCase{1, "class1", 2, "Class1", "ecm=1 coding=mmr", "coding T.6, ecm 1"},
                      ClassCase{2, "class12", 4, "Class2", "", "coding T.4 2-D"},
                      ClassCase{3, "class120", 4, "Class2_0", "", "coding T.4 2-D"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SendWindow, BusyNumberRedialsWithCountdownAndEndsBusy) {
  sendtest::TestHome home;
  faxtest::SimModem sim("class120", {"--number", "5550300 busy ring=1"}, 4);
  ASSERT_TRUE(sim.Started());
  home.SetCom(1, sim.Link());
  LoadUserSettings(3);
  app::Settings.DialAttempts = 2;
  app::Settings.RetryWait = 3;
  const std::string doc = faxtest::MakeApf(sim.Dir(), 1, 12, "doc");

  TSendFaxForm form;
  form.SetFaxFile(QString::fromStdString(doc));
  form.SetPhoneNumber("5550300");
  form.LoadSettings(app::Settings);
  form.show();
  Seen seen;
  Observe(form, seen);
  ASSERT_TRUE(sendtest::WaitUntil(
      [&] { return form.findChild<QLineEdit*>("sfPhoneNumber")->text() == "5550300"; }, 5));
  ASSERT_TRUE(SendAndWait(form, 60)) << sim.Log();
  EXPECT_EQ(lastText(), "Finished: Called fax number was busy");
  EXPECT_EQ(form.LastResult(), "Called fax number was busy");
  EXPECT_TRUE(seen.dialAttempts.count("2"));
  // The countdown: the wait's remaining seconds in the time form.
  QStringList countdown;
  for (const QString& text : seen.statusTexts)
    if (text.startsWith("Busy, waiting until redial..."))
      countdown << text.mid(QString("Busy, waiting until redial...").size());
  ASSERT_FALSE(countdown.isEmpty()) << seen.statusTexts.join("|").toStdString();
  for (const QString& left : countdown)
    EXPECT_TRUE(QRegularExpression("^  0:0[0-3]$").match(left).hasMatch()) << left.toStdString();
}

} // namespace

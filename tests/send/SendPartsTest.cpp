// The send dialog's parts without a modem: the progress bar's segments and
// drawing, the status window's values, the header line, and the dialog's
// settings and failure paths.

#include "SendTestSupport.h"

#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"
#include "send/TFxMeter.h"
#include "send/TResetModemForm.h"
#include "send/TSendFaxForm.h"
#include "send/TStandardFaxDisplay.h"
#include "core/Settings.h"
#include "faxengine/FaxTypes.h"
#include "faxengine/TFxSendFax.h"
#include "widgets/MessageBoxes.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using appwidgets::MessageBoxHook::lastText;
using appwidgets::MessageBoxHook::setNextAnswer;
using sendtest::LabelText;

namespace {

// The meter fills in proportion to the position, never past its inside,
// and tells of a change only when the segments drawn change.
TEST(FxMeter, FillsInProportionAndRedrawsOnlyWhenTheSegmentsChange) {
  TFxMeter meter;
  meter.resize(380, 20);
  meter.SetStep(10);
  meter.SetPosition(0);
  EXPECT_EQ(meter.SegmentCount(), 0);
  int changes = 0;
  meter.OnPosChange = [&](TFxMeter&) { ++changes; };
  const int inside = 380 - 4; // the bevels
  int previous = 0, previousPartial = 0, steps = 0;
  for (int position = 1; position <= 100; ++position) {
    meter.SetPosition(position);
    const int filled = meter.SegmentCount() * meter.Step() + meter.PartialSegment();
    EXPECT_LE(filled, inside) << position;
    EXPECT_GE(meter.SegmentCount(), previous) << position;
    if (meter.SegmentCount() != previous || meter.PartialSegment() != previousPartial)
      ++steps;
    previous = meter.SegmentCount();
    previousPartial = meter.PartialSegment();
    EXPECT_NEAR(double(meter.SegmentCount()) / (inside / meter.Step()), position / 100.0, 0.05)
        << position;
  }
  EXPECT_EQ(changes, steps) << "a change is told exactly when the segments drawn change";
  EXPECT_GE(meter.SegmentCount() * meter.Step() + meter.PartialSegment(), inside - meter.Step());
}

TEST(FxMeter, DrawsBevelsSegmentsAndGaps) {
  TFxMeter meter;
  meter.resize(100, 16);
  meter.SetStep(8);
  meter.SetBarColor(Qt::blue);
  meter.SetBevelColor1(Qt::white);
  meter.SetBevelColor2(Qt::black);
  meter.SetPosition(100); // (100 - 3) div 8 = 12 segments + 1 > 96 px: 12 whole and 0 partial
  const QImage lowered = meter.grab().toImage();
  EXPECT_EQ(lowered.pixelColor(0, 0), QColor(Qt::black));   // left and top: BevelColor2
  EXPECT_EQ(lowered.pixelColor(99, 15), QColor(Qt::white)); // right and bottom: BevelColor1
  EXPECT_EQ(lowered.pixelColor(2, 2), QColor(Qt::blue));    // segment 0 from x = 2
  EXPECT_EQ(lowered.pixelColor(7, 13), QColor(Qt::blue));   // to x = 7, y = 13
  EXPECT_NE(lowered.pixelColor(8, 5), QColor(Qt::blue));    // the gap before segment 1
  EXPECT_NE(lowered.pixelColor(5, 14), QColor(Qt::blue));   // nothing on the bottom row
  meter.SetBevelStyle(1);
  const QImage raised = meter.grab().toImage();
  EXPECT_EQ(raised.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(raised.pixelColor(99, 15), QColor(Qt::black));
  meter.resize(101, 16); // 97 px inside: 12 whole segments and a partial one of 1 px
  meter.SetPosition(100);
  EXPECT_EQ(meter.PartialSegment(), 1);
  EXPECT_EQ(meter.grab().toImage().pixelColor(12 * 8 + 2, 5), QColor(Qt::blue));
}

TEST(FaxDisplay, TimeFormAndFileNames) {
  EXPECT_EQ(TStandardFaxDisplay::TimeForm(90), "  1:30");
  EXPECT_EQ(TStandardFaxDisplay::TimeForm(65), "  1:05");
  EXPECT_EQ(TStandardFaxDisplay::TimeForm(0), "  0:00");
  EXPECT_EQ(TStandardFaxDisplay::TimeForm(60000), "1000:00"); // longer texts stay whole
  EXPECT_EQ(TStandardFaxDisplay::ShortFileName("/home/ann/abcdefghijklmnopqrstuvwxyz1234.APF"),
            "abcdefghijklmnopqrst...");
  EXPECT_EQ(TStandardFaxDisplay::ShortFileName("C:\\FAX\\TOVAX1.APF"), "TOVAX1.APF");
}

TEST(FaxDisplay, ShowsTheComponentsValuesCoverPageBarAndRedialCountdown) {
  TFxSendFax fax;
  TStandardFaxDisplay display;
  display.SetFax(&fax);
  fax.SetPhoneNumber("5550100");
  fax.SetFaxFile("/tmp/abcdefghijklmnopqrstuvwxyz1234.APF");
  fax.SetDialRetryWait(90);
  auto& rec = fax.Record();
  rec.filePageCount = 3;
  rec.pageNumber = 0;
  rec.pageBytesTotal = 12000;
  rec.pageBytesDone = 3000;
  rec.status = faxengine::fpBusyWait;
  display.UpdateValues();
  EXPECT_TRUE(display.RedialRunning());
  EXPECT_EQ(LabelText(display, "fsStatusMsg"), "Busy, waiting until redial...  1:30");
  EXPECT_EQ(LabelText(display, "fsElapsedTime"), "00:00");
  EXPECT_EQ(LabelText(display, "fsCurrentPage"), "<cover page>");
  EXPECT_EQ(LabelText(display, "fsPhoneNumber"), "5550100");
  EXPECT_EQ(LabelText(display, "fsFaxFileName"), "abcdefghijklmnopqrst...");
  EXPECT_EQ(LabelText(display, "fsTotalPages"), "3");
  EXPECT_EQ(LabelText(display, "fsPageLength"), "12000");
  EXPECT_EQ(LabelText(display, "fsBytesTransferred"), "3000");
  EXPECT_EQ(LabelText(display, "fsResolution"), "standard");
  EXPECT_EQ(LabelText(display, "fsWidth"), "1728");
  EXPECT_EQ(LabelText(display, "fsErrorControl"), "off");
  EXPECT_EQ(display.Meter()->Position(), 25);

  rec.status = faxengine::fpGotRemoteID; // the call is connected: the clock starts
  rec.pageNumber = 2;
  display.UpdateValues();
  EXPECT_FALSE(display.RedialRunning());
  EXPECT_TRUE(display.ElapsedRunning());
  EXPECT_EQ(LabelText(display, "fsElapsedTime"), "  0:00");
  EXPECT_EQ(LabelText(display, "fsCurrentPage"), "2");
  rec.status = faxengine::fpFinished;
  display.UpdateValues();
  EXPECT_FALSE(display.ElapsedRunning());
}

TEST(SendForm, HeaderLineWithAndWithoutNameAndStation) {
  const QDateTime evening(QDate(2026, 12, 6), QTime(21, 5));
  EXPECT_EQ(TSendFaxForm::BuildHeaderLine("Ann", "555 0199", evening),
            "Page $P of $N, Sent by Ann, $I  on 6 Dec 2026 at 09:05pm");
  EXPECT_EQ(TSendFaxForm::BuildHeaderLine("", "", QDateTime(QDate(2026, 1, 15), QTime(0, 30))),
            "Page $P of $N, Sent  on 15 Jan 2026 at 12:30am");
  EXPECT_EQ(TSendFaxForm::BuildHeaderLine("", "555", evening),
            "Page $P of $N, Sent by  $I  on 6 Dec 2026 at 09:05pm");
}

TEST(SendForm, SettingsInAndOutKeepBadNumbersAndMapTheSpeed) {
  sendtest::TestHome home;
  app::TSettings s;
  s.ComPort = -1;
  s.MaximumBPS = 19200; // not in the list: shown and stored as 9600
  s.DialAttempts = 4;
  s.FaxClass = 3;
  TSendFaxForm form;
  form.LoadSettings(s);
  EXPECT_EQ(form.findChild<QComboBox*>("TransferRate")->currentText(), "9600");
  EXPECT_EQ(form.FxComPort1().ComNumber(), 0);
  EXPECT_EQ(LabelText(form, "ComDevice"), "No port selected");
  form.findChild<QLineEdit*>("sfDialAttempts")->setText("x");
  form.findChild<QLineEdit*>("sfRetryWait")->setText("45");
  app::TSettings back = s;
  form.StoreSettings(back);
  EXPECT_EQ(back.MaximumBPS, 9600);
  EXPECT_EQ(back.DialAttempts, 4);
  EXPECT_EQ(back.RetryWait, 45);
  EXPECT_EQ(back.ComPort, -1);
  EXPECT_EQ(back.FaxClass, 3);
}

TEST(SendForm, ClosingWithoutSendingIsCancelledAndAMissingDeviceIsNamed) {
  sendtest::TestHome home;
  home.SetCom(2, "/dev/tolvane-no-such-modem");
  app::TSettings s;
  s.ComPort = 1;
  TSendFaxForm form;
  form.SetFaxFile("/tmp/none.apf");
  form.LoadSettings(s);
  form.show();
  setNextAnswer(QMessageBox::Ok);
  sendtest::Click(form, "SendFaxButton");
  EXPECT_EQ(lastText(), "Unable to open the specified communications port ( Com2 )\r\r"
                        "Com2 is /dev/tolvane-no-such-modem");
  EXPECT_FALSE(form.Busy());
  EXPECT_FALSE(form.FxComPort1().Open());
  sendtest::Click(form, "CloseButton");
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.LastResult(), "Cancelled");
}

TEST(ResetModem, SendNowWithAnEmptyStringOnlyBeeps) {
  sendtest::TestHome home;
  home.SetCom(1, "/dev/tolvane-no-such-modem");
  TResetModemForm form;
  form.ComPortGroup()->SetItemIndex(0);
  form.ResetStringEdit()->clear();
  form.ResetAfterStringEdit()->setText("ATZ");
  form.show();
  const int beeps = appwidgets::BeepCount();
  sendtest::Click(form, "Button3");
  EXPECT_EQ(appwidgets::BeepCount(), beeps + 1);
  EXPECT_EQ(LabelText(form, "status"), ""); // no port was opened
  sendtest::Click(form, "Button4");         // the other row's string is there: it tries
  EXPECT_EQ(appwidgets::BeepCount(), beeps + 2);
  EXPECT_EQ(LabelText(form, "status"), "Unable to open the specified communications port ( Com1 )");
  sendtest::Click(form, "Button1");
  sendtest::Click(form, "Button2");
  EXPECT_EQ(form.ResetStringEdit()->text(), "AT&F");
  EXPECT_EQ(form.ResetAfterStringEdit()->text(), "ATZ");
}

} // namespace

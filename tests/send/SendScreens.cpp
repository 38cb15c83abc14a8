// Not a test: one full send through the simulated modem with the real
// windows, saving pictures of the send dialog, the status window in
// mid-page and at the end, the "Finished" box, the preferences pages and
// each modem utility, for a person to look at. Run under Xvfb:
//   xvfb-run -a -s "-screen 0 1280x1024x24" send_screens OUTDIR

#include "../faxengine/FaxSimHarness.h"
#include "SendTestSupport.h"

#include "app/TPreferences.h"
#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "send/TCheckFaxClassForm.h"
#include "send/TFindModemForm.h"
#include "send/TResetModemForm.h"
#include "send/TSendFaxForm.h"
#include "send/TStandardFaxDisplay.h"
#include "faxengine/FaxTypes.h"
#include "platform/qt/QtMainThreadDispatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

QString g_out;

void Save(QWidget& w, const char* name) {
  const QString path = g_out + "/" + name + ".png";
  w.grab().save(path);
  std::printf("%s\n", qPrintable(path));
}

void SaveScreen(const char* name) {
  const QString path = g_out + "/" + name + ".png";
  QGuiApplication::primaryScreen()->grabWindow(0).save(path);
  std::printf("%s\n", qPrintable(path));
}

bool OkShown(QWidget& w) {
  auto* ok = w.findChild<QPushButton*>("OkButton");
  return ok && ok->isVisible();
}

void SendOnce(TSendFaxForm& form) {
  TStandardFaxDisplay* display = form.FxFaxStatus1().Display();
  bool midPage = false;
  QPixmap lastSeen;
  form.FxSendFax1().OnFaxStatus = [&](TFxCustomAbstractFax& fax, bool, bool last) {
    if (last)
      return;
    lastSeen = display->grab();
    if (!midPage && fax.PageNumber() == 2 && fax.ProgressCode() == faxengine::fpSendPage &&
        fax.PageBytesDone() > fax.PageBytesTotal() / 3) {
      midPage = true;
      Save(*display, "2-status-mid-page");
    }
  };
  // The "Finished" box is a real one here: picture the screen, then press OK.
  appwidgets::MessageBoxHook::setFailWithoutAnswer(false);
  sendtest::WhenModal<QMessageBox>([](QMessageBox&) { return true; },
                                   [](QMessageBox& box) {
                                     // Give the box a moment to be drawn on the screen.
                                     QTimer::singleShot(500, &box, [&box] {
                                       SaveScreen("4-finished-box");
                                       box.accept();
                                     });
                                   },
                                   300);
  sendtest::Click(form, "SendFaxButton");
  sendtest::WaitUntil([&] { return !form.Busy(); }, 300);
  lastSeen.save(g_out + "/3-status-last-event.png");
}

void Utilities(TSendFaxForm& form) {
  TFindModemForm find;
  find.SetComPort(&form.FxComPort1());
  find.show();
  sendtest::WaitUntil([&] { return OkShown(find); }, 60);
  Save(find, "6-find-modem");
  find.close();
  TCheckFaxClassForm check;
  check.SetComponents(&form.FxComPort1(), &form.FxSendFax1(), 1);
  check.show();
  sendtest::WaitUntil([&] { return OkShown(check); }, 60);
  Save(check, "7-check-fax-class");
  check.close();
  TResetModemForm reset;
  reset.ComPortGroup();
  reset.show();
  sendtest::WaitUntil([] { return false; }, 0.3);
  Save(reset, "8-modem-reset");
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  platform::installQtPlatform();
  g_out = argc > 1 ? argv[1] : "/tmp/shots/sender";
  sendtest::TestHome home;
  faxtest::SimModem sim("class12", {"--number", "5550100 fax ident=REMOTE-FAX dir=@DIR@"}, 2);
  if (!sim.Started())
    return 1;
  home.SetCom(1, sim.Link());
  home.SetCom(2, "/dev/ttyUSB0");
  home.SetCom(3, "/dev/ttyACM0");
  for (int n = 4; n <= 6; ++n)
    home.SetCom(n, "/dev/tolvane-none-" + std::to_string(n));
  app::Settings.ComPort = 0;
  app::Settings.FaxClass = 2;
  app::Settings.MaximumBPS = 14400;
  app::Settings.UserName = "Ann Example";
  app::Settings.UserFax = "+1 555 0199";
  const std::string doc = faxtest::MakeApf(sim.Dir(), 2, 40, "doc");
  {
    TSendFaxForm form;
    form.setWindowTitle("Send Fax: [Bob Smith - Quarterly figures]");
    form.SetFaxFile(QString::fromStdString(doc));
    form.SetPhoneNumber("555-0100");
    form.LoadSettings(app::Settings);
    form.show();
    sendtest::WaitUntil([] { return false; }, 0.5);
    Save(form, "1-send-dialog");
    SendOnce(form);
    Save(form, "5-send-dialog-after");
    Utilities(form);
  }
  TPreferences prefs;
  prefs.show();
  auto* pages = prefs.findChild<QTabWidget*>("Pages");
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    sendtest::WaitUntil([] { return false; }, 0.2);
    Save(prefs, qPrintable(QString("9-preferences-%1").arg(i + 1)));
  }
  platform::uninstallQtPlatform();
  return 0;
}

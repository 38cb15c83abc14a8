// Saves pictures of a printed fax arriving, for looking at them (not a test;
// run under xvfb-run):  print_shots OUT_DIR
// A private print server takes `lp` of the letter; the main window lists it
// and opens its send dialog. Saved: send-dialog.png (the dialog it opened),
// main-window.png (the window with the printed fax, once the dialog closed).

#include "tests/printinbox/PrintServer.h"

#include "app/TMainScreen.h"
#include "core/Settings.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "send/TSendFaxForm.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2)
    return 2;
  platform::installQtPlatform();
  const QString out = QString::fromLocal8Bit(argv[1]);
  char name[] = "/tmp/tolvane-printshots-XXXXXX";
  const std::string root = ::mkdtemp(name);
  const std::string home = root + "/home";
  std::filesystem::create_directories(home + "/.local/share/tolvane");
  std::filesystem::create_directories(root + "/cups");
  platform::setProgramDir(home + "/.local/share/tolvane/");
  app::Settings.ComPort = 0;
  app::Settings.UserName = "Harbour Street Surgery";
  app::Settings.UserFax = "555 0199";
  app::SaveSettings();
  printtest::PrintServer server(root + "/cups", home);
  if (!server.Ready()) {
    std::fprintf(stderr, "%s\n", server.Problem().c_str());
    return 1;
  }
  const int job = server.Print(TOLVANE_TEST_DATA "/printinbox/letter.pdf", {"phone=5550100"},
                               "Letter to the clinic");
  server.WaitForEnd(job);

  TMainScreen w;
  w.resize(900, 560);
  w.show();
  bool shot = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* f = qobject_cast<TSendFaxForm*>(QApplication::activeModalWidget());
    if (shot || !f || !f->isVisible())
      return;
    shot = true;
    QTest::qWait(500);
    f->grab().save(out + "/send-dialog.png");
    f->CloseButtonClick();
  });
  poll.start(50);
  const QDeadlineTimer deadline(60000);
  while (!shot && !deadline.hasExpired())
    QTest::qWait(50);
  QTest::qWait(800);
  w.grab().save(out + "/main-window.png");
  w.close();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return shot ? 0 : 1;
}

// tolvane: the desktop program.
//   tolvane [--data-dir DIR] [--demo] [--minimized]

#include "app/ButtonGlyphs.h"
#include "app/TMainScreen.h"
#include "app/main/DemoMode.h"
#include "app/main/SingleInstance.h"
#include "app/main/TerminationSignals.h"
#include "widgets/MessageBoxes.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void installErrorBox() {
  platform::setApplicationExceptionHandler([](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      appwidgets::ShowError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
      appwidgets::ShowError(QStringLiteral("Unknown error"));
    }
  });
}

// The application object shows an error that escaped a handler in the
// standard error box, and the program goes on.
class TolvaneApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (...) {
      platform::reportApplicationException(std::current_exception());
      return false;
    }
  }
};

void bringForward(QWidget* window) {
  std::fprintf(stderr, "tolvane: window brought forward for a second start\n");
  if (window->isMinimized())
    window->showNormal();
  window->show();
  window->raise();
  window->activateWindow();
}

} // namespace

int main(int argc, char** argv) {
  TolvaneApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tolvane"));
  QApplication::setApplicationVersion(QStringLiteral("0.1"));
  QApplication::setDesktopFileName(QStringLiteral("tolvane"));
  // Window icons from pictures drawn beforehand from the scalable icon: no
  // SVG renderer or image plugin to load while the program starts.
  QApplication::setStyle(MakeDrawnIconStyle());
  QApplication::setWindowIcon(PngResourceIcon(
      {QStringLiteral(":/tolvane/tolvane-32.png"), QStringLiteral(":/tolvane/tolvane-64.png")}));

  QCommandLineParser args;
  args.setApplicationDescription(QStringLiteral("Tolvane, a fax program for fax modems"));
  args.addHelpOption();
  args.addVersionOption();
  QCommandLineOption dataDir(QStringLiteral("data-dir"),
                             QStringLiteral("Keep settings, tables and faxes in DIR."),
                             QStringLiteral("DIR"));
  QCommandLineOption demo(QStringLiteral("demo"),
                          QStringLiteral("Try Tolvane without a modem: a simulated modem and "
                                         "fax machines, with a data folder of their own."));
  QCommandLineOption minimized(QStringLiteral("minimized"), QStringLiteral("Start minimised."));
  args.addOptions({dataDir, demo, minimized});
  args.process(app);

  if (args.isSet(dataDir))
    platform::setProgramDir(QDir(args.value(dataDir)).absolutePath().toStdString());
  else if (args.isSet(demo))
    platform::setProgramDir(DemoMode::DefaultDataDir().toStdString());
  const QString folder = QString::fromStdString(platform::ProgramDir());
  QDir().mkpath(folder);

  // A second copy on the same folder only asks the first to come forward.
  SingleInstance instance(folder);
  if (!instance.TryLock()) {
    if (!instance.AskFirstToShow())
      std::fprintf(stderr, "tolvane: another copy holds %s\n", qPrintable(folder));
    return 0;
  }

  platform::installQtPlatform();
  installErrorBox();
  std::unique_ptr<DemoMode> demoMode;
  if (args.isSet(demo)) {
    demoMode = std::make_unique<DemoMode>(folder);
    QString error;
    if (!demoMode->Prepare(&error) || !demoMode->Start(&error)) {
      appwidgets::ShowInfo(error);
      platform::uninstallQtPlatform();
      return 1;
    }
  }

  int result = 1;
  {
    TMainScreen mainScreen;
    if (mainScreen.TablesOpen()) {
      if (demoMode && demoMode->FirstStart())
        mainScreen.SetFirstRunText(demoMode->FirstRunText());
      instance.Listen([&mainScreen] { bringForward(&mainScreen); });
      // A logout or kill closes the program as Exit does: open dialogs are
      // cancelled first, then the main window stops receive mode and closes
      // its tables, and the demo's simulator is ended below.
      CloseOnTerminationSignals(&mainScreen, [&mainScreen] {
        for (int i = 0; i < 16 && QApplication::activeModalWidget(); ++i)
          QApplication::activeModalWidget()->close();
        mainScreen.close();
      });
      if (args.isSet(minimized))
        mainScreen.showMinimized();
      else
        mainScreen.show();
      // Start-up measurements end the run as soon as the window is up.
      if (qEnvironmentVariableIsSet("TOLVANE_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, [] {
          std::fputs("shown\n", stdout);
          std::fflush(stdout);
          QApplication::quit();
        });
      result = app.exec();
    }
  }
  if (demoMode)
    demoMode->Stop();
  platform::uninstallQtPlatform();
  return result;
}

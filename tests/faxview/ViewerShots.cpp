// Screenshots of the fax viewer window for looking at (not a test): for each
// NAME=FILE.apf given, the window at every zoom step, turned by 90 and 180
// degrees, the print status window, and a few pages. Run under Xvfb:
//   faxview_shots OUTDIR NAME=FILE.apf ...
#include "faxview/TFaxViewer.h"
#include "faxview/TFxFaxPrinterStatus.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QToolButton>

#include <cstdio>

namespace {

void save(QWidget& w, const QString& path) {
  QTest::qWait(50);
  if (!w.grab().save(path))
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  else
    std::printf("%s\n", qPrintable(path));
}

void shoot(const QString& dir, const QString& name, const QString& fax) {
  TFaxViewer w;
  w.SetFaxFileName(fax);
  w.FaxPrinter()->FaxHeader()->SetCaption("FILE: " + fax);
  w.show();
  QTest::qWaitForWindowExposed(&w);
  std::printf("%s: control %d wide, zoom %d%%\n", qPrintable(name), w.FaxViewer->width(), w.Zoom());
  save(w, dir + "/" + name + "-opened.png");
  for (int zoom : {25, 50, 75, 100, 150, 200}) {
    w.ZoomTo(zoom);
    save(w, dir + "/" + name + "-zoom" + QString::number(zoom) + ".png");
  }
  w.ZoomTo(50);
  w.Rotate90Item->trigger();
  save(w, dir + "/" + name + "-rot90.png");
  w.Rotate180Item->trigger();
  save(w, dir + "/" + name + "-rot180.png");
  w.NoRotateItem->trigger();
  if (w.NextButton->isVisible()) {
    QTest::mouseClick(w.LastButton, Qt::LeftButton);
    save(w, dir + "/" + name + "-last.png");
  }
  w.FaxPrinter()->SetFileName(fax);
  w.PrinterStatus->UpdateDisplay(true, false);
  QTest::qWaitForWindowExposed(w.PrinterStatus->Display());
  save(*w.PrinterStatus->Display(), dir + "/" + name + "-printstatus.png");
  w.PrinterStatus->UpdateDisplay(false, true);
  w.resize(1000, 800);
  w.ZoomTo(100);
  save(w, dir + "/" + name + "-large100.png");
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: faxview_shots OUTDIR NAME=FILE.apf ...\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  for (int i = 2; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    const auto eq = arg.indexOf('=');
    shoot(dir, arg.left(eq), arg.mid(eq + 1));
  }
  return 0;
}

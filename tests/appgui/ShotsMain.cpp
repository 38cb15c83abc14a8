// Saves pictures of the main window and its dialogs for looking at them:
//   appgui_shots DATA_DIR OUT_DIR [DOCUMENT]   (under xvfb-run; DATA_DIR holds filled tables)

#include "app/TEditReceiveNotes.h"
#include "app/THelpWindow.h"
#include "app/TMainScreen.h"
#include "app/TRebuildInd.h"
#include "app/TSplashform.h"
#include "app/widgets/WindowServices.h"
#include "compose/TFaxEditor.h"
#include "docimport/qt/PagePictures.h"
#include "richtext/RichEditor.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <QTimer>

namespace {
void save(QWidget* w, const QString& dir, const char* name) {
  QTest::qWait(300);
  w->grab().save(dir + "/" + name + ".png");
}
} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3)
    return 2;
  platform::setProgramDir(argv[1]);
  platform::installQtPlatform();
  const QString out = QString::fromLocal8Bit(argv[2]);
  TMainScreen w;
  w.show();
  QTest::qWait(500);
  save(&w, out, "main-sent");
  w.findChild<QTabBar*>("TabSet1")->setCurrentIndex(1);
  save(&w, out, "main-received");
  w.SelectCurrentReceived();
  TEditReceiveNotes notes(&w);
  notes.Descript()->setText("From: TOLVANE DEMO");
  notes.Notes()->setText("Price list for March, call back Tuesday");
  appwidgets::CenterForm(&notes);
  notes.show();
  save(&notes, out, "notes");
  notes.hide();
  THelpWindow* help = THelpWindow::ShowTopic(1009, &w);
  save(help, out, "help-contents");
  help->ShowContext(1018);
  save(help, out, "help-receiving");
  help->close();
  TSplashform about(&w);
  about.show();
  save(&about, out, "about");
  about.hide();
  if (argc > 3) { // a document whose pages go into a new fax, as New Fax from File does
    compose::TFaxEditor editor(&w);
    QString error;
    docimport::InsertPagesFromFile(*editor.RichDoc, QString::fromLocal8Bit(argv[3]), &error);
    editor.resize(800, 700);
    editor.show();
    editor.DocumentButton->click();
    editor.RichDoc->moveCursor(QTextCursor::Start);
    save(&editor, out, "editor-pages");
    editor.hide();
  }
  TRebuildInd rebuild(&w);
  QTimer::singleShot(150, [&] { rebuild.grab().save(out + "/rebuild.png"); });
  appwidgets::CenterForm(&rebuild);
  rebuild.exec();
  w.close();
  platform::uninstallQtPlatform();
  return 0;
}

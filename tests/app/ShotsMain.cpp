// Saves pictures of the main window and its dialogs for looking at them:
//   app_shots DATA_DIR OUT_DIR [DOCUMENT]   (under xvfb-run; DATA_DIR holds filled tables)

#include "app/TEditReceiveNotes.h"
#include "app/THelpWindow.h"
#include "app/TMainScreen.h"
#include "app/TPreferences.h"
#include "app/TRebuildInd.h"
#include "app/TSplashform.h"
#include "core/FaxTables.h"
#include "widgets/WindowServices.h"
#include "compose/TCoverBrowse.h"
#include "compose/TCoverEditor.h"
#include "compose/TFaxEditor.h"
#include "compose/TPhoneBook.h"
#include "compose/TPhoneBookEditor.h"
#include "send/TSendFaxForm.h"
#include "docimport/qt/PagePictures.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <functional>

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
  help->ShowContext(1024);
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
  // The dialogs, each shown once as it first opens.
  auto shoot = [&](QWidget& dialog, const char* name) {
    appwidgets::CenterForm(&dialog);
    dialog.show();
    save(&dialog, out, name);
    dialog.hide();
  };
  {
    TPreferences preferences(&w);
    shoot(preferences, "preferences");
  }
  {
    compose::TPhoneBook book(&w);
    if (app::OpenPhoneDBF(book.PhoneTable))
      shoot(book, "phonebook");
  }
  {
    compose::TPhoneBookEditor entry(&w);
    shoot(entry, "phonebook-entry");
  }
  {
    xbase::Table covers;
    if (app::OpenCoverDBF(covers)) {
      compose::TCoverBrowse browse(covers, &w);
      shoot(browse, "cover-browse");
    }
  }
  {
    compose::TCoverEditor cover(&w);
    shoot(cover, "cover-editor");
  }
  {
    TSendFaxForm send(&w);
    shoot(send, "send");
  }
  {
    // The modem windows as the preferences open them, each taken once its
    // work is done (its OK button shows) and then closed.
    TPreferences preferences(&w);
    appwidgets::CenterForm(&preferences);
    preferences.show();
    for (const char* button : {"FindModemButton", "CheckFaxClassButton", "ModemResetButton"}) {
      std::function<void(int)> poll = [&, button](int left) {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* ok = modal ? modal->findChild<QPushButton*>("OkButton") : nullptr;
        if (modal && modal != &preferences && (!ok || ok->isVisible() || left == 0)) {
          modal->grab().save(out + "/" + button + ".png");
          modal->reject();
        } else if (left > 0) {
          QTimer::singleShot(250, [&poll, left] { poll(left - 1); });
        }
      };
      QTimer::singleShot(250, [&poll] { poll(240); });
      preferences.findChild<QPushButton*>(button)->click();
    }
    preferences.hide();
  }
  TRebuildInd rebuild(&w);
  QTimer::singleShot(150, [&] { rebuild.grab().save(out + "/rebuild.png"); });
  appwidgets::CenterForm(&rebuild);
  rebuild.exec();
  w.close();
  platform::uninstallQtPlatform();
  return 0;
}

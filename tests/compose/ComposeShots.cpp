// Saves pictures of the compose windows for looking at them (run under
// Xvfb): compose_shots OUTDIR. Not a test; it fills the windows with typical
// content and grabs them.
#include "core/FaxTables.h"
#include "core/Settings.h"
#include "widgets/WindowServices.h"
#include "compose/TCoverBrowse.h"
#include "compose/TCoverEditor.h"
#include "compose/TFaxEditor.h"
#include "compose/TParagraphPropDlg.h"
#include "compose/TPhoneBook.h"
#include "compose/TPhoneBookEditor.h"
#include "platform/ProgramDir.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "richtext/MergeField.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

namespace {

QString g_out;

void shoot(QWidget& w, const QString& name) {
  w.show();
  QTest::qWait(150);
  w.grab().save(g_out + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void fillTables() {
  xbase::Table phone, cover;
  app::OpenPhoneDBF(phone);
  for (auto [n, p] :
       {std::pair{"Alice Example", "+1 555 0100"}, std::pair{"Bob Builder", "555 0199"},
        std::pair{"Carla Díaz", "+34 91 555 0123"}}) {
    phone.append();
    phone.setField("NAME", appwidgets::ToAnsi(QString::fromUtf8(n)));
    phone.setField("PHONE", p);
    phone.post();
  }
  phone.close();
  app::OpenCoverDBF(cover);
  for (const char* d : {"Standard cover", "Urgent - with all fields"}) {
    cover.append();
    cover.setField("DESCRIPT", d);
    richtext::TRichEditor ed;
    ed.insertPlainText(QStringLiteral("FAX\nTo: "));
    ed.InsertMergeField(1, richtext::mergeFieldDisplayText(1));
    ed.insertPlainText(QStringLiteral("\nFax: "));
    ed.InsertMergeField(2, richtext::mergeFieldDisplayText(2));
    ed.insertPlainText(QStringLiteral("\nDate: "));
    ed.InsertMergeField(4, richtext::mergeFieldDisplayText(4));
    cover.setMemo("COVER", ed.SaveToRtf());
    cover.post();
  }
  cover.close();
}

void shootEditor() {
  compose::TFaxEditor ed;
  ed.Recipient->setText(QStringLiteral("Alice Example"));
  ed.FaxNumber->setText(QStringLiteral("+1 555 0100"));
  ed.Subject->setText(QStringLiteral("Quarterly figures"));
  appwidgets::ApplyDefaultFont(*ed.RichDoc);
  ed.RichDoc->insertPlainText(QStringLiteral("Dear Alice,\n\nplease find the figures for the last "
                                             "quarter below. The totals are up on last year."));
  shoot(ed, QStringLiteral("editor-recipient"));
  ed.DocumentButton->click();
  shoot(ed, QStringLiteral("editor-document"));
  ed.CoverButton->click();
  ed.RichCover->insertPlainText(QStringLiteral("Cover for "));
  ed.RichCover->InsertMergeField(1, richtext::mergeFieldDisplayText(1));
  shoot(ed, QStringLiteral("editor-cover"));
  compose::TParagraphPropDlg dlg(*ed.RichDoc, &ed);
  shoot(dlg, QStringLiteral("paragraph-dialog"));
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  platform::installQtPlatform();
  g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QTemporaryDir data;
  platform::setProgramDir(data.path().toStdString());
  app::Settings.FontName = "DejaVu Sans";
  fillTables();
  shootEditor();
  {
    xbase::Table cover;
    app::OpenCoverDBF(cover);
    compose::TCoverBrowse browse(cover);
    shoot(browse, QStringLiteral("cover-browser-managing"));
    browse.SetChoosingMode(true);
    shoot(browse, QStringLiteral("cover-browser-choosing"));
    compose::TCoverEditor editor;
    editor.CoverDescription->setText(QStringLiteral("Urgent - with all fields"));
    editor.RichCover->insertPlainText(QStringLiteral("URGENT FAX\nTo: "));
    editor.MenuItemClick(QStringLiteral("Recipient"));
    editor.RichCover->insertPlainText(QStringLiteral("\nTime: "));
    editor.MenuItemClick(QStringLiteral("Time"));
    shoot(editor, QStringLiteral("cover-editor"));
    browse.close();
  }
  compose::TPhoneBook book;
  app::OpenPhoneDBF(book.PhoneTable);
  shoot(book, QStringLiteral("phonebook-managing"));
  book.SetChoosingMode(true);
  shoot(book, QStringLiteral("phonebook-choosing"));
  compose::TPhoneBookEditor entry;
  entry.Name->setText(QStringLiteral("Carla Díaz"));
  entry.Number->setText(QStringLiteral("+34 91 555 0123"));
  shoot(entry, QStringLiteral("phonebook-editor"));
  platform::uninstallQtPlatform();
  return 0;
}

// The main window's commands that open other windows: the fax editor, cover
// sheets, phone book, preferences, modem reset, maintenance, help, about.

#include "app/FaxListPane.h"
#include "app/THelpWindow.h"
#include "app/TMainScreen.h"
#include "app/TPreferences.h"
#include "app/SipLines.h"
#include "app/TRebuildInd.h"
#include "app/TSplashform.h"
#include "compose/FaxFileCreation.h"
#include "compose/RichTextMemo.h"
#include "compose/TCoverBrowse.h"
#include "compose/TFaxEditor.h"
#include "compose/TPhoneBook.h"
#include "send/TResetModemForm.h"
#include "core/FaxTables.h"
#include "core/Settings.h"
#include "docimport/qt/ImportChoice.h"
#include "docimport/qt/PagePictures.h"
#include "faximage/FaxConverter.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTabBar>
#include <QTableView>

namespace {
void fillEditor(compose::TFaxEditor& editor, const xbase::Table& table, bool clone) {
  editor.Recipient->setText(appwidgets::FromAnsi(table.fieldString("RECIPIENT")));
  const QString subject = appwidgets::FromAnsi(table.fieldString("SUBJECT"));
  editor.Subject->setText(clone ? QStringLiteral("[clone]") + subject : subject);
  editor.FaxNumber->setText(appwidgets::FromAnsi(table.fieldString("PHONE")));
}
} // namespace

// Stores the editor's fax into the Sent table's record being appended or
// edited, and posts it; an error leaves the table as it was and is thrown on
// to the editor, which stays open with the fax.
void TMainScreen::StoreEditedFax(compose::TFaxEditor& editor, long recNo) {
  m_sentList->Suspend();
  try {
    if (recNo > 0) {
      m_faxTable.go(recNo);
      m_faxTable.edit();
    } else {
      m_faxTable.append();
    }
    compose::SaveRichText(*editor.RichCover, m_faxTable, "RTFCOVER");
    compose::SaveRichText(*editor.RichDoc, m_faxTable, "RTFDOC");
    m_faxTable.setField("RECIPIENT", appwidgets::ToAnsi(editor.Recipient->text()));
    m_faxTable.setField("SUBJECT", appwidgets::ToAnsi(editor.Subject->text()));
    m_faxTable.setField("PHONE", appwidgets::ToAnsi(editor.FaxNumber->text()));
    m_faxTable.post();
  } catch (...) {
    if (m_faxTable.isOpen() && m_faxTable.state() != xbase::TableState::Browse)
      m_faxTable.cancel();
    m_sentList->Reload();
    throw;
  }
}

// Loads the record's cover and document into the editor; false (after
// saying why) when a text cannot be read, so that an empty editor is never
// offered in place of a stored fax.
bool TMainScreen::LoadEditedFax(compose::TFaxEditor& editor) {
  try {
    compose::LoadRichText(*editor.RichCover, m_faxTable, "RTFCOVER");
    compose::LoadRichText(*editor.RichDoc, m_faxTable, "RTFDOC");
  } catch (const std::exception& e) {
    appwidgets::ShowError(QString::fromLocal8Bit(e.what()), this);
    return false;
  }
  return true;
}

void TMainScreen::RunNew(bool cloneMode) {
  if (cloneMode && !SelectCurrentSent())
    return;
  compose::TFaxEditor editor(this);
  if (cloneMode) {
    if (!LoadEditedFax(editor))
      return;
    fillEditor(editor, m_faxTable, true);
  } else {
    appwidgets::ApplyDefaultFont(*editor.RichCover);
    appwidgets::ApplyDefaultFont(*editor.RichDoc);
  }
  if (!m_pendingImport.isEmpty()) {
    QString error;
    if (docimport::InsertPagesFromFile(*editor.RichDoc, m_pendingImport, &error,
                                       docimport::RememberedHalftone()) == 0) {
      appwidgets::ShowInfo(error, this);
      return;
    }
    editor.Subject->setText(QFileInfo(m_pendingImport).completeBaseName().left(50));
  }
  editor.Store = [this, &editor] { StoreEditedFax(editor, 0); };
  if (editor.exec() != 1)
    return;
  const long recNo = m_faxTable.recNo();
  appwidgets::ProcessPendingEvents();
  FaxTableCloseAndOpen();
  appwidgets::ProcessPendingEvents();
  // The new fax is the selected one.
  m_sentList->SelectRecord(recNo);
}

void TMainScreen::EditSentFax() {
  if (!SelectCurrentSent()) {
    QApplication::beep();
    return;
  }
  const long recNo = m_faxTable.recNo();
  compose::TFaxEditor editor(this);
  if (!LoadEditedFax(editor))
    return;
  fillEditor(editor, m_faxTable, false);
  editor.Store = [this, &editor, recNo] { StoreEditedFax(editor, recNo); };
  if (editor.exec() != 1)
    return;
  m_sentList->Reload();
}

// The hidden editors of fax-file creation are made when a fax file is first
// built: most starts of the program never need them.
void TMainScreen::MakeHiddenEditors() {
  if (m_richCover)
    return;
  m_richCover = new richtext::TRichEditor(this);
  m_richCover->setObjectName(QStringLiteral("RichCover"));
  m_richCover->hide();
  m_richDoc = new richtext::TRichEditor(this);
  m_richDoc->setObjectName(QStringLiteral("RichDoc"));
  m_richDoc->hide();
  m_converter = std::make_unique<faximage::TFxFaxConverter>();
}

richtext::TRichEditor* TMainScreen::RichCover() {
  MakeHiddenEditors();
  return m_richCover;
}

richtext::TRichEditor* TMainScreen::RichDoc() {
  MakeHiddenEditors();
  return m_richDoc;
}

QString TMainScreen::CreateFaxFile() {
  MakeHiddenEditors();
  compose::TFaxFileJob job{m_faxTable,  *m_richCover,
                           *m_richDoc,  *m_converter,
                           m_buttonBar, [this](const QString& text) { SetStatusText(text); },
                           this};
  return compose::CreateFaxFile(job, LastFaxPages);
}

void TMainScreen::mnuCoverClick() {
  if (!app::OpenCoverDBF(m_coverTable)) {
    appwidgets::ShowInfo(QStringLiteral("Unable to open the cover sheet templates") +
                             TableProblem(platform::ProgramDir() + app::CoverTable.FileName),
                         this);
    return;
  }
  {
    compose::TCoverBrowse browse(m_coverTable, this);
    browse.SetChoosingMode(false);
    appwidgets::CenterForm(&browse);
    browse.exec();
  }
  m_coverTable.close();
}

void TMainScreen::mnuPhoneBookClick() {
  compose::TPhoneBook book(this);
  if (!app::OpenPhoneDBF(book.PhoneTable)) {
    appwidgets::ShowInfo(QStringLiteral("Unable to open the phone book") +
                             TableProblem(platform::ProgramDir() + app::PhoneTable.FileName),
                         this);
    return;
  }
  appwidgets::CenterForm(&book);
  book.exec();
}

void TMainScreen::mnuPreferencesClick() {
  if (Receiving())
    return;
  {
    TPreferences preferences(this);
    preferences.SetFirstRunGreeting(m_firstRun);
    m_firstRun = false;
    appwidgets::CenterForm(&preferences);
    if (preferences.exec() == 1)
      findChild<app::SipLines*>()->Update(); // a SIP line's account may have changed
  }
  SetButtons();
}

void TMainScreen::mnuModemResetClick() {
  if (Receiving())
    return;
  faxsend::ShowModemReset(this);
  SetButtons();
}

void TMainScreen::mnuNewFromFileClick() {
  // The halftone chosen with the file is remembered and used by OpenFaxFile.
  if (const auto choice = docimport::ChooseImportFile(this, QStringLiteral("New Fax from File")))
    OpenFaxFile(choice->path);
}

// A new fax whose document holds the pages of a file (a PDF, a picture, a
// word-processor file), opened in the fax editor to be completed.
void TMainScreen::OpenFaxFile(const QString& path) {
  if (m_tabSet->currentIndex() != 0)
    SetCurrentPage(0);
  m_pendingImport = path;
  struct Clear {
    QString& pending;
    ~Clear() { pending.clear(); }
  } clear{m_pendingImport};
  {
    appwidgets::BusyCursor busy;
    SetStatusText(QStringLiteral("Reading ") + QFileInfo(path).fileName() + QStringLiteral("..."));
    appwidgets::ProcessPendingEvents();
  }
  RunNew(false);
  SetStatusText(QString());
  SetButtons();
}

void TMainScreen::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void TMainScreen::dropEvent(QDropEvent* event) {
  const auto urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile())
    return;
  event->acceptProposedAction();
  OpenFaxFile(urls.front().toLocalFile());
}

void TMainScreen::mnuRebuildIndexesClick() {
  if (Receiving())
    return;
  m_sentList->Suspend();
  m_receivedList->Suspend();
  {
    TRebuildInd rebuild(this);
    appwidgets::CenterForm(&rebuild);
    rebuild.exec();
  }
  m_sentList->Reload();
  m_receivedList->Reload();
  SetButtons();
}

void TMainScreen::ShowHelpTopic(int context) {
  THelpWindow::ShowTopic(context, this);
}

void TMainScreen::Contents1Click() {
  ShowHelpTopic(1009);
}

void TMainScreen::TroubleshootingTips1Click() {
  ShowHelpTopic(1026);
}

void TMainScreen::mnuShowHintClick() {
  const bool on = m_mnuShowHint->isChecked();
  app::Settings.HintsOn = on;
  appwidgets::SetHintsShown(on);
  m_status->clear();
  // The choice holds for this run even when it cannot be kept for the next.
  try {
    app::SaveSettings();
  } catch (const std::exception& e) {
    SetStatusText(QStringLiteral("The hint setting could not be saved: ") +
                  QString::fromLocal8Bit(e.what()));
  }
}

void TMainScreen::About1Click() {
  TSplashform about(this);
  appwidgets::CenterForm(&about);
  about.exec();
}

#pragma once
// The main window: the "Sent" and "Received" lists over the two fax tables,
// every command of the button bar and the menus, receive mode, and the
// services other windows use (SetButtons, table reopening), and the writes
// that wait for a table that could not take them.

#include "core/FaxStores.h"
#include "xbase/Table.h"

#include <QMainWindow>
#include <QPointer>

#include <map>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTimer;
class QWidget;
namespace compose {
class TFaxEditor;
}

namespace faximage {
class TFxFaxConverter;
}

namespace richtext {
class TRichEditor;
}

namespace app {
class FaxListPane;
class ReceiveMode;
class SipLineStatus;
struct ReceivedFax;
}

class TMainScreen : public QMainWindow {
  Q_OBJECT
  Q_DISABLE_COPY(TMainScreen)

public:
  // Message numbers kept from the design: a posted close request (start-up
  // failure, maintenance window) and the received-fax sound.
  static constexpr int CloseRequestMessage = 1066;
  static constexpr int FaxReceivedSoundMessage = 1067;

  explicit TMainScreen(QWidget* parent = nullptr);
  ~TMainScreen() override;

  // ----- for other windows and the send command (see CONTRACT.md)
  xbase::Table& FaxTable() { return m_faxTable; }     // Sent table, TOV.DBF
  xbase::Table& RecTable() { return m_recTable; }     // Received table, TOVREC.DBF
  xbase::Table& CoverTable() { return m_coverTable; } // open only while a window needs it
  xbase::Table& PhoneTable() { return m_phoneTable; } // the same
  // True when both tables opened at start; false means the window is closing.
  bool TablesOpen() const { return m_tablesOpen; }

  // Makes the record selected in the Sent (Received) list the table's
  // current record. False when the list is empty.
  bool SelectCurrentSent();
  bool SelectCurrentReceived();
  // The notebook page: 0 Sent, 1 Received.
  int CurrentPage() const;
  void SetCurrentPage(int page);

  void SetButtons();
  // Closes and opens the Sent table again, the selection kept (after
  // another part of the program wrote it).
  void FaxTableCloseAndOpen();

  // The fax file of the current Sent record (composer's CreateFaxFile over
  // the hidden editors RichCover and RichDoc); empty on failure. Sets
  // LastFaxPages.
  QString CreateFaxFile();
  int LastFaxPages = 0;
  richtext::TRichEditor* RichCover();
  richtext::TRichEditor* RichDoc();

  // The status line (also the hint line while no dialog redirects it).
  QLabel* StatusLine() const { return m_status; }
  void SetStatusText(const QString& text);
  QWidget* ButtonBar() const { return m_buttonBar; }

  // Receive mode state.
  bool Receiving() const;
  bool FaxInProgress() const;

  // A text shown once after the first activation (the demo explains its
  // numbers there on its first start).
  void SetFirstRunText(const QString& text) { m_firstRunText = text; }

public Q_SLOTS:
  // ----- commands (design handler names)
  void NewbuttonClick();
  void EditButtonClick();
  void CloneButtonClick();
  void DeleteButtonClick();
  // Implemented in app/MainScreenSend.cpp (the send dialog's owner).
  void SendButtonClick();
  void ReceiveButtonClick();
  void mnuViewPrintClick();
  void mnuModemResetClick();
  void mnuCoverClick();
  void mnuPhoneBookClick();
  void mnuRebuildIndexesClick();
  void mnuPreferencesClick();
  void mnuNewFromFileClick();
  void ExitbuttonClick();
  void Exit1Click();
  void Contents1Click();
  void TroubleshootingTips1Click();
  void mnuShowHintClick();
  void About1Click();
  void TabSet1Click(int index);

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void RecTableCloseAndOpen();
  void MakeHiddenEditors();
  friend class MainScreenTestAccess;
  void FormCreate();
  void FormActivate();
  bool FormCloseQuery();
  void FormClose();
  void BuildLayout();
  void BuildButtonBar();
  void BuildMenus();
  void BuildGrids();
  void SetUpReceiveComponents();
  void OpenTables();
  void PostMessage(int message);
  // Why a table file cannot be opened, as a second paragraph for the
  // start-up message (locked, damaged, folder read-only); empty if unknown.
  static QString TableProblem(const std::string& path);

  void EditSentFax();
  void EditReceivedFax();
  void DeleteReceivedFax();
  void DeleteSentFax();
  void RunNew(bool cloneMode);
  bool LoadEditedFax(compose::TFaxEditor& editor);
  // recNo 0 appends a new record.
  void StoreEditedFax(compose::TFaxEditor& editor, long recNo);
  void ViewSelectedFax();
  void ResetTableOrder(xbase::Table& table, const char* tag);
  void RefreshLists();
  void NotAvailableYet(const QString& what);
  void ShowHelpTopic(int context);
  void OpenFaxFile(const QString& path);

  // Receive mode (app/MainScreenReceive.cpp): the window's side of it.
  void StartReceiveMode();
  void StopReceiveMode();
  void ReceiveModeEnded(const QString& reason);
  // Lists a received fax; false (and a retry later) when the table cannot
  // take it yet.
  bool ListReceivedFax(const app::ReceivedFax& fax, const std::string& notes = {});
  void FaxReceived(const app::ReceivedFax& fax);
  void FaxReceiveFailed(const QString& reason, const app::ReceivedFax& kept);
  void ListUnlistedReceivedFaxes();

  // Writes that failed and wait for the table to take them: send results
  // by Sent record number, and received faxes not yet listed. Retried every
  // half minute and whenever the tables are reopened.
  void RecordSendOutcome(long recNo, const app::SendOutcome& outcome);
  void RetryPendingWrites();
  std::map<long, app::SendOutcome> m_pendingOutcomes;
  bool m_unlistedReceived = false;
  QTimer* m_retryTimer = nullptr;
  void PlayReceivedSound();
  void SetReceiveButtonIdle();

  // Tables
  xbase::Table m_faxTable;
  xbase::Table m_recTable;
  xbase::Table m_coverTable;
  xbase::Table m_phoneTable;
  bool m_tablesOpen = false;

  // Controls
  QWidget* m_buttonBar = nullptr;
  QPushButton* m_newButton = nullptr;
  QPushButton* m_editButton = nullptr;
  QPushButton* m_cloneButton = nullptr;
  QPushButton* m_deleteButton = nullptr;
  QPushButton* m_sendButton = nullptr;
  QPushButton* m_receiveButton = nullptr;
  QPushButton* m_viewFaxButton = nullptr;
  QPushButton* m_exitButton = nullptr;
  QStackedWidget* m_noteBook = nullptr;
  app::FaxListPane* m_sentList = nullptr;
  app::FaxListPane* m_receivedList = nullptr;
  QTabBar* m_tabSet = nullptr;
  QLabel* m_status = nullptr;
  app::SipLineStatus* m_sipLineState = nullptr;

  // Menu items
  QAction* m_mnuNew = nullptr;
  QAction* m_mnuEdit = nullptr;
  QAction* m_mnuClone = nullptr;
  QAction* m_mnuDelete = nullptr;
  QAction* m_mnuSend = nullptr;
  QAction* m_mnuReceive = nullptr;
  QAction* m_mnuViewPrint = nullptr;
  QAction* m_mnuModemReset = nullptr;
  QAction* m_mnuRebuildIndexes = nullptr;
  QAction* m_mnuPreferences = nullptr;
  QAction* m_mnuShowHint = nullptr;

  // Hidden editors for fax-file creation
  richtext::TRichEditor* m_richCover = nullptr;
  richtext::TRichEditor* m_richDoc = nullptr;
  std::unique_ptr<faximage::TFxFaxConverter> m_converter;
  QString m_pendingImport; // "New fax from file": the file whose pages start the document

  app::ReceiveMode* m_receiveMode = nullptr;

  bool m_cloneMode = false;
  bool m_firstActivation = true;
  bool m_firstRun = false;
  bool m_closing = false;
  QString m_firstRunText;
};

// The main window's controls: button bar, notebook with the two lists, tab
// set, status line and the two menus.

#include "app/ButtonGlyphs.h"
#include "app/FaxArchiveService.h"
#include "app/FaxListPane.h"
#include "app/FaxSearchBar.h"
#include "app/SipLineStatus.h"
#include "app/TMainScreen.h"
#include "faximage/FaxConverter.h"
#include "richtext/RichEditor.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QPushButton* makeButton(QWidget* bar, const char* name, const QString& caption, ButtonGlyph glyph,
                        const QString& hint) {
  auto* button = new QPushButton(DrawButtonGlyph(glyph), caption, bar);
  button->setObjectName(QString::fromLatin1(name));
  button->setStatusTip(hint);
  button->setToolTip(hint);
  button->setMinimumHeight(33);
  button->setFocusPolicy(Qt::TabFocus);
  bar->layout()->addWidget(button);
  return button;
}

QAction* makeAction(QMenu* menu, const char* name, const QString& caption, const QString& hint,
                    const QKeySequence& shortcut = {}) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  action->setStatusTip(hint);
  if (!shortcut.isEmpty())
    action->setShortcut(shortcut);
  return action;
}

} // namespace

void TMainScreen::BuildLayout() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);
  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  setCentralWidget(client);
  BuildButtonBar();
  column->addWidget(m_buttonBar);
  BuildGrids();
  auto* archive = new app::FaxArchiveService(this);
  connect(archive, &app::FaxArchiveService::StatusMessage, this, &TMainScreen::SetStatusText);
  column->addWidget(
      new app::FaxSearchBar(*archive, m_sentList->Model(), m_receivedList->Model(), client));
  column->addWidget(m_noteBook, 1);
  m_tabSet = new QTabBar(client);
  m_tabSet->setObjectName(QStringLiteral("TabSet1"));
  m_tabSet->setShape(QTabBar::TriangularSouth);
  m_tabSet->addTab(QStringLiteral("Sent"));
  m_tabSet->addTab(QStringLiteral("Received"));
  m_tabSet->setDrawBase(true);
  m_tabSet->setExpanding(false);
  column->addWidget(m_tabSet);
  m_status = new QLabel(client);
  m_status->setObjectName(QStringLiteral("status"));
  m_status->setFixedHeight(32);
  m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  m_status->setAlignment(Qt::AlignCenter);
  m_status->setFrameShape(QFrame::Panel);
  m_status->setFrameShadow(QFrame::Sunken);
  m_status->setStyleSheet(QStringLiteral("color: #0000ff;"));
  auto* statusRow = new QHBoxLayout();
  statusRow->setSpacing(2);
  statusRow->addWidget(m_status, 1);
  m_sipLineState = new app::SipLineStatus(client);
  statusRow->addWidget(m_sipLineState);
  column->addLayout(statusRow);
  connect(m_tabSet, &QTabBar::currentChanged, this, &TMainScreen::TabSet1Click);
  BuildMenus();
  resize(592, 383 + menuBar()->sizeHint().height());
}

void TMainScreen::BuildButtonBar() {
  m_buttonBar = new QWidget(this);
  m_buttonBar->setObjectName(QStringLiteral("ButtonBar"));
  m_buttonBar->setMinimumHeight(45);
  auto* row = new QHBoxLayout(m_buttonBar);
  row->setContentsMargins(4, 4, 4, 4);
  row->setSpacing(2);
  m_newButton = makeButton(m_buttonBar, "Newbutton", QStringLiteral("&New"), ButtonGlyph::NewFax,
                           QStringLiteral("Create a new fax"));
  m_editButton = makeButton(m_buttonBar, "EditButton", QStringLiteral("&Edit"),
                            ButtonGlyph::Edit,
                            QStringLiteral("Edit the currently selected fax"));
  m_cloneButton = makeButton(m_buttonBar, "CloneButton", QStringLiteral("&Clone"),
                             ButtonGlyph::Clone,
                             QStringLiteral("Clone the currently selected fax"));
  m_deleteButton =
      makeButton(m_buttonBar, "DeleteButton", QStringLiteral("&Delete"), ButtonGlyph::Delete,
                 QStringLiteral("Delete  the currently selected fax"));
  m_sendButton = makeButton(m_buttonBar, "SendButton", QStringLiteral("&Send"), ButtonGlyph::Send,
                            QStringLiteral("Send the currently selected fax"));
  m_receiveButton = makeButton(m_buttonBar, "ReceiveButton", QStringLiteral("&Receive"),
                               ButtonGlyph::Receive, QStringLiteral("Start receiving faxes"));
  m_viewFaxButton = makeButton(m_buttonBar, "ViewFaxButton", QStringLiteral("&View"),
                               ButtonGlyph::View,
                               QStringLiteral("See a preview of and optionally  print the fax"));
  static_cast<QHBoxLayout*>(m_buttonBar->layout())->addStretch(1);
  m_exitButton = makeButton(m_buttonBar, "Exitbutton", QStringLiteral("E&xit"),
                            ButtonGlyph::Exit, QStringLiteral("Exit the program"));
  connect(m_newButton, &QPushButton::clicked, this, &TMainScreen::NewbuttonClick);
  connect(m_editButton, &QPushButton::clicked, this, &TMainScreen::EditButtonClick);
  connect(m_cloneButton, &QPushButton::clicked, this, &TMainScreen::CloneButtonClick);
  connect(m_deleteButton, &QPushButton::clicked, this, &TMainScreen::DeleteButtonClick);
  connect(m_sendButton, &QPushButton::clicked, this, &TMainScreen::SendButtonClick);
  connect(m_receiveButton, &QPushButton::clicked, this, &TMainScreen::ReceiveButtonClick);
  connect(m_viewFaxButton, &QPushButton::clicked, this, &TMainScreen::mnuViewPrintClick);
  connect(m_exitButton, &QPushButton::clicked, this, &TMainScreen::ExitbuttonClick);
}

namespace {
} // namespace

void TMainScreen::BuildGrids() {
  m_noteBook = new QStackedWidget(this);
  m_noteBook->setObjectName(QStringLiteral("NoteBook"));
  m_sentList = new app::FaxListPane(m_faxTable, app::SentColumns(), "Sent", "FaxGrid", m_noteBook);
  m_receivedList =
      new app::FaxListPane(m_recTable, app::ReceivedColumns(), "Received", "RecFaxGrid", m_noteBook);
  m_noteBook->addWidget(m_sentList);
  m_noteBook->addWidget(m_receivedList);
  m_noteBook->setCurrentIndex(0);
  connect(m_sentList, &app::FaxListPane::Activated, this, &TMainScreen::mnuViewPrintClick);
  connect(m_receivedList, &app::FaxListPane::Activated, this, &TMainScreen::mnuViewPrintClick);
}

void TMainScreen::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  m_mnuNew = makeAction(file, "mnuNew", QStringLiteral("&New"), QStringLiteral("Create a new fax"));
  m_mnuEdit = makeAction(file, "mnuEdit", QStringLiteral("&Edit"),
                         QStringLiteral("Edit the currently selected fax"));
  m_mnuClone = makeAction(file, "mnuClone", QStringLiteral("Clone"),
                          QStringLiteral("Clone the currently selected fax"));
  m_mnuDelete = makeAction(file, "mnuDelete", QStringLiteral("Delete"),
                           QStringLiteral("Delete the currently selected fax"));
  QAction* fromFile = makeAction(file, "mnuNewFromFile", QStringLiteral("New Fax from &File..."),
                                 QStringLiteral("Make a new fax from a document or image file"));
  file->addSeparator();
  m_mnuSend = makeAction(file, "mnuSend", QStringLiteral("Send Fax"),
                         QStringLiteral("Send the currently selected fax"),
                         QKeySequence(Qt::CTRL | Qt::Key_S));
  m_mnuReceive = makeAction(file, "mnuReceive", QStringLiteral("Receive Faxes"), QString(),
                            QKeySequence(Qt::CTRL | Qt::Key_R));
  m_mnuViewPrint = makeAction(file, "mnuViewPrint", QStringLiteral("View/Print Fax"),
                              QStringLiteral("See a preview of and optionally  print the fax"),
                              QKeySequence(Qt::CTRL | Qt::Key_V));
  m_mnuModemReset = makeAction(file, "mnuModemReset", QStringLiteral("&Modem Reset"), QString());
  file->addSeparator();
  QAction* cover = makeAction(file, "mnuCover", QStringLiteral("C&over Sheets"),
                              QStringLiteral("Create or modify cover page templates"));
  QAction* phone = makeAction(file, "mnuPhoneBook", QStringLiteral("&Phone Book"),
                              QStringLiteral("Create or modify phone book entries"));
  m_mnuRebuildIndexes = makeAction(file, "mnuRebuildIndexes", QStringLiteral("Rebuild &Indexes"),
                                   QStringLiteral("Do this every 2 weeks "));
  m_mnuPreferences = makeAction(file, "mnuPreferences", QStringLiteral("P&references"),
                                QStringLiteral("Set Tolvane preferences"));
  file->addSeparator();
  QAction* exit = makeAction(file, "Exit1", QStringLiteral("E&xit"),
                             QStringLiteral("Exit to Windows"), QKeySequence(Qt::CTRL | Qt::Key_X));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  QAction* contents = makeAction(help, "Contents1", QStringLiteral("Contents"),
                                 QStringLiteral("Open the Tolvane help file"));
  m_mnuShowHint = makeAction(help, "mnuShowHint", QStringLiteral("Show Hints"), QString());
  m_mnuShowHint->setCheckable(true);
  m_mnuShowHint->setChecked(true);
  QAction* tips =
      makeAction(help, "TroubleshootingTips1", QStringLiteral("Troubleshooting Tips"), QString());
  help->addSeparator();
  QAction* about = makeAction(help, "About1", QStringLiteral("About"),
                              QStringLiteral("Information about Tolvane"));

  // New, Edit, Clone, Delete and Send Fax click their buttons.
  connect(m_mnuNew, &QAction::triggered, m_newButton, &QPushButton::click);
  connect(m_mnuEdit, &QAction::triggered, m_editButton, &QPushButton::click);
  connect(m_mnuClone, &QAction::triggered, m_cloneButton, &QPushButton::click);
  connect(m_mnuDelete, &QAction::triggered, m_deleteButton, &QPushButton::click);
  connect(m_mnuSend, &QAction::triggered, m_sendButton, &QPushButton::click);
  connect(fromFile, &QAction::triggered, this, &TMainScreen::mnuNewFromFileClick);
  connect(m_mnuReceive, &QAction::triggered, this, &TMainScreen::ReceiveButtonClick);
  connect(m_mnuViewPrint, &QAction::triggered, this, &TMainScreen::mnuViewPrintClick);
  connect(m_mnuModemReset, &QAction::triggered, this, &TMainScreen::mnuModemResetClick);
  connect(cover, &QAction::triggered, this, &TMainScreen::mnuCoverClick);
  connect(phone, &QAction::triggered, this, &TMainScreen::mnuPhoneBookClick);
  connect(m_mnuRebuildIndexes, &QAction::triggered, this, &TMainScreen::mnuRebuildIndexesClick);
  connect(m_mnuPreferences, &QAction::triggered, this, &TMainScreen::mnuPreferencesClick);
  connect(exit, &QAction::triggered, this, &TMainScreen::Exit1Click);
  connect(contents, &QAction::triggered, this, &TMainScreen::Contents1Click);
  connect(m_mnuShowHint, &QAction::triggered, this, &TMainScreen::mnuShowHintClick);
  connect(tips, &QAction::triggered, this, &TMainScreen::TroubleshootingTips1Click);
  connect(about, &QAction::triggered, this, &TMainScreen::About1Click);
}

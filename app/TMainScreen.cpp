#include "app/TMainScreen.h"

#include "app/FaxListPane.h"
#include "app/PrintInbox.h"
#include "core/FaxTables.h"
#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "widgets/HelpAndBeep.h"
#include "faxengine/TFxReceiveFax.h"
#include "faximage/FaxConverter.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"
#include "serial/TFxComPort.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTimer>

#include <filesystem>
#include <utility>

// The window's pictures and help pages live in a resource of this static
// library; Qt registers such resources only on request.
static void initResources() {
  Q_INIT_RESOURCE(tolvane);
}

namespace {
QEvent::Type messageEventType(int message) {
  return static_cast<QEvent::Type>(QEvent::User + message);
}
} // namespace

TMainScreen::TMainScreen(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainScreen"));
  FormCreate();
}

TMainScreen::~TMainScreen() {
  if (Receiving())
    StopReceiveMode();
  if (appwidgets::HintTarget() == m_status)
    appwidgets::SetHintTarget(nullptr);
  appwidgets::SetHelpHandler({});
  if (appwidgets::MainWindow() == this)
    appwidgets::SetMainWindow(nullptr);
}

// The design's creation handler, in its order: tables, settings, the receive
// folder and components, hints.
void TMainScreen::FormCreate() {
  m_firstActivation = true;
  initResources();
  xbase::TableEnv::setDeleted(true);
  xbase::TableEnv::setSysProp(1009, 0);
  setWindowTitle(QStringLiteral("Tolvane "));
  appwidgets::SetMainWindow(this);
  BuildLayout();
  m_retryTimer = new QTimer(this);
  m_retryTimer->setInterval(30000);
  connect(m_retryTimer, &QTimer::timeout, this, &TMainScreen::RetryPendingWrites);
  OpenTables();
  if (m_tablesOpen)
    app::ConnectPrintInbox(*this);
  m_firstRun = false;
  app::LoadSettings();
  if (app::Settings.ComPort == -1) {
    m_firstRun = true;
    app::Settings.ComPort = 0;
  }
  std::error_code ignored;
  std::filesystem::create_directory(platform::ProgramDir() + "receive", ignored);
  SetUpReceiveComponents();
  appwidgets::InstallHintHandler();
  appwidgets::SetHintTarget(m_status);
  m_mnuShowHint->setChecked(app::Settings.HintsOn);
  appwidgets::SetHintsShown(app::Settings.HintsOn);
  setAcceptDrops(true);
  // Help buttons of the other windows open this program's help window.
  appwidgets::SetHelpHandler([this](int context) { ShowHelpTopic(context); });
}

void TMainScreen::OpenTables() {
  const bool sentOpen = app::OpenFaxDBF(m_faxTable);
  if (!sentOpen) {
    appwidgets::ShowInfo(
        QStringLiteral("Unable to open/create the FAX datafile - closing program") +
            TableProblem(platform::ProgramDir() + app::SentTable.FileName),
        this);
    PostMessage(CloseRequestMessage);
  }
  const bool recOpen = app::OpenRecFaxDBF(m_recTable);
  if (!recOpen) {
    appwidgets::ShowInfo(
        QStringLiteral("Unable to open/create the FAX RECEIVE datafile - closing program") +
            TableProblem(platform::ProgramDir() + app::ReceivedTable.FileName),
        this);
    PostMessage(CloseRequestMessage);
  }
  m_tablesOpen = sentOpen && recOpen;
  if (!m_tablesOpen) {
    // Nothing more is read from or written to a table of a failed start.
    if (m_faxTable.isOpen())
      m_faxTable.close();
    if (m_recTable.isOpen())
      m_recTable.close();
    return;
  }
  // The lists' order is chosen before they count their rows, so that the
  // tables are counted once (10,000 records take a noticeable moment).
  ResetTableOrder(m_faxTable, "DATESENT");
  ResetTableOrder(m_recTable, "DATETIME");
  m_sentList->Reload();
  m_receivedList->Reload();
  ListUnlistedReceivedFaxes();
}

void TMainScreen::PostMessage(int message) {
  QCoreApplication::postEvent(this, new QEvent(messageEventType(message)));
}

bool TMainScreen::event(QEvent* event) {
  if (event->type() == messageEventType(CloseRequestMessage)) {
    m_closing = true;
    close();
    return true;
  }
  if (event->type() == messageEventType(FaxReceivedSoundMessage)) {
    PlayReceivedSound();
    return true;
  }
  return QMainWindow::event(event);
}

void TMainScreen::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!m_firstActivation)
    return;
  m_firstActivation = false;
  appwidgets::RestorePlacement(this);
  SetButtons();
  // The steps that may open windows run once the window is on screen.
  QTimer::singleShot(0, this, &TMainScreen::FormActivate);
}

// The rest of the first activation: the first-run greeting and preferences,
// and receive mode when the settings ask for it at start.
void TMainScreen::FormActivate() {
  if (!m_tablesOpen || m_closing)
    return;
  raise();
  activateWindow();
  appwidgets::ProcessPendingEvents();
  if (m_firstRun)
    mnuPreferencesClick();
  if (app::Settings.ReceiveAtStartup && !Receiving())
    ReceiveButtonClick();
  // The greeting comes last, so that receive mode already answers calls
  // while it is read.
  if (!m_firstRunText.isEmpty())
    appwidgets::ShowInfo(std::exchange(m_firstRunText, QString()), this);
}

void TMainScreen::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
}

void TMainScreen::closeEvent(QCloseEvent* event) {
  // While a fax file is built (the button bar is off) the window stays: the
  // work processes events and still uses the tables and editors.
  if (!m_buttonBar->isEnabled() && !m_closing) {
    event->ignore();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TMainScreen::FormCloseQuery() {
  if (FaxInProgress() &&
      !appwidgets::AskYesNo(QStringLiteral("You are receiving a fax. Exit the program?"),
                            QStringLiteral("Exit"), this))
    return false;
  appwidgets::ProcessPendingEvents();
  m_sentList->Suspend();
  m_receivedList->Suspend();
  if (m_faxTable.isOpen())
    m_faxTable.close();
  if (m_recTable.isOpen())
    m_recTable.close();
  m_tablesOpen = false;
  appwidgets::ProcessPendingEvents();
  return true;
}

void TMainScreen::FormClose() {
  if (Receiving())
    ReceiveButtonClick();
  SetButtons();
  if (!m_firstActivation)
    appwidgets::SavePlacement(this);
}

void TMainScreen::ExitbuttonClick() {
  close();
}

void TMainScreen::Exit1Click() {
  close();
}

void TMainScreen::SetStatusText(const QString& text) {
  m_status->setText(text);
}

int TMainScreen::CurrentPage() const {
  return m_tabSet->currentIndex();
}

void TMainScreen::SetCurrentPage(int page) {
  m_tabSet->setCurrentIndex(page);
}

void TMainScreen::TabSet1Click(int index) {
  m_noteBook->setCurrentIndex(index);
  SetButtons();
}

QString TMainScreen::TableProblem(const std::string& path) {
  const QString name = QString::fromStdString(path);
  QString reason;
  if (!std::filesystem::exists(path)) {
    reason = QStringLiteral("The folder %1 does not let Tolvane create its files.")
                 .arg(QString::fromStdString(platform::ProgramDir()));
  } else {
    try {
      xbase::Table probe;
      probe.open(path);
      probe.close();
    } catch (const xbase::XBaseError& e) {
      switch (e.code()) {
      case xbase::ErrorCode::Locked:
        reason = QStringLiteral("%1 is in use by another program.").arg(name);
        break;
      case xbase::ErrorCode::BadTable:
      case xbase::ErrorCode::BadMemo:
        reason = QStringLiteral("%1 is damaged (%2). It was left as it is.")
                     .arg(name, QString::fromLocal8Bit(e.what()));
        break;
      default:
        reason = QStringLiteral("%1: %2").arg(name, QString::fromLocal8Bit(e.what()));
      }
    } catch (const std::exception& e) {
      reason = QStringLiteral("%1: %2").arg(name, QString::fromLocal8Bit(e.what()));
    }
  }
  return reason.isEmpty() ? QString() : QStringLiteral("\r\r") + reason;
}

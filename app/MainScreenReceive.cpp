// Receive mode: the main window's port and receive component answer calls,
// each fax received becomes a Received record, a sound and a notification.

#include "app/FaxTableModel.h"
#include "app/ReceiveNotices.h"
#include "app/TMainScreen.h"
#include "core/FaxStores.h"
#include "core/ModemCommands.h"
#include "core/Settings.h"
#include "core/SharedServices.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "faxengine/TFxReceiveFax.h"
#include "platform/FxErrors.h"
#include "platform/ProgramDir.h"
#include "serial/TFxComPort.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <filesystem>

void TMainScreen::SetUpReceiveComponents() {
  const std::string dir = platform::ProgramDir();
  m_comPort = std::make_unique<TFxComPort>();
  m_comPort->SetComNumber(1);
  m_comPort->SetAutoOpen(false);
  m_receiveFax = std::make_unique<TFxReceiveFax>();
  m_receiveFax->SetComPort(m_comPort.get());
  m_comPort->SetInSize(8192);
  m_comPort->SetOutSize(8192);
  m_comPort->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  m_comPort->SetBufferFull(7372);
  m_comPort->SetBufferResume(819);
  m_comPort->SetTraceName((dir + "TOVRECV.TRC").substr(0, 255));
  m_comPort->SetLogName((dir + "TOVRECV.LOG").substr(0, 255));
  m_receiveFax->SetStationID("FX RcvFax");
  m_receiveFax->SetFaxFileExt("APF");
  m_receiveFax->SetConstantStatus(true);
  m_receiveFax->SetDestinationDir(dir + "receive");
  m_receiveFax->NamingMode = 1;
  m_receiveFax->OnFaxAccept = [this](TFxCustomAbstractFax& cp, bool& accept) {
    FxReceiveFax1FaxAccept(cp, accept);
  };
  m_receiveFax->OnFaxStatus = [this](TFxCustomAbstractFax& cp, bool first, bool last) {
    FxReceiveFax1FaxStatus(cp, first, last);
  };
  m_receiveFax->OnFaxLog = [this](TFxCustomAbstractFax& cp, int code) {
    FxReceiveFax1FaxLog(cp, code);
  };
  m_receiveFax->OnFaxError = [this](TFxCustomAbstractFax& cp, int code) {
    FxReceiveFax1FaxError(cp, code);
  };
  m_receiveFax->OnFaxFinish = [this](TFxCustomAbstractFax&, int code) {
    // The call ended without being stopped here (modem gone, say): receive
    // mode cannot go on without it.
    if (m_receiving && !m_stopping) {
      SetStatusText(QStringLiteral("Receive mode ended: ") +
                    QString::fromStdString(ErrorText(code)));
      m_faxInProgress = false;
      if (m_comPort->Open())
        m_comPort->SetOpen(false);
      m_receiving = false;
      SetReceiveButtonIdle();
      SetButtons();
    }
  };
}

void TMainScreen::ReceiveButtonClick() {
  if (m_receiving)
    StopReceiveMode();
  else
    StartReceiveMode();
}

void TMainScreen::SetReceiveButtonIdle() {
  m_receiveButton->setText(QStringLiteral("Receive"));
  m_receiveButton->setStatusTip(QStringLiteral("Start receiving faxes"));
  m_receiveButton->setToolTip(QStringLiteral("Start receiving faxes"));
}

namespace {
// "E0" becomes "ATE0"; a string that holds "AT" in any letter case is kept.
std::string modemInitFrom(const std::string& init) {
  std::string upper = init;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return upper.find("AT") != std::string::npos ? init : "AT" + init;
}
} // namespace

void TMainScreen::StartReceiveMode() {
  appwidgets::BusyCursor busy;
  m_lastFaxError = 0;
  m_receiving = true;
  SetButtons();
  appwidgets::ProcessPendingEvents();
  try {
    SetStatusText(QStringLiteral("Starting receive mode..."));
    const app::TSettings& s = app::Settings;
    m_comPort->SetComNumber(uint16_t(s.ComPort + 1));
    m_receiveFax->SetFaxClass(static_cast<TFaxClass>(std::clamp(s.FaxClass + 1, 1, 4)));
    m_receiveFax->SetStationID(s.UserFax);
    m_receiveFax->SetAnswerOnRing(uint16_t(std::max(1, s.AnswerOnRing)));
    if (!s.InitString.empty())
      m_receiveFax->SetModemInit(modemInitFrom(s.InitString));
    std::string error;
    if (!OpenModemPort(*m_comPort, error))
      throw std::runtime_error(error);
    m_comPort->SetTracing(tlOn);
    m_comPort->SetLogging(tlOn);
    if (!s.ResetString.empty()) {
      SetStatusText(QStringLiteral("Sending reset string..."));
      appwidgets::ProcessPendingEvents();
      // The setting itself takes the "AT" prefix, as in the send dialog,
      // so that the next save of the settings keeps it.
      SendModemCommand(*m_comPort, app::Settings.ResetString);
    }
    m_receiveFax->BeginReceive();
    m_receiveButton->setText(QStringLiteral("STOP"));
    m_receiveButton->setStatusTip(QStringLiteral("Stop receiving faxes"));
    m_receiveButton->setToolTip(QStringLiteral("Stop receiving faxes"));
  } catch (const std::exception& e) {
    QApplication::restoreOverrideCursor();
    appwidgets::ShowInfo(appwidgets::FromAnsi(e.what()), this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_comPort->Open())
      m_comPort->SetOpen(false);
    m_receiving = false;
    SetReceiveButtonIdle();
  }
  SetButtons();
}

void TMainScreen::StopReceiveMode() {
  appwidgets::BusyCursor busy;
  m_lastFaxError = 0;
  m_stopping = true;
  try {
    m_receiveFax->AbortFax();
    appwidgets::ProcessPendingEvents();
    // The call lets go of the port within a few seconds; the after-reset
    // string must not reach the modem while it is still in the call.
    QElapsedTimer waited;
    waited.start();
    while (m_receiveFax->Running() && waited.elapsed() < 12000)
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!app::Settings.AfterResetString.empty() && m_comPort->Open()) {
      SetStatusText(QStringLiteral("Sending AFTER reset string..."));
      appwidgets::ProcessPendingEvents();
      SendModemCommand(*m_comPort, app::Settings.AfterResetString);
    }
    if (m_comPort->Open())
      m_comPort->SetOpen(false);
    appwidgets::ProcessPendingEvents();
  } catch (const std::exception&) {
    // Stopping always ends receive mode, whatever the modem did.
  }
  m_stopping = false;
  m_faxInProgress = false;
  m_receiving = false;
  SetReceiveButtonIdle();
  SetButtons();
}

void TMainScreen::FxReceiveFax1FaxAccept(TFxCustomAbstractFax&, bool& accept) {
  m_faxInProgress = true;
  m_lastFaxError = 0;
  accept = true;
}

void TMainScreen::FxReceiveFax1FaxStatus(TFxCustomAbstractFax& cp, bool first, bool last) {
  m_receivedPages = uint16_t(std::max(0, cp.PageNumber()));
  QString text = QString::fromStdString(TFxCustomAbstractFax::StatusText(cp.ProgressCode()));
  const std::string remote = app::TrimSpaces(cp.RemoteIdent());
  if (!remote.empty())
    text += QStringLiteral(" [ from ") + appwidgets::FromAnsi(remote) + QStringLiteral(" page ") +
            QString::number(m_receivedPages) + QStringLiteral("]");
  SetStatusText(text);
  if (first)
    m_receivedPages = 0;
  if (last)
    m_faxInProgress = false;
}

void TMainScreen::FxReceiveFax1FaxError(TFxCustomAbstractFax&, int errorCode) {
  m_lastFaxError = errorCode;
}

// The call waits while this runs: what must touch the tables or show a box
// is handed to the event loop with the values of this moment.
void TMainScreen::FxReceiveFax1FaxLog(TFxCustomAbstractFax& cp, int logCode) {
  if (logCode == 5) {
    m_faxInProgress = false;
    ReceivedFax fax{app::TrimSpaces(cp.RemoteIdent()), m_receivedPages, cp.FaxFile(),
                    QDateTime::currentDateTime()};
    QTimer::singleShot(0, this, [this, fax] { FaxReceived(fax); });
  } else if (logCode == 7) {
    m_faxInProgress = false;
    const int error = m_lastFaxError;
    m_lastFaxError = 0;
    const std::string file = cp.FaxFile();
    QTimer::singleShot(0, this, [this, error, file] { FaxReceiveFailed(error, file); });
  }
}

void TMainScreen::FaxReceived(const ReceivedFax& fax) {
  // With the tables closed (the window is closing) the file stays in
  // receive/ and is listed at the next start.
  if (!m_recTable.isOpen())
    return;
  app::ReceivedFaxEntry entry;
  entry.Date = fax.When.date().toString(QStringLiteral("yyyyMMdd")).toStdString();
  entry.Time = fax.When.time().toString(QStringLiteral("HH:mm")).toStdString();
  entry.From = fax.From;
  entry.Pages = fax.Pages;
  entry.FaxFile = std::filesystem::path(fax.File).filename().string();
  try {
    app::AppendReceivedFax(m_recTable, entry);
  } catch (const std::exception& e) {
    // The file is kept; the next reopening of the tables lists it.
    SetStatusText(QStringLiteral("A fax was received but could not be listed yet: ") +
                  QString::fromLocal8Bit(e.what()));
    m_unlistedReceived = true;
    m_retryTimer->start();
    return;
  }
  appwidgets::ProcessPendingEvents();
  RecTableCloseAndOpen();
  appwidgets::ProcessPendingEvents();
  PostMessage(FaxReceivedSoundMessage);
  SetButtons();
  app::NotifyFaxReceived(appwidgets::FromAnsi(fax.From), fax.Pages);
}

// Files in receive/ that no Received record names (a fax that arrived while
// the tables were closed, or whose record could not be written) become
// records, so that nothing received stays out of the list.
void TMainScreen::ListUnlistedReceivedFaxes() {
  if (!m_recTable.isOpen() || m_recTable.state() != xbase::TableState::Browse || m_faxInProgress)
    return;
  std::vector<std::string> files;
  try {
    files = app::UnlistedReceivedFiles(m_recTable, platform::ProgramDir() + "receive");
  } catch (const std::exception&) {
    return;
  }
  int listed = 0;
  QString failure;
  for (const std::string& file : files) {
    try {
      app::AppendReceivedFax(m_recTable, app::EntryForReceivedFile(file));
      ++listed;
    } catch (const std::exception& e) {
      failure = QString::fromLocal8Bit(e.what());
      break;
    }
  }
  m_unlistedReceived = !failure.isEmpty();
  if (m_unlistedReceived)
    m_retryTimer->start();
  if (listed > 0) {
    m_recModel->Reload();
    SetButtons();
  }
  if (!failure.isEmpty())
    SetStatusText(QStringLiteral("Received faxes could not be listed yet: ") + failure);
  else if (listed > 0)
    SetStatusText(QString::number(listed) +
                  (listed == 1 ? QStringLiteral(" received fax was found in the receive folder "
                                                "and added to the list")
                               : QStringLiteral(" received faxes were found in the receive "
                                                "folder and added to the list")));
}

void TMainScreen::FaxReceiveFailed(int error, const std::string& file) {
  QString text =
      error != 0 ? QString::fromStdString(ErrorText(error)) : QStringLiteral("Unknown error");
  // The partial file goes before the box, so no half fax stays behind even
  // while the box waits for the user.
  if (!file.empty() && std::filesystem::path(file).filename() != "" &&
      QFileInfo(QString::fromStdString(file)).isFile())
    QFile::remove(QString::fromStdString(file));
  appwidgets::ShowInfo(QStringLiteral("Failed to receive incoming fax:\r\r") + text, this);
}

void TMainScreen::PlayReceivedSound() {
  app::PlayFaxSound(appwidgets::FromAnsi(app::Settings.WavFile), this);
}

#include "app/ReceiveMode.h"

#include "core/FaxStores.h"
#include "core/ModemCommands.h"
#include "core/Settings.h"
#include "core/SharedServices.h"
#include "faxengine/TFxReceiveFax.h"
#include "platform/FxErrors.h"
#include "serial/TFxComPort.h"
#include "widgets/WindowServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

namespace app {

namespace {

// "E0" becomes "ATE0"; a string that holds "AT" in any letter case is kept.
std::string modemInitFrom(const std::string& init) {
  std::string upper = init;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return upper.find("AT") != std::string::npos ? init : "AT" + init;
}

} // namespace

ReceiveMode::ReceiveMode(const std::string& dataDir, QObject* parent)
    : QObject(parent), m_comPort(std::make_unique<TFxComPort>()),
      m_receiveFax(std::make_unique<TFxReceiveFax>()) {
  m_comPort->SetComNumber(1);
  m_comPort->SetAutoOpen(false);
  m_receiveFax->SetComPort(m_comPort.get());
  m_comPort->SetInSize(8192);
  m_comPort->SetOutSize(8192);
  m_comPort->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  m_comPort->SetBufferFull(7372);
  m_comPort->SetBufferResume(819);
  m_comPort->SetTraceName((dataDir + "TOVRECV.TRC").substr(0, 255));
  m_comPort->SetLogName((dataDir + "TOVRECV.LOG").substr(0, 255));
  m_receiveFax->SetStationID("FX RcvFax");
  m_receiveFax->SetDesiredECM(true); // unless Com1's switch in TOV.INI says no
  m_receiveFax->SetFaxFileExt("APF");
  m_receiveFax->SetConstantStatus(true);
  m_receiveFax->SetDestinationDir(dataDir + "receive");
  m_receiveFax->NamingMode = 1;
  m_receiveFax->OnFaxAccept = [this](TFxCustomAbstractFax&, bool& accept) {
    m_faxInProgress = true;
    m_lastFaxError = 0;
    accept = true;
  };
  m_receiveFax->OnFaxStatus = [this](TFxCustomAbstractFax& cp, bool first, bool last) {
    OnStatus(cp, first, last);
  };
  m_receiveFax->OnFaxLog = [this](TFxCustomAbstractFax& cp, int code) { OnLog(cp, code); };
  m_receiveFax->OnFaxError = [this](TFxCustomAbstractFax&, int code) { m_lastFaxError = code; };
  m_receiveFax->OnFaxFinish = [this](TFxCustomAbstractFax&, int code) { OnFinish(code); };
}

ReceiveMode::~ReceiveMode() {
  // The component goes before the port it uses.
  m_receiveFax.reset();
  m_comPort.reset();
}

void ReceiveMode::SetReceiving(bool on) {
  if (m_receiving == on)
    return;
  m_receiving = on;
  emit ReceivingChanged(on);
}

QString ReceiveMode::Start(TSettings& s) {
  m_lastFaxError = 0;
  SetReceiving(true);
  appwidgets::ProcessPendingEvents();
  try {
    emit StatusText(QStringLiteral("Starting receive mode..."));
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
      emit StatusText(QStringLiteral("Sending reset string..."));
      appwidgets::ProcessPendingEvents();
      // The setting itself takes the "AT" prefix, as in the send dialog,
      // so that the next save of the settings keeps it.
      SendModemCommand(*m_comPort, s.ResetString);
    }
    m_receiveFax->BeginReceive();
    return {};
  } catch (const std::exception& e) {
    if (m_comPort->Open())
      m_comPort->SetOpen(false);
    SetReceiving(false);
    return appwidgets::FromAnsi(e.what());
  }
}

void ReceiveMode::Stop(TSettings& s) {
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
    if (!s.AfterResetString.empty() && m_comPort->Open()) {
      emit StatusText(QStringLiteral("Sending AFTER reset string..."));
      appwidgets::ProcessPendingEvents();
      SendModemCommand(*m_comPort, s.AfterResetString);
    }
    if (m_comPort->Open())
      m_comPort->SetOpen(false);
    appwidgets::ProcessPendingEvents();
  } catch (const std::exception&) {
    // Stopping always ends receive mode, whatever the modem did.
  }
  m_stopping = false;
  m_faxInProgress = false;
  SetReceiving(false);
}

void ReceiveMode::OnStatus(TFxCustomAbstractFax& cp, bool first, bool last) {
  m_receivedPages = uint16_t(std::max(0, cp.PageNumber()));
  QString text = QString::fromStdString(TFxCustomAbstractFax::StatusText(cp.ProgressCode()));
  const std::string remote = TrimSpaces(cp.RemoteIdent());
  if (!remote.empty())
    text += QStringLiteral(" [ from ") + appwidgets::FromAnsi(remote) + QStringLiteral(" page ") +
            QString::number(m_receivedPages) + QStringLiteral("]");
  emit StatusText(text);
  if (first)
    m_receivedPages = 0;
  if (last)
    m_faxInProgress = false;
}

// The call waits while this runs: what must touch the tables or show a box
// is handed to the event loop with the values of this moment.
void ReceiveMode::OnLog(TFxCustomAbstractFax& cp, int logCode) {
  if (logCode == 5) {
    m_faxInProgress = false;
    ReceivedFax fax{TrimSpaces(cp.RemoteIdent()), m_receivedPages, cp.FaxFile(),
                    QDateTime::currentDateTime()};
    QTimer::singleShot(0, this, [this, fax] { emit FaxReceived(fax); });
  } else if (logCode == 7) {
    m_faxInProgress = false;
    const int error = m_lastFaxError;
    m_lastFaxError = 0;
    const QString reason =
        error != 0 ? QString::fromStdString(ErrorText(error)) : QStringLiteral("Unknown error");
    // The component keeps the pages that arrived whole (and the rows of a
    // page cut short) in the file; a file without a page is removed.
    ReceivedFax kept{TrimSpaces(cp.RemoteIdent()), 0, cp.FaxFile(), QDateTime::currentDateTime()};
    std::error_code ec;
    if (!kept.File.empty() && std::filesystem::is_regular_file(kept.File, ec)) {
      const ReceivedFaxEntry entry = EntryForReceivedFile(kept.File);
      kept.Pages = entry.Pages;
      if (kept.From.empty())
        kept.From = entry.From;
      if (kept.Pages == 0)
        std::filesystem::remove(kept.File, ec);
    }
    if (kept.Pages == 0)
      kept.File.clear();
    QTimer::singleShot(0, this, [this, reason, kept] { emit FaxFailed(reason, kept); });
  }
}

void ReceiveMode::OnFinish(int code) {
  // The call ended without being stopped here (modem gone, say): receive
  // mode cannot go on without it.
  if (!m_receiving || m_stopping)
    return;
  m_faxInProgress = false;
  if (m_comPort->Open())
    m_comPort->SetOpen(false);
  SetReceiving(false);
  emit Ended(QStringLiteral("Receive mode ended: ") + QString::fromStdString(ErrorText(code)));
}

} // namespace app

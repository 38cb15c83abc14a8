#include "send/TSendFaxForm.h"

#include "core/ModemCommands.h"
#include "core/Settings.h"
#include "core/SharedServices.h"
#include "widgets/MessageBoxes.h"
#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"
#include "send/SerialDevices.h"
#include "send/TCheckFaxClassForm.h"
#include "send/TFindModemForm.h"
#include "send/TResetModemForm.h"
#include "platform/FxErrors.h"
#include "platform/ProgramDir.h"
#include "widgets/WindowServices.h"
#include "send/PortParts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <optional>

using appwidgets::ProcessPendingEvents;

namespace {

constexpr int kMaxPath = 255;

std::string cut(const std::string& text, size_t length = kMaxPath) {
  return text.substr(0, length);
}

// The integer in a number field, or nothing when the text is not one.
std::optional<int> integerIn(const QLineEdit* edit) {
  bool ok = false;
  const int value = edit->text().trimmed().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

uint16_t toWord(int value) {
  return static_cast<uint16_t>(std::clamp(value, 0, 65535));
}

} // namespace

TSendFaxForm::TSendFaxForm(QWidget* parent)
    : QDialog(parent), m_comPort(std::make_unique<TFxComPort>()),
      m_sendFax(std::make_unique<TFxSendFax>()) {
  BuildForm();
  m_faxStatus = std::make_unique<TFxFaxStatus>(this);
  m_faxStatus->Fax = m_sendFax.get();
  faxsend::SetUpModemPort(*m_comPort);
  m_comPort->SetTracing(tlOn);
  m_comPort->SetTraceSize(32000);
  m_comPort->SetLogging(tlOn);
  m_comPort->SetTraceName(cut(platform::ProgramDir() + "TOVSEND.TRC"));
  m_comPort->SetLogName(cut(platform::ProgramDir() + "TOVSEND.LOG"));
  m_sendFax->SetFaxClass(fcUnknown);
  m_sendFax->SetComPort(m_comPort.get());
  m_sendFax->SetStatusDisplay(m_faxStatus.get());
  m_sendFax->SetFaxFileExt("APF");
  m_sendFax->OnFaxFinish = [this](TFxCustomAbstractFax& sender, int code) {
    FxSendFax1FaxFinish(sender, code);
  };
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
}

TSendFaxForm::~TSendFaxForm() {
  // A call still running (the window closed by other means) ends here; the
  // component forgets the port when it goes, so it goes first.
  m_sendFax->OnFaxFinish = nullptr;
  m_sendFax->SetStatusDisplay(nullptr);
  if (m_sendFax->Running())
    m_sendFax->AbortFax();
  m_sendFax.reset();
  m_comPort.reset();
}

// ------------------------------------------------------------ settings

void TSendFaxForm::LoadSettings(const app::TSettings& s) {
  ComPort->SetItemIndex(s.ComPort);
  m_comPort->SetComNumber(static_cast<uint16_t>(std::max(0, s.ComPort + 1)));
  sfusername->setText(appwidgets::FromAnsi(s.UserName));
  sfStationID->setText(appwidgets::FromAnsi(s.UserFax));
  sfDialPrefix->setText(appwidgets::FromAnsi(s.DialPrefix));
  sfModemInit->setText(appwidgets::FromAnsi(s.InitString));
  sfDialAttempts->setText(QString::number(s.DialAttempts));
  sfRetryWait->setText(QString::number(s.RetryWait));
  sfTimeOut->setText(QString::number(s.Timeout));
  sfFaxClass->SetItemIndex(s.FaxClass);
  sfToneOrPulse->SetItemIndex(s.ToneOrPulse);
  CheckBlindDial->setChecked(s.BlindDial);
  CheckIgnoreBusy->setChecked(s.IgnoreBusy);
  TransferRate->setCurrentIndex(app::IndexFromBps(s.MaximumBPS));
}

void TSendFaxForm::StoreSettings(app::TSettings& s) const {
  s.ComPort = ComPort->ItemIndex();
  s.UserName = appwidgets::ToAnsi(sfusername->text());
  s.UserFax = appwidgets::ToAnsi(sfStationID->text());
  s.DialPrefix = appwidgets::ToAnsi(sfDialPrefix->text());
  s.InitString = appwidgets::ToAnsi(sfModemInit->text());
  s.MaximumBPS = app::BpsFromIndex(TransferRate->currentIndex());
  s.DialAttempts = integerIn(sfDialAttempts).value_or(s.DialAttempts);
  s.RetryWait = integerIn(sfRetryWait).value_or(s.RetryWait);
  s.Timeout = integerIn(sfTimeOut).value_or(s.Timeout);
  s.FaxClass = sfFaxClass->ItemIndex();
  s.ToneOrPulse = sfToneOrPulse->ItemIndex();
  s.BlindDial = CheckBlindDial->isChecked();
  s.IgnoreBusy = CheckIgnoreBusy->isChecked();
}

// ------------------------------------------------------------ life

void TSendFaxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_firstActivation)
    QTimer::singleShot(0, this, [this] { FormActivate(); });
}

bool TSendFaxForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    FormActivate();
  return QDialog::event(event);
}

void TSendFaxForm::FormActivate() {
  appwidgets::SetHintTarget(status);
  if (!m_firstActivation)
    return;
  m_firstActivation = false;
  sfPhoneNumber->setText(m_phoneNumber);
}

void TSendFaxForm::closeEvent(QCloseEvent* event) {
  if (m_busy) {
    appwidgets::MessageBeep();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TSendFaxForm::reject() {
  CloseButtonClick();
}

void TSendFaxForm::CloseButtonClick() {
  if (m_busy) {
    appwidgets::MessageBeep();
    return;
  }
  ClosePort();
  done(2);
}

void TSendFaxForm::HelpButtonClick() {
  appwidgets::ShowHelpContext(1016);
}

void TSendFaxForm::ExplorerButton1Click() {
  appwidgets::ShowHelpContext(1026);
}

void TSendFaxForm::ExplorerButton2Click() {
  faxsend::ShowModemReset(this);
}

void TSendFaxForm::SetStatus(const QString& text) {
  status->setText(text);
  ProcessPendingEvents();
}

void TSendFaxForm::ClosePort() {
  try {
    m_comPort->SetOpen(false);
  } catch (const std::exception&) {
    // Closing a port that went away must not stop the dialog.
  }
}

// ------------------------------------------------------------ sending

QString TSendFaxForm::BuildHeaderLine(const QString& name, const QString& stationId,
                                      const QDateTime& when) {
  QString line = "Page $P of $N, Sent ";
  if (!(name + stationId).trimmed().isEmpty())
    line += "by ";
  if (!name.isEmpty())
    line += name + ",";
  if (!stationId.isEmpty())
    line += " $I ";
  const QLocale c = QLocale::c();
  line +=
      " on " + c.toString(when.date(), "d MMM yyyy") + " at " + c.toString(when.time(), "hh:mmap");
  return line;
}

QString TSendFaxForm::BuildHeader() const {
  return BuildHeaderLine(sfusername->text(), sfStationID->text(), QDateTime::currentDateTime());
}

void TSendFaxForm::ApplyDialNumbers() {
  // The first field that is no integer ends this step: it and the later
  // ones keep the component's previous values.
  const auto attempts = integerIn(sfDialAttempts);
  if (!attempts)
    return;
  m_sendFax->SetDialAttempts(toWord(*attempts));
  const auto retry = integerIn(sfRetryWait);
  if (!retry)
    return;
  m_sendFax->SetDialRetryWait(toWord(*retry));
  const auto wait = integerIn(sfTimeOut);
  if (!wait)
    return;
  m_sendFax->SetDialWait(toWord(*wait));
}

void TSendFaxForm::ConfigureSendFax() {
  TFxSendFax& fax = *m_sendFax;
  fax.SetDesiredBPS(static_cast<uint16_t>(app::BpsFromIndex(TransferRate->currentIndex())));
  fax.SetDesiredECM(true); // unless the port's switch in TOV.INI says no
  fax.SetBlindDial(CheckBlindDial->isChecked());
  fax.SetDetectBusy(!CheckIgnoreBusy->isChecked());
  fax.SetFaxFile(cut(m_faxFile.toStdString()));
  fax.SetCoverFile(cut(m_coverFile.toStdString()));
  fax.SetPhoneNumber(cut(appwidgets::ToAnsi(sfPhoneNumber->text())));
  fax.SetToneDial(sfToneOrPulse->ItemIndex() == 0);
  fax.SetFaxClass(static_cast<TFaxClass>(sfFaxClass->ItemIndex() + 1));
  ApplyDialNumbers();
  fax.SetStationID(appwidgets::ToAnsi(sfStationID->text()));
  fax.SetDialPrefix(appwidgets::ToAnsi(sfDialPrefix->text()));
  const QString init = sfModemInit->text();
  if (!init.isEmpty())
    fax.SetModemInit(appwidgets::ToAnsi(init.toUpper().contains("AT") ? init : "AT" + init));
  m_headerLine = BuildHeader();
  fax.SetHeaderLine(cut(appwidgets::ToAnsi(m_headerLine)));
}

void TSendFaxForm::SendFaxButtonClick() {
  if (m_busy) {
    appwidgets::MessageBeep();
    return;
  }
  m_busy = true;
  SetStatus("Opening communications port...");
  const int comNumber = ComPort->ItemIndex() + 1;
  m_comPort->SetComNumber(static_cast<uint16_t>(comNumber));
  std::string error;
  if (!OpenModemPort(*m_comPort, error)) {
    ClosePort();
    std::string trouble = faxsend::DeviceTroubleText(faxsend::ComDevice(comNumber));
    std::string text = error;
    if (comNumber > 0)
      text += "\r\r" + faxsend::ComDeviceText(comNumber) + (trouble.empty() ? "" : ". " + trouble);
    appwidgets::ShowInfo(appwidgets::FromAnsi(text), this);
    m_busy = false;
    status->clear();
    return;
  }
  if (!app::Settings.ResetString.empty()) {
    SetStatus("Sending reset string...");
    SendModemCommand(*m_comPort, app::Settings.ResetString);
  }
  StartSend();
}

void TSendFaxForm::StartSend() {
  try {
    ConfigureSendFax();
    SetStatus(QString());
    m_sendFax->BeginTransmit();
  } catch (...) {
    // A setup the component refuses ends the attempt quietly.
    m_busy = false;
    appwidgets::SetHintTarget(status);
    ClosePort();
  }
}

void TSendFaxForm::FxSendFax1FaxFinish(TFxCustomAbstractFax&, int errorCode) {
  const QString text = appwidgets::FromAnsi(ErrorText(errorCode));
  m_lastResult = (errorCode == 0 || text.toUpper() == "OK") ? QString("Sent") : text;
  appwidgets::ShowInfo("Finished: " + text, this);
  ProcessPendingEvents();
  EndAttempt();
}

void TSendFaxForm::EndAttempt() {
  if (!app::Settings.AfterResetString.empty() && m_comPort->Open()) {
    SetStatus("Sending AFTER reset string...");
    SendModemCommand(*m_comPort, app::Settings.AfterResetString);
  }
  ClosePort();
  ProcessPendingEvents();
  m_busy = false;
  status->clear();
}

// ------------------------------------------------------------ modem utilities

void TSendFaxForm::FindModemButtonClick() {
  if (m_busy) {
    appwidgets::MessageBeep(); // the port is in use by the running fax
    return;
  }
  faxsend::FindModemFor(this, *m_comPort, *ComPort);
}

void TSendFaxForm::CheckFaxClassButtonClick() {
  if (m_busy) {
    appwidgets::MessageBeep();
    return;
  }
  faxsend::CheckFaxClassFor(this, *m_comPort, *m_sendFax, *ComPort, *sfFaxClass);
  ClosePort();
  ProcessPendingEvents();
}

#include "app/TPreferences.h"

#include "core/IniFile.h"
#include "widgets/SaveFailure.h"

#include "app/ForwardingPage.h"
#include "app/PrintingPage.h"
#include "app/PortFeaturesPage.h"
#include "app/ReceiveNotices.h"
#include "app/SipLinePage.h"

#include "app/THelpWindow.h"
#include "core/Settings.h"
#include "core/SharedServices.h"
#include "widgets/MessageBoxes.h"
#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"
#include "send/SerialDevices.h"
#include "send/TCheckFaxClassForm.h"
#include "send/TFindModemForm.h"
#include "send/TResetModemForm.h"
#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"
#include "send/PortParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <optional>

using appwidgets::FromAnsi;
using appwidgets::ToAnsi;
using appwidgets::SetHint;
using appwidgets::TRadioGroup;

namespace {

const char* kGreeting = "Please enter information about yourself and your\rfaxmodem in the "
                        "Preferences screen. These values\rwill be saved for future use.\r\rBE "
                        "SURE TO VERIFY THE PORT AND FAX CLASS\rSETTINGS BEFORE CONTINUING";

QLineEdit* addEdit(QVBoxLayout* column, const QString& caption, const char* name,
                   const QString& hint, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  label->setBuddy(edit);
  SetHint(edit, hint);
  column->addWidget(label);
  column->addWidget(edit);
  return edit;
}

QPushButton* addButton(QBoxLayout* row, const QString& caption, const char* name,
                       const QString& hint, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  SetHint(button, hint);
  row->addWidget(button);
  return button;
}

std::optional<int> integerIn(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

TPreferences::TPreferences(QWidget* parent)
    : QDialog(parent), m_comPort(std::make_unique<TFxComPort>()),
      m_sendFax(std::make_unique<TFxSendFax>()) {
  BuildForm();
  faxsend::SetUpModemPort(*m_comPort);
  m_comPort->SetTracing(tlOn);
  m_comPort->SetTraceSize(32000);
  m_comPort->SetTraceName("TOV2.TRC");
  m_comPort->SetLogging(tlOn);
  m_comPort->SetLogName("TOV2.LOG");
  m_sendFax->SetComPort(m_comPort.get());
  m_sendFax->SetFaxFileExt("APF");
  // The handler outlives this window (the main window's comes back only
  // with its next send): it must never reach a closed Preferences.
  appwidgets::SetHelpHandler([self = QPointer<QWidget>(this)](int context) {
    THelpWindow::ShowTopic(context, self ? self.data() : appwidgets::MainWindow());
  });
  LoadControls();
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
}

TPreferences::~TPreferences() {
  m_sendFax.reset(); // the send component goes before the port it uses
  m_comPort.reset();
}

// ------------------------------------------------------------ layout

void TPreferences::BuildForm() {
  setObjectName("TPreferences");
  setWindowTitle("Preferences");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(BuildButtonRow());
  m_pages = new QTabWidget(this);
  m_pages->setObjectName("Pages");
  m_pages->addTab(BuildUserPage(), "User and dialing");
  m_pages->addTab(BuildModemPage(), "Modem");
  m_pages->addTab(BuildReceivePage(), "Receiving");
  m_pages->addTab(m_printingPage = new app::PrintingPage(app::Settings, this), "Printing");
  m_pages->addTab(m_portFeatures = new PortFeaturesPage(this), "Fax features");
  m_pages->addTab(m_sipPage = new SipLinePage(app::Settings.ComPort + 1, this), "SIP line");
  m_pages->addTab(new app::ForwardingPage(this), "Forwarding");
  outer->addWidget(m_pages, 1);
  status = appwidgets::AddStatusLine(this, outer);
  resize(622, 423);
  ConnectButtons();
}

QWidget* TPreferences::BuildButtonRow() {
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  HelpButton = addButton(row, "&Help", "HelpButton", "Get Windows help for Preferences", box);
  DefaultFontButton = addButton(row, "Default Font", "DefaultFontButton",
                                "Set the default font to use for new Faxes and Cover Sheets", box);
  FindModemButton = addButton(row, "Find Modem", "FindModemButton",
                              "Click here to have the program attempt to find which port your "
                              "faxmodem is on",
                              box);
  CheckFaxClassButton = addButton(row, "Check Fax Class", "CheckFaxClassButton",
                                  "Click here to have the program test the modem to see which "
                                  "fax classes it supports",
                                  box);
  ModemResetButton = addButton(row, "Modem Reset", "ModemResetButton",
                               "Click here to use the Modem Reset dialog", box);
  row->addStretch(1);
  AcceptButton = addButton(row, "&Accept", "AcceptButton", "Save changes to preferences", box);
  AcceptButton->setDefault(true);
  CancelButton = addButton(row, "Cance&l", "CancelButton", "Cancel changes to preferences", box);
  return box;
}

QWidget* TPreferences::BuildUserPage() {
  auto* page = new QWidget(this);
  auto* columns = new QHBoxLayout(page);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  Name = addEdit(left, "Your &name", "Name", "Enter your name here", page);
  Name->setMaxLength(35);
  FaxNumber = addEdit(left, "Your &fax number (Station ID#)", "FaxNumber",
                      "Enter your own fax number here", page);
  FaxNumber->setMaxLength(20);
  DialPrefix = addEdit(left, "&Dial prefix:", "DialPrefix",
                       "Enter the dial prefix here. If your telephone system requires special "
                       "numbers or codes when dialing out, you can specify them once here rather "
                       "than in every fax number. Do not include 'ATD' or a 'T' or 'P' "
                       "tone/pulse modifier in the dial prefix",
                       page);
  left->addStretch(1);
  DialAttempts =
      addEdit(right, "Number of dial attempts", "DialAttempts",
              "Enter the number of dial attempts that should be made for each fax", page);
  RetryWait = addEdit(right, "Seconds to wait before retry", "RetryWait",
                      "Enter the number of seconds between dial attempts here", page);
  TimeOut = addEdit(right, "Seconds to wait before timeout", "TimeOut",
                    "Enter the number of seconds that Tolvane should wait after dialing before "
                    "it aborts the call with a timeout",
                    page);
  for (QLineEdit* number : {DialAttempts, RetryWait, TimeOut})
    number->setMaximumWidth(100);
  ToneOrPulse = new TRadioGroup("Tone or Pulse", {"Tone", "Pulse"}, 2, page);
  ToneOrPulse->setObjectName("ToneOrPulse");
  SetHint(ToneOrPulse, "Select tone or pulse, depending on your phone system (normally tone)");
  right->addWidget(ToneOrPulse);
  CheckBlindDial = new QCheckBox("Blind Dial", page);
  CheckBlindDial->setObjectName("CheckBlindDial");
  SetHint(CheckBlindDial, "If the modem is not connected to a phone line which supplies a dial "
                          "tone, check  Blind Dial.\rThis is the same as sending the ATX3 modem "
                          "command");
  CheckIgnoreBusy = new QCheckBox("Ignore Busy Signal", page);
  CheckIgnoreBusy->setObjectName("CheckIgnoreBusy");
  SetHint(CheckIgnoreBusy,
          "Check this box to ignore busy signals. In certain countries, some modems falsely "
          "interpret the phone ringing as a busy  signal. ONLY CHECK THIS BOX IF THIS SITUATION "
          "APPLIES TO YOU! This is the same as sending the ATX2 modem command");
  right->addWidget(CheckBlindDial);
  right->addWidget(CheckIgnoreBusy);
  right->addStretch(1);
  return page;
}

QWidget* TPreferences::BuildModemPage() {
  auto* page = new QWidget(this);
  auto* grid = new QGridLayout(page);
  ComPort = new TRadioGroup("Port", faxsend::ComItems(), 2, page);
  ComPort->setObjectName("ComPort");
  SetHint(ComPort, "Select the communications port for your faxmodem here");
  grid->addWidget(ComPort, 0, 0);
  FaxClass =
      new TRadioGroup("Fax &class", {"auto detect", "class 1", "class 2", "class 2.0"}, 1, page);
  FaxClass->setObjectName("FaxClass");
  SetHint(FaxClass, "You should usually set this at the highest class supported by your modem, "
                    "however if you experience problems set it to auto detect (the default)");
  grid->addWidget(FaxClass, 0, 1);
  auto* devices = new QGroupBox("Devices of the Com ports", page);
  auto* form = new QFormLayout(devices);
  const std::vector<std::string> present = faxsend::PresentSerialDevices();
  for (int i = 0; i < 6; ++i) {
    m_devices[i] = new QComboBox(devices);
    m_devices[i]->setObjectName(QString("PortDevice%1").arg(i + 1));
    m_devices[i]->setEditable(true);
    for (const auto& device : present)
      m_devices[i]->addItem(FromAnsi(device));
    SetHint(m_devices[i],
            "Pick the serial device of this Com port, or type its path (used from Accept on)");
    form->addRow(QString("Com%1").arg(i + 1), m_devices[i]);
  }
  grid->addWidget(devices, 1, 0, 1, 2);
  m_comDevice = new QLabel(page);
  m_comDevice->setObjectName("ComDevice");
  grid->addWidget(m_comDevice, 2, 0, 1, 2);
  auto* rate = new QHBoxLayout;
  rate->addWidget(new QLabel("Transfer Rate (BPS)", page));
  TransferRate = new QComboBox(page);
  TransferRate->setObjectName("TransferRate");
  TransferRate->addItems({"2400", "4800", "7200", "9600", "12000", "14400"});
  SetHint(TransferRate,
          "This is the maximum transfer rate or BPS of the fax session. We recommend leaving it "
          "at 9600.\rSetting it at a lower rate (7200,4800 or 2400) can increase reliability in "
          "some cases, but \rwill also mean a longer time to send the fax.");
  rate->addWidget(TransferRate);
  rate->addStretch(1);
  grid->addLayout(rate, 3, 0, 1, 2);
  auto* init = new QVBoxLayout;
  ModemInit = addEdit(init, "&Modem initialization string:", "ModemInit",
                      "(You should not need to do this). Enter extra modem init string here. If "
                      "you use an init string here, it will be sent just before the default "
                      "init: ('ATE0Q0V1X4S0=0'). The init string should not contain an 'AT' "
                      "prefix.",
                      page);
  grid->addLayout(init, 4, 0, 1, 2);
  return page;
}

QWidget* TPreferences::BuildReceivePage() {
  auto* page = new QWidget(this);
  auto* column = new QVBoxLayout(page);
  AnswerOnRing = new TRadioGroup("Answer on ring", {"1", "2", "3"}, 3, page);
  AnswerOnRing->setObjectName("AnswerOnRing");
  SetHint(AnswerOnRing, "Select which ring Tolvane should answer on, when in receive mode");
  column->addWidget(AnswerOnRing);
  ReceiveAtStartup = new QCheckBox("Start Receiving at program startup", page);
  ReceiveAtStartup->setObjectName("ReceiveAtStartup");
  SetHint(ReceiveAtStartup, "Check this box to have Tolvane start receiving faxes \ras soon as "
                            "it starts up");
  column->addWidget(ReceiveAtStartup);
  WaveFileEdit = addEdit(column, "Select &WAV File to play when receiving a fax:", "WaveFileEdit",
                         "Type in the path and name of the .WAV file", page);
  auto* row = new QHBoxLayout;
  SelectWavButton = addButton(row, "&Choose", "SelectWavButton",
                              "Select the .WAV file from a Windows\rFile Open dialog", page);
  PlayNowButton =
      addButton(row, "Play &Now", "PlayNowButton", "Play the .WAV file you have selected", page);
  NoneButton = addButton(row, "None", "NoneButton", QString(), page);
  row->addStretch(1);
  column->addLayout(row);
  column->addStretch(1);
  return page;
}

void TPreferences::ConnectButtons() {
  const std::pair<QPushButton*, void (TPreferences::*)()> handlers[] = {
      {HelpButton, &TPreferences::HelpButtonClick},
      {DefaultFontButton, &TPreferences::ExplorerButton1Click},
      {FindModemButton, &TPreferences::FindModemButtonClick},
      {CheckFaxClassButton, &TPreferences::CheckFaxClassButtonClick},
      {ModemResetButton, &TPreferences::ExplorerButton2Click},
      {AcceptButton, &TPreferences::AcceptbuttonClick},
      {CancelButton, &TPreferences::CancelbuttonClick},
      {SelectWavButton, &TPreferences::SelectWavButtonClick},
      {PlayNowButton, &TPreferences::BitBtn2Click},
      {NoneButton, &TPreferences::BitBtn1Click},
  };
  for (const auto& [button, handler] : handlers)
    connect(button, &QPushButton::clicked, this, [this, handler = handler] { (this->*handler)(); });
  connect(ComPort, &TRadioGroup::ItemIndexChanged, this, [this] { RefreshComDevice(); });
  for (QComboBox* device : m_devices)
    connect(device, &QComboBox::currentTextChanged, this, [this] { RefreshComDevice(); });
  connect(m_sipPage, &SipLinePage::DeviceChosen, this,
          [this](int com, const QString& device) { m_devices[com - 1]->setCurrentText(device); });
}

// ------------------------------------------------------------ values

void TPreferences::LoadControls() {
  const app::TSettings& s = app::Settings;
  ComPort->SetItemIndex(std::max(0, s.ComPort));
  FaxClass->SetItemIndex(s.FaxClass);
  ToneOrPulse->SetItemIndex(s.ToneOrPulse);
  AnswerOnRing->SetItemIndex(s.AnswerOnRing - 1);
  CheckBlindDial->setChecked(s.BlindDial);
  CheckIgnoreBusy->setChecked(s.IgnoreBusy);
  Name->setText(FromAnsi(s.UserName));
  FaxNumber->setText(FromAnsi(s.UserFax));
  DialPrefix->setText(FromAnsi(s.DialPrefix));
  ModemInit->setText(FromAnsi(s.InitString));
  TransferRate->setCurrentIndex(app::IndexFromBps(s.MaximumBPS));
  DialAttempts->setText(QString::number(s.DialAttempts));
  RetryWait->setText(QString::number(s.RetryWait));
  TimeOut->setText(QString::number(s.Timeout));
  WaveFileEdit->setText(FromAnsi(s.WavFile));
  ReceiveAtStartup->setChecked(s.ReceiveAtStartup);
  for (int i = 0; i < 6; ++i)
    m_devices[i]->setCurrentText(FromAnsi(platform::PortDevicePath(i + 1)));
  RefreshComDevice();
}

void TPreferences::RefreshComDevice() {
  const int index = ComPort->ItemIndex();
  for (int i = 0; i < 6; ++i)
    ComPort->Button(i)->setToolTip(
        QString("Com%1 is %2").arg(i + 1).arg(m_devices[i]->currentText()));
  m_comDevice->setText(
      index < 0 ? QString("No port selected")
                : QString("Com%1 is %2").arg(index + 1).arg(m_devices[index]->currentText()));
}

bool TPreferences::TakeBackSettings() {
  app::TSettings& s = app::Settings;
  s.WavFile = ToAnsi(WaveFileEdit->text());
  s.UserFax = ToAnsi(FaxNumber->text());
  s.UserName = ToAnsi(Name->text());
  s.DialPrefix = ToAnsi(DialPrefix->text());
  s.InitString = ToAnsi(ModemInit->text());
  for (QLineEdit* field : {DialAttempts, RetryWait}) {
    const auto value = integerIn(field->text());
    if (!value) {
      appwidgets::ShowError(QString("'%1' is not a valid integer value").arg(field->text()), this);
      return false;
    }
    (field == DialAttempts ? s.DialAttempts : s.RetryWait) = *value;
  }
  s.ComPort = ComPort->ItemIndex();
  s.FaxClass = FaxClass->ItemIndex();
  s.ReceiveAtStartup = ReceiveAtStartup->isChecked();
  s.AnswerOnRing = AnswerOnRing->ItemIndex() + 1;
  s.BlindDial = CheckBlindDial->isChecked();
  s.IgnoreBusy = CheckIgnoreBusy->isChecked();
  s.ToneOrPulse = ToneOrPulse->ItemIndex();
  s.MaximumBPS = app::BpsFromIndex(TransferRate->currentIndex());
  s.Timeout = integerIn(TimeOut->text()).value_or(s.Timeout);
  m_printingPage->TakeBack(s);
  return true;
}

bool TPreferences::SavePortDevices() {
  const std::string ini = platform::IniFileName();
  bool ok = true;
  for (int i = 0; i < 6; ++i) {
    const std::string device = ToAnsi(m_devices[i]->currentText().trimmed());
    // Only a changed entry is written, so an untouched file stays as it was.
    if (device != platform::PortDevicePath(i + 1, ini))
      ok = platform::SetPortDevicePath(i + 1, device, ini) && ok;
  }
  return ok;
}

void TPreferences::AcceptbuttonClick() {
  auto* forwarding = findChild<app::ForwardingPage*>();
  if (!TakeBackSettings() || !m_sipPage->Check() || !forwarding->Check())
    return;
  // A failed write keeps the window open with the user's choices.
  const bool stored = appwidgets::StoreOrExplain(
      [this, forwarding] {
        app::SaveSettings();
        m_sipPage->SaveLines(platform::IniFileName());
        forwarding->Store();
        errno = 0;
        if (!SavePortDevices() || !m_portFeatures->Save())
          throw app::EIniWriteError(platform::IniFileName(), errno);
      },
      QStringLiteral("preferences"), QStringLiteral("Accept"), this);
  if (stored) {
    m_sipPage->SavePasswords();
    done(1);
  }
}

void TPreferences::CancelbuttonClick() {
  done(2);
}

// ------------------------------------------------------------ life

void TPreferences::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_activated) {
    m_activated = true;
    QTimer::singleShot(0, this, [this] { FormActivate(); });
  }
}

void TPreferences::FormActivate() {
  if (m_firstRunGreeting) {
    m_firstRunGreeting = false;
    appwidgets::ShowInfo(kGreeting, this);
    // The greeting stresses the port and fax class: show the page they are on.
    m_pages->setCurrentIndex(1);
  }
  appwidgets::SetHintTarget(status);
}

// ------------------------------------------------------------ buttons

void TPreferences::HelpButtonClick() {
  THelpWindow::ShowTopic(1022, this);
}

void TPreferences::SelectWavButtonClick() {
  QString start = QString::fromStdString(platform::ProgramDir());
  if (QFileInfo(WaveFileEdit->text()).isFile())
    start = WaveFileEdit->text();
  const QString chosen =
      appwidgets::GetOpenFileName(this, "Select WAV File", start, "WAVE files (*.wav)");
  if (!chosen.isEmpty() && chosen.toUpper().contains(".WAV"))
    WaveFileEdit->setText(QFileInfo(chosen).absoluteFilePath());
}

void TPreferences::BitBtn2Click() {
  if (!QFileInfo(WaveFileEdit->text()).isFile())
    return;
  // The sound module is loaded on first use (see app/ReceiveNotices.h).
  app::PlayFaxSound(QFileInfo(WaveFileEdit->text()).absoluteFilePath(), this);
}

void TPreferences::BitBtn1Click() {
  WaveFileEdit->clear();
}

void TPreferences::ExplorerButton1Click() {
  appwidgets::ChooseDefaultFont(this);
}

void TPreferences::FindModemButtonClick() {
  faxsend::FindModemFor(this, *m_comPort, *ComPort);
}

void TPreferences::CheckFaxClassButtonClick() {
  faxsend::CheckFaxClassFor(this, *m_comPort, *m_sendFax, *ComPort, *FaxClass);
}

void TPreferences::ExplorerButton2Click() {
  faxsend::ShowModemReset(this);
}

#include "send/TResetModemForm.h"

#include "core/ModemCommands.h"
#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"
#include "send/SerialDevices.h"
#include "send/PortParts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using appwidgets::SetHint;

TResetModemForm::TResetModemForm(QWidget* parent) : QDialog(parent) {
  setObjectName("TResetModemForm");
  setWindowTitle("Modem Reset");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel("Reset the modem on communications port:", this));
  ComPort = new appwidgets::TRadioGroup(QString(), faxsend::ComItems(), 6, this);
  ComPort->setObjectName("ComPort");
  outer->addWidget(ComPort);
  auto* device = new QLabel(this);
  device->setObjectName("ComDevice");
  outer->addWidget(device);
  faxsend::ShowComDevices(ComPort, device);
  outer->addWidget(BuildStringRow(
      "Use the following reset string BEFORE each fax session (send or receive):", ResetString,
      Button1, Button3, 0));
  appwidgets::SetHint(ResetString, "Enter the modem reset string here. Usually this \ris AT&F or AT&F1.");
  outer->addWidget(BuildStringRow(
      "Use the following reset string AFTER each fax session (send or receive):", ResetAfterString,
      Button2, Button4, 1));
  appwidgets::SetHint(ResetAfterString,
          "Enter the modem reset AFTER string here. Usually this \ris ATZ or AT&F..");
  auto* buttons = new QHBoxLayout;
  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  appwidgets::SetHint(OkButton, "Exit");
  Helpbutton = new QPushButton("&Help", this);
  Helpbutton->setObjectName("Helpbutton");
  Helpbutton->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(OkButton);
  buttons->addWidget(Helpbutton);
  outer->addLayout(buttons);
  status = appwidgets::AddStatusLine(this, outer);
  faxsend::SetUpModemPort(m_comPort);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(Helpbutton, &QPushButton::clicked, this, [this] { HelpbuttonClick(); });
  m_hints = std::make_unique<appwidgets::HintRedirect>(this, status);
}

TResetModemForm::~TResetModemForm() = default;

QWidget* TResetModemForm::BuildStringRow(const QString& caption, QLineEdit*& edit,
                                         QPushButton*& recommended, QPushButton*& sendNow,
                                         int row) {
  auto* box = new QWidget(this);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 6, 0, 0);
  grid->addWidget(new QLabel(caption, box), 0, 0, 1, 3);
  edit = new QLineEdit("AT&F", box);
  edit->setObjectName(row == 0 ? "ResetString" : "ResetAfterString");
  recommended = new QPushButton("Recommended", box);
  recommended->setObjectName(row == 0 ? "Button1" : "Button2");
  recommended->setAutoDefault(false);
  sendNow = new QPushButton("Send Now", box);
  sendNow->setObjectName(row == 0 ? "Button3" : "Button4");
  sendNow->setAutoDefault(false);
  grid->addWidget(edit, 1, 0);
  grid->addWidget(recommended, 1, 1);
  grid->addWidget(sendNow, 1, 2);
  return box;
}

void TResetModemForm::Button1Click() {
  ResetString->setText("AT&F");
}

void TResetModemForm::Button2Click() {
  ResetAfterString->setText("ATZ");
}

void TResetModemForm::Button3Click() {
  SendNow(ResetString->text());
}

void TResetModemForm::Button4Click() {
  SendNow(ResetAfterString->text());
}

void TResetModemForm::SendNow(const QString& command) {
  if (command.isEmpty()) {
    appwidgets::MessageBeep();
    return;
  }
  OkButton->setEnabled(false);
  status->setText("Opening Com Port...please wait");
  appwidgets::ProcessPendingEvents();
  const int comNumber = ComPort->ItemIndex() + 1;
  m_comPort.SetComNumber(static_cast<uint16_t>(comNumber));
  std::string error;
  if (!OpenModemPort(m_comPort, error)) {
    const std::string trouble = faxsend::DeviceTroubleText(faxsend::ComDevice(comNumber));
    status->setText(faxsend::ModemText(error) +
                    (trouble.empty() ? "" : " " + appwidgets::FromAnsi(trouble)));
  } else {
    std::string copy = appwidgets::ToAnsi(command); // the edit keeps its text
    status->setText(SendModemCommand(m_comPort, copy) ? "Modem reset" : "Unable to reset modem");
  }
  appwidgets::MessageBeep();
  try {
    m_comPort.SetOpen(false);
  } catch (const std::exception&) {
  }
  appwidgets::ProcessPendingEvents();
  OkButton->setEnabled(true);
}

void TResetModemForm::OkButtonClick() {
  done(1);
}

void TResetModemForm::HelpbuttonClick() {
  appwidgets::ShowHelpContext(1027);
}

namespace faxsend {

int ShowModemReset(QWidget* parent) {
  app::LoadSettings();
  TResetModemForm dialog(parent);
  dialog.ComPortGroup()->SetItemIndex(app::Settings.ComPort);
  dialog.ResetStringEdit()->setText(appwidgets::FromAnsi(app::Settings.ResetString));
  dialog.ResetAfterStringEdit()->setText(appwidgets::FromAnsi(app::Settings.AfterResetString));
  appwidgets::CenterForm(&dialog);
  const int result = dialog.exec();
  app::Settings.ResetString = appwidgets::ToAnsi(dialog.ResetStringEdit()->text());
  app::Settings.AfterResetString = appwidgets::ToAnsi(dialog.ResetAfterStringEdit()->text());
  try {
    app::SaveSettings();
  } catch (const std::exception& e) {
    appwidgets::ShowInfo(QString::fromLocal8Bit(e.what()), parent);
  }
  return result;
}

} // namespace faxsend

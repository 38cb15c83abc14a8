#include "compose/TResetModemForm.h"

#include "core/ModemCommands.h"
#include "core/Settings.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "compose/FormParts.h"
#include "compose/SendServices.h"
#include "compose/SerialDevices.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using compose::SetHint;

TResetModemForm::TResetModemForm(QWidget* parent) : QDialog(parent) {
  setObjectName("TResetModemForm");
  setWindowTitle("Modem Reset");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel("Reset the modem on communications port:", this));
  ComPort = new compose::TRadioGroup(QString(), compose::ComItems(), 6, this);
  ComPort->setObjectName("ComPort");
  outer->addWidget(ComPort);
  auto* device = new QLabel(this);
  device->setObjectName("ComDevice");
  outer->addWidget(device);
  compose::ShowComDevices(ComPort, device);
  outer->addWidget(BuildStringRow(
      "Use the following reset string BEFORE each fax session (send or receive):", ResetString,
      Button1, Button3, 0));
  SetHint(ResetString, "Enter the modem reset string here. Usually this \ris AT&F or AT&F1.");
  outer->addWidget(BuildStringRow(
      "Use the following reset string AFTER each fax session (send or receive):", ResetAfterString,
      Button2, Button4, 1));
  SetHint(ResetAfterString,
          "Enter the modem reset AFTER string here. Usually this \ris ATZ or AT&F..");
  auto* buttons = new QHBoxLayout;
  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  SetHint(OkButton, "Exit");
  Helpbutton = new QPushButton("&Help", this);
  Helpbutton->setObjectName("Helpbutton");
  Helpbutton->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(OkButton);
  buttons->addWidget(Helpbutton);
  outer->addLayout(buttons);
  status = compose::AddStatusLine(this, outer);
  compose::SetUpModemPort(m_comPort);
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
    compose::MessageBeep();
    return;
  }
  OkButton->setEnabled(false);
  status->setText("Opening Com Port...please wait");
  appwidgets::ProcessPendingEvents();
  const int comNumber = ComPort->ItemIndex() + 1;
  m_comPort.SetComNumber(static_cast<uint16_t>(comNumber));
  std::string error;
  if (!OpenModemPort(m_comPort, error)) {
    const std::string trouble = compose::DeviceTroubleText(compose::ComDevice(comNumber));
    status->setText(compose::ModemText(error) +
                    (trouble.empty() ? "" : " " + compose::Ansi(trouble)));
  } else {
    std::string copy = compose::ToAnsiText(command); // the edit keeps its text
    status->setText(SendModemCommand(m_comPort, copy) ? "Modem reset" : "Unable to reset modem");
  }
  compose::MessageBeep();
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
  compose::ShowHelpContext(1027);
}

namespace compose {

int ShowModemReset(QWidget* parent) {
  app::LoadSettings();
  TResetModemForm dialog(parent);
  dialog.ComPortGroup()->SetItemIndex(app::Settings.ComPort);
  dialog.ResetStringEdit()->setText(Ansi(app::Settings.ResetString));
  dialog.ResetAfterStringEdit()->setText(Ansi(app::Settings.AfterResetString));
  appwidgets::CenterForm(&dialog);
  const int result = dialog.exec();
  app::Settings.ResetString = ToAnsiText(dialog.ResetStringEdit()->text());
  app::Settings.AfterResetString = ToAnsiText(dialog.ResetAfterStringEdit()->text());
  try {
    app::SaveSettings();
  } catch (const std::exception& e) {
    appwidgets::ShowInfo(QString::fromLocal8Bit(e.what()), parent);
  }
  return result;
}

} // namespace compose

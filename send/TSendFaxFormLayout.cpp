// The send dialog's controls, their captions, limits and hints.

#include "widgets/FormParts.h"
#include "send/TSendFaxForm.h"
#include "send/PortParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using appwidgets::SetHint;
using appwidgets::TRadioGroup;

namespace {

QLineEdit* addEdit(QGridLayout* grid, int row, const QString& caption, const char* name,
                   QWidget* parent, int columnSpan = 1) {
  auto* label = new QLabel(caption, parent);
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  label->setBuddy(edit);
  grid->addWidget(label, row * 2, 0, 1, columnSpan);
  grid->addWidget(edit, row * 2 + 1, 0, 1, columnSpan);
  return edit;
}

QLineEdit* addNumber(QGridLayout* grid, int row, const QString& caption, const char* name,
                     const QString& value, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  auto* edit = new QLineEdit(value, parent);
  edit->setObjectName(name);
  edit->setMaximumWidth(60);
  label->setBuddy(edit);
  grid->addWidget(label, row, 0);
  grid->addWidget(edit, row, 1);
  return edit;
}

QPushButton* addButton(QBoxLayout* row, const QString& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  row->addWidget(button);
  return button;
}

} // namespace

void TSendFaxForm::BuildForm() {
  setObjectName("TSendFaxForm");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* outer = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  columns->addWidget(BuildFieldColumn(), 3);
  columns->addWidget(BuildChoiceColumn(), 2);
  outer->addLayout(columns);
  outer->addWidget(BuildButtonRow());
  status = appwidgets::AddStatusLine(this, outer);
  resize(615, 403);
  ConnectButtons();
}

QWidget* TSendFaxForm::BuildFieldColumn() {
  auto* box = new QWidget(this);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(2);
  sfPhoneNumber = addEdit(grid, 0, "&Phone #:", "sfPhoneNumber", box);
  appwidgets::SetHint(sfPhoneNumber, "Enter the recipient phone # here");
  sfDialPrefix = addEdit(grid, 1, "&Dial prefix:", "sfDialPrefix", box);
  appwidgets::SetHint(sfDialPrefix,
          "Enter the dial prefix here. If your telephone system requires special numbers or "
          "codes when dialing out, you can specify them once here rather than in every fax "
          "number. Do not include 'ATD' or a 'T' or 'P' tone/pulse modifier in the dial prefix");
  sfStationID = addEdit(grid, 2, "Your fax number or Station ID# (required)", "sfStationID", box);
  sfStationID->setMaxLength(20);
  appwidgets::SetHint(sfStationID,
          "Enter your own fax number here\r(this is required for identification purposes)");
  sfusername = addEdit(grid, 3, "Your Name (optional)", "sfusername", box);
  sfusername->setMaxLength(20);
  appwidgets::SetHint(sfusername, "Enter your name here\r(this will be printed on the fax header)");
  sfModemInit =
      addEdit(grid, 4, "&Modem initialization string (rarely needed):", "sfModemInit", box);
  appwidgets::SetHint(sfModemInit,
          "(You should not need to do this). Enter extra modem init string here. If you use an "
          "init string here, it will be sent just before the default init: ('ATE0Q0V1X4S0=0'). "
          "The init string should not contain an 'AT' prefix.");
  auto* numbers = new QGridLayout;
  sfDialAttempts = addNumber(numbers, 0, "Number of dial attempts", "sfDialAttempts", "3", box);
  appwidgets::SetHint(sfDialAttempts, "Enter the number of dial attempts that should be made for each fax");
  sfRetryWait = addNumber(numbers, 1, "Seconds to wait before retry", "sfRetryWait", "60", box);
  appwidgets::SetHint(sfRetryWait, "Enter the number of seconds between dial attempts here");
  sfTimeOut = addNumber(numbers, 2, "Seconds to wait before timeout", "sfTimeOut", "60", box);
  appwidgets::SetHint(sfTimeOut, "Enter the number of seconds that Tolvane should wait after dialing before "
                     "it aborts the call with a timeout");
  grid->addLayout(numbers, 10, 0);
  grid->setRowStretch(11, 1);
  return box;
}

QWidget* TSendFaxForm::BuildChoiceColumn() {
  auto* box = new QWidget(this);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  sfFaxClass =
      new appwidgets::TRadioGroup("Fax &class", {"auto detect", "class 1", "class 2", "class 2.0"}, 2, box);
  sfFaxClass->setObjectName("sfFaxClass");
  column->addWidget(sfFaxClass);
  ComPort = new appwidgets::TRadioGroup("Port", faxsend::ComItems(), 2, box);
  ComPort->setObjectName("ComPort");
  column->addWidget(ComPort);
  m_comDevice = new QLabel(box);
  m_comDevice->setObjectName("ComDevice");
  // Names under /dev/serial/by-id are long: they must not widen the dialog.
  m_comDevice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  column->addWidget(m_comDevice);
  faxsend::ShowComDevices(ComPort, m_comDevice);
  sfToneOrPulse = new appwidgets::TRadioGroup("Tone or Pulse", {"Tone", "Pulse"}, 2, box);
  sfToneOrPulse->setObjectName("sfToneOrPulse");
  column->addWidget(sfToneOrPulse);
  CheckBlindDial = new QCheckBox("Blind Dial", box);
  CheckBlindDial->setObjectName("CheckBlindDial");
  appwidgets::SetHint(CheckBlindDial, "If the modem is not connected to a phone line which supplies a dial "
                          "tone, check Blind Dial.\rThis is the same as sending the ATX3 modem "
                          "command");
  CheckIgnoreBusy = new QCheckBox("Ignore Busy Signal", box);
  CheckIgnoreBusy->setObjectName("CheckIgnoreBusy");
  appwidgets::SetHint(CheckIgnoreBusy, "Check this box to ignore busy signals. This is the same as sending "
                           "the ATX2 modem command");
  column->addWidget(CheckBlindDial);
  column->addWidget(CheckIgnoreBusy);
  auto* rateRow = new QHBoxLayout;
  rateRow->addWidget(new QLabel("Transfer Rate (BPS)", box));
  TransferRate = new QComboBox(box);
  TransferRate->setObjectName("TransferRate");
  TransferRate->addItems({"2400", "4800", "7200", "9600", "12000", "14400"});
  appwidgets::SetHint(TransferRate, "This is the maximum transfer rate or BPS of the fax session. We "
                        "recommend leaving it at 9600.");
  rateRow->addWidget(TransferRate);
  column->addLayout(rateRow);
  column->addStretch(1);
  return box;
}

QWidget* TSendFaxForm::BuildButtonRow() {
  auto* box = new QWidget(this);
  auto* rows = new QVBoxLayout(box);
  rows->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout;
  auto* bottom = new QHBoxLayout;
  rows->addLayout(top);
  rows->addLayout(bottom);
  SendFaxButton = addButton(top, "&Send Fax", "SendFaxButton", box);
  SendFaxButton->setDefault(true);
  appwidgets::SetHint(SendFaxButton, "Attempt to send the fax");
  CloseButton = addButton(top, "C&lose", "CloseButton", box);
  appwidgets::SetHint(CloseButton, "Close the Send Fax dialog");
  Helpbutton = addButton(top, "&Help", "Helpbutton", box);
  CheckFaxClassButton = addButton(bottom, "Check Fax Class", "CheckFaxClassButton", box);
  FindModemButton = addButton(bottom, "Find Modem", "FindModemButton", box);
  ExplorerButton1 = addButton(bottom, "Problems??", "ExplorerButton1", box);
  appwidgets::SetHint(ExplorerButton1, "Click here for Troubleshooting tips!");
  ExplorerButton2 = addButton(bottom, "Modem Reset", "ExplorerButton2", box);
  appwidgets::SetHint(ExplorerButton2, "Click here to use the Modem Reset dialog");
  return box;
}

void TSendFaxForm::ConnectButtons() {
  connect(SendFaxButton, &QPushButton::clicked, this, [this] { SendFaxButtonClick(); });
  connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
  connect(Helpbutton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
  connect(CheckFaxClassButton, &QPushButton::clicked, this, [this] { CheckFaxClassButtonClick(); });
  connect(FindModemButton, &QPushButton::clicked, this, [this] { FindModemButtonClick(); });
  connect(ExplorerButton1, &QPushButton::clicked, this, [this] { ExplorerButton1Click(); });
  connect(ExplorerButton2, &QPushButton::clicked, this, [this] { ExplorerButton2Click(); });
}

#include "send/TFindModemForm.h"

#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "widgets/FormParts.h"
#include "widgets/HelpAndBeep.h"
#include "send/SerialDevices.h"
#include "platform/FxErrors.h"
#include "platform/ProgramDir.h"
#include "serial/TFxCustomComPort.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>


TFindModemForm::TFindModemForm(QWidget* parent) : QDialog(parent) {
  setObjectName("TFindModemForm");
  setWindowTitle("Finding Modem...Please wait");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel("Communications Ports:", this));
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(16);
  auto* deviceHeading = new QLabel("Device", this);
  deviceHeading->setStyleSheet("color: palette(mid)");
  grid->addWidget(deviceHeading, 0, 1);
  for (int i = 0; i < 6; ++i) {
    m_labels[i] = new QLabel(QString("Com %1:").arg(i + 1), this);
    m_labels[i]->setObjectName(QString("Label%1").arg(i + 1));
    m_labels[i]->setMinimumWidth(280);
    m_devices[i] = new QLabel(appwidgets::FromAnsi(faxsend::ComDevice(i + 1)), this);
    m_devices[i]->setObjectName(QString("Device%1").arg(i + 1));
    grid->addWidget(m_labels[i], i + 1, 0);
    grid->addWidget(m_devices[i], i + 1, 1);
  }
  outer->addLayout(grid);
  Label7 = new QLabel("Testing Communications ports...please wait.", this);
  Label7->setObjectName("Label7");
  Label7->setWordWrap(true);
  Label7->setMinimumWidth(460);
  Label7->setMinimumHeight(60);
  outer->addWidget(Label7);
  OkButton = new QPushButton("Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->hide();
  outer->addWidget(OkButton, 0, Qt::AlignHCenter);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
}

void TFindModemForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_searched) {
    m_searched = true;
    // Searching after the window has appeared, so the user sees it.
    QTimer::singleShot(0, this, [this] { FormActivate(); });
  }
}

std::string TFindModemForm::TalkToModem(int n) {
  try {
    m_port->SendText("AT\r");
    if (m_port->WaitForText("OK", 18, false, true)) {
      if (m_found == -1)
        m_found = n;
      return "MODEM";
    }
  } catch (const std::exception&) {
    // An error while talking reads as no answer.
  }
  return "Unknown";
}

std::string TFindModemForm::TestPort(int n) {
  m_port->SetComNumber(static_cast<uint16_t>(n));
  std::string result;
  try {
    m_port->SetOpen(true);
    result = m_port->Open() ? TalkToModem(n) : "Unknown";
  } catch (const EFxException& e) {
    const int code = e.ErrorCode();
    if (code == ecAlreadyOpen || code == ecHardware) {
      result = "Port is already open (could be modem)";
      m_portInUse = true;
    } else if (code == ecBadId) {
      result = "Port does not exist";
    } else {
      result = ErrorText(code);
      if (result.empty())
        result = "Unknown Error";
    }
    const std::string trouble = faxsend::DeviceTroubleText(faxsend::ComDevice(n));
    if (!trouble.empty())
      m_troubles += "\n\nCom " + std::to_string(n) + ": " + trouble;
  } catch (const std::exception& e) {
    result = std::string("ERROR: ") + e.what();
  }
  try {
    m_port->SetOpen(false);
  } catch (const std::exception&) {
  }
  return result;
}

QString TFindModemForm::ResultMessage() const {
  if (m_found >= 1)
    return QString("A modem was found on Com Port %1. We suggest setting the Port as Com %1.")
        .arg(m_found);
  if (m_portInUse)
    return "No modem found. Please make sure that all communication programs (internet, AOL, "
           "etc) are closed, and then try again. If you know which Com port your modem uses, you "
           "can also just set the Port to that setting";
  return "No modem found. If you know which Com port your modem uses, you can also just set the "
         "Port to that setting";
}

void TFindModemForm::FormActivate() {
  const std::string dir = platform::ProgramDir();
  m_port->SetTraceName((dir + "TOVTEST.TRC").substr(0, 255));
  m_port->SetLogName((dir + "TOVTEST.LOG").substr(0, 255));
  m_found = -1;
  m_portInUse = false;
  m_troubles.clear();
  OkButton->hide();
  {
    appwidgets::BusyCursor hourglass;
    for (int n = 1; n <= 6; ++n) {
      m_labels[n - 1]->setText(QString("Com %1: TESTING").arg(n));
      appwidgets::ProcessPendingEvents();
      const std::string result = TestPort(n);
      m_labels[n - 1]->setText(QString("Com %1: ").arg(n) + appwidgets::FromAnsi(result));
    }
  }
  Label7->setText(ResultMessage() + appwidgets::FromAnsi(m_troubles));
  OkButton->show();
  OkButton->setDefault(true);
  setWindowTitle("Find Modem");
  appwidgets::MessageBeep();
}

namespace faxsend {

void FindModemFor(QWidget* parent, TFxCustomComPort& port, appwidgets::TRadioGroup& comPort) {
  const int selected = comPort.ItemIndex();
  TFindModemForm dialog(parent);
  appwidgets::CenterForm(&dialog);
  dialog.SetComPort(&port);
  dialog.exec();
  port.SetComNumber(static_cast<uint16_t>(selected + 1));
  const int found = dialog.FoundPort();
  if (found > 0 && found != selected + 1 &&
      appwidgets::AskYesNo("Set Com Port to Com " + QString::number(found), "Com Port", parent))
    comPort.SetItemIndex(found - 1);
}

} // namespace faxsend

void TFindModemForm::OkButtonClick() {
  done(1);
}

#include "send/TCheckFaxClassForm.h"

#include "core/ModemCommands.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "widgets/FormParts.h"
#include "send/ModemQuery.h"
#include "widgets/HelpAndBeep.h"
#include "send/SerialDevices.h"
#include "faxengine/FaxTypes.h"
#include "faxengine/TFxAbstractFax.h"
#include "serial/TFxCustomComPort.h"
#include "send/PortParts.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using appwidgets::ProcessPendingEvents;
using faxsend::QueryModem;

namespace {
QLabel* addLabel(QVBoxLayout* layout, const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  layout->addWidget(label);
  return label;
}
} // namespace

TCheckFaxClassForm::TCheckFaxClassForm(QWidget* parent) : QDialog(parent) {
  setObjectName("TCheckFaxClassForm");
  setWindowTitle("Finding Fax Class...Please wait");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(new QLabel("Fax Classes:", this));
  Label1 = addLabel(outer, "Class 1 :", "Label1", this);
  Label2 = addLabel(outer, "Class 2 :", "Label2", this);
  Label3 = addLabel(outer, "Class 2.0 :", "Label3", this);
  // The blanks in the class texts line the colons up in a fixed-pitch font.
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (QLabel* label : {Label1, Label2, Label3})
    label->setFont(fixed);
  outer->addSpacing(6);
  ModemSays = addLabel(outer, QString(), "ModemSays", this);
  ModemSays->setWordWrap(true);
  Status = addLabel(outer, "Testing Fax Classes...please wait.", "Status", this);
  Status->setWordWrap(true);
  Status->setMinimumSize(440, 80);
  OkButton = new QPushButton("Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->hide();
  outer->addWidget(OkButton, 0, Qt::AlignHCenter);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
}

void TCheckFaxClassForm::SetComponents(TFxCustomComPort* port, TFxCustomAbstractFax* fax,
                                       int portNumber) {
  m_port = port;
  m_fax = fax;
  m_portNumber = portNumber;
}

void TCheckFaxClassForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_checked) {
    m_checked = true;
    QTimer::singleShot(0, this, [this] { FormActivate(); });
  }
}

void TCheckFaxClassForm::FormActivate() {
  CheckTheFaxClasses();
}

void TCheckFaxClassForm::ShowUnknown() {
  Label1->setText("Class 1   : unknown");
  Label2->setText("Class 2   : unknown");
  Label3->setText("Class 2.0 : unknown");
}

void TCheckFaxClassForm::VerifyClaims() {
  // Some modems list classes they cannot run; a class counts only when the
  // modem accepts being switched to it.
  QStringList refused;
  if (m_class20 && !QueryModem(*m_port, "AT+FCLASS=2.0").ok) {
    m_class20 = false;
    refused << "2.0";
  }
  if (m_class2 && !QueryModem(*m_port, "AT+FCLASS=2").ok) {
    m_class2 = false;
    refused << "2";
  }
  QueryModem(*m_port, "AT+FCLASS=0");
  m_refused = refused.join(" and ");
}

QString TCheckFaxClassForm::DetermineFaxClassSupport() {
  m_class1 = m_class2 = m_class20 = false;
  m_claimed.clear();
  m_refused.clear();
  Status->setText("Querying modem Fax Class support...");
  ProcessPendingEvents();
  QString result;
  try {
    const int classes = m_fax->ModemClasses();
    m_class1 = classes & faxengine::kClassBit1;
    m_class2 = classes & faxengine::kClassBit2;
    m_class20 = classes & faxengine::kClassBit2_0;
    m_claimed = QueryModem(*m_port, "AT+FCLASS=?").lines;
    VerifyClaims();
    result = (m_class1 || m_class2 || m_class20)
                 ? QString("OK")
                 : QString("Unable to determine Fax Class support from modem on Com %1")
                       .arg(m_portNumber);
  } catch (const std::exception&) {
    result =
        QString("Unable to determine Fax Class support from modem on Com %1").arg(m_portNumber);
  }
  Status->clear();
  ProcessPendingEvents();
  return result;
}

void TCheckFaxClassForm::ShowSupport() {
  auto said = [](bool on) { return on ? QString("Supported") : QString("Not Supported"); };
  Label3->setText("Class 2.0 : " + said(m_class20));
  Label2->setText("Class 2   : " + said(m_class2));
  Label1->setText("Class 1   : " + said(m_class1));
  if (m_class20) {
    m_index = 2;
    m_name = "Class 2.0";
    QFont bold = Label3->font();
    bold.setBold(true);
    Label3->setFont(bold);
  } else if (m_class2) {
    m_index = 1;
    m_name = "Class 2";
    Label2->setText(Label2->text() + " (recommended)");
  } else {
    m_index = 0;
    m_name = "Class 1";
    Label1->setText(Label1->text() + " (recommended)");
  }
  QString says = "The modem reports: " + appwidgets::FromAnsi(m_claimed.empty() ? "(nothing)" : m_claimed);
  if (!m_refused.isEmpty())
    says +=
        ", but it refuses to switch to Class " + m_refused + ". Tolvane recommends " + m_name + ".";
  else
    says += ". Tolvane recommends " + m_name + ".";
  ModemSays->setText(says);
  ProcessPendingEvents();
  Status->setText("Try using the recommended Fax Class (" + m_name + ") or auto detect. " +
                  "If you experience problems, try Class 1.\n\n(note: US Robotics users should "
                  "read the help section on troubleshooting)");
}

void TCheckFaxClassForm::CheckTheFaxClasses() {
  m_index = -1;
  m_name.clear();
  Status->setText("Opening Com Port...please wait");
  ProcessPendingEvents();
  m_port->SetComNumber(static_cast<uint16_t>(std::max(0, m_portNumber)));
  std::string error;
  if (!OpenModemPort(*m_port, error)) {
    const std::string trouble = faxsend::DeviceTroubleText(faxsend::ComDevice(m_portNumber));
    Status->setText(faxsend::ModemText(error) + "\n" +
                    appwidgets::FromAnsi(faxsend::ComDeviceText(m_portNumber)) +
                    (trouble.empty() ? QString() : ". " + appwidgets::FromAnsi(trouble)));
    ShowUnknown();
  } else {
    ResetModemToFactory(*m_port);
    const QString result = DetermineFaxClassSupport();
    if (result != "OK") {
      Status->setText(result);
      ShowUnknown();
    } else {
      ShowSupport();
    }
  }
  Finish();
}

void TCheckFaxClassForm::Finish() {
  appwidgets::MessageBeep();
  try {
    m_port->SetOpen(false);
  } catch (const std::exception&) {
  }
  ProcessPendingEvents();
  OkButton->show();
  OkButton->setDefault(true);
  setWindowTitle("Check Fax Class");
}

namespace faxsend {

void CheckFaxClassFor(QWidget* parent, TFxCustomComPort& port, TFxCustomAbstractFax& fax,
                      appwidgets::TRadioGroup& comPort, appwidgets::TRadioGroup& faxClass) {
  TCheckFaxClassForm dialog(parent);
  appwidgets::CenterForm(&dialog);
  dialog.SetComponents(&port, &fax, comPort.ItemIndex() + 1);
  dialog.exec();
  const int c = dialog.RecommendedIndex();
  if (c >= 0 && c + 1 != faxClass.ItemIndex() &&
      appwidgets::AskYesNo("Set fax class as " + dialog.RecommendedName() + " ?", "Fax Class",
                           parent))
    faxClass.SetItemIndex(c + 1);
}

} // namespace faxsend

void TCheckFaxClassForm::OkButtonClick() {
  done(1);
}

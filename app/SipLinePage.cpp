#include "app/SipLinePage.h"

#include "app/SecretStore.h"
#include "widgets/FormParts.h"
#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"
#include "widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

using appwidgets::SetHint;

namespace {

QString fromStd(const std::string& s) {
  return QString::fromStdString(s);
}

std::string trimmed(const QLineEdit* edit) {
  return edit->text().trimmed().toStdString();
}

QLineEdit* addField(QFormLayout* form, const QString& caption, const char* name,
                    const QString& hint, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  SetHint(edit, hint);
  form->addRow(caption, edit);
  return edit;
}

} // namespace

SipLinePage::SipLinePage(int comNumber, QWidget* parent) : QWidget(parent) {
  setObjectName("SipLinePage");
  const std::string ini = platform::IniFileName();
  int first = 0;
  for (int com = 1; com <= 6; ++com) {
    m_stored[com - 1] = m_lines[com - 1] = app::LoadSipLine(com, ini);
    if (!first && m_lines[com - 1].Enabled)
      first = com;
  }
  Build();
  ShowLine(first ? first : std::clamp(comNumber, 1, 6));
}

void SipLinePage::Build() {
  auto* column = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  column->addLayout(form);
  m_com = new QComboBox(this);
  m_com->setObjectName("SipComPort");
  for (int com = 1; com <= 6; ++com)
    m_com->addItem(QString("Com%1").arg(com));
  SetHint(m_com, "The Com entry whose line these settings are");
  form->addRow("Port", m_com);
  m_enabled = new QCheckBox("This port is a SIP line (fax over the internet)", this);
  m_enabled->setObjectName("SipEnabled");
  SetHint(m_enabled, "Check this to fax through a SIP account instead of a modem on this port");
  form->addRow(QString(), m_enabled);
  m_user = addField(form, "Account (user name)", "SipUser",
                    "The user name of your SIP account, often its phone number", this);
  m_password = addField(form, "Password", "SipPassword",
                        "The account's password. It is kept in the desktop's password store; "
                        "leave it empty to keep the stored one",
                        this);
  m_password->setEchoMode(QLineEdit::Password);
  m_password->setPlaceholderText("kept in the desktop's password store");
  m_registrar = addField(form, "Registrar", "SipRegistrar",
                         "The provider's SIP server (registrar), e.g. sip.example.net or "
                         "192.168.1.5:5060",
                         this);
  m_domain = addField(form, "Domain (if not the registrar's)", "SipDomain",
                      "The account's SIP domain, when it differs from the registrar's name", this);
  m_direct = new QCheckBox("Direct calls, without a registrar", this);
  m_direct->setObjectName("SipDirect");
  SetHint(m_direct, "Call and take calls directly at a SIP address, e.g. on an office network");
  form->addRow(QString(), m_direct);
  m_peer = addField(form, "Dial numbers at", "SipPeer",
                    "Direct calls: the SIP address (host[:port]) numbers are dialled at", this);
  m_listen = addField(form, "This computer's SIP address", "SipListen",
                      "host:port this line uses for SIP; empty: this computer's address "
                      "towards the registrar, port 5060",
                      this);
  auto* note = new QLabel(
      "The provider must carry fax as T.38 (best) or as G.711 audio (PCMA or PCMU). Receive "
      "mode answers the line's calls as it answers a modem's.",
      this);
  note->setWordWrap(true);
  column->addWidget(note);
  column->addStretch(1);
  connect(m_com, &QComboBox::currentIndexChanged, this, [this](int index) {
    TakeLine();
    ShowLine(index + 1);
  });
  connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) {
    EnableFields();
    emit DeviceChosen(
        m_shown, fromStd(on ? app::SipLineLink(m_shown) : platform::DefaultPortDevice(m_shown)));
  });
  connect(m_direct, &QCheckBox::toggled, this, [this] { EnableFields(); });
}

void SipLinePage::ShowLine(int comNumber) {
  m_shown = comNumber;
  const app::SipLineSettings& line = m_lines[comNumber - 1];
  const QSignalBlocker blockCom(m_com), blockEnabled(m_enabled);
  m_com->setCurrentIndex(comNumber - 1);
  m_enabled->setChecked(line.Enabled);
  m_user->setText(fromStd(line.User));
  m_password->setText(m_passwords[comNumber - 1]);
  m_registrar->setText(fromStd(line.Registrar));
  m_domain->setText(fromStd(line.Domain));
  m_peer->setText(fromStd(line.Peer));
  m_listen->setText(fromStd(line.Listen));
  // A line without registrar that names none of its addresses is new: it
  // starts as a registering line.
  m_direct->setChecked(line.Direct() && !(line.Peer.empty() && line.Listen.empty()));
  EnableFields();
}

void SipLinePage::TakeLine() {
  app::SipLineSettings& line = m_lines[m_shown - 1];
  line.Enabled = m_enabled->isChecked();
  line.User = trimmed(m_user);
  line.Registrar = m_direct->isChecked() ? std::string() : trimmed(m_registrar);
  line.Domain = m_direct->isChecked() ? std::string() : trimmed(m_domain);
  line.Peer = m_direct->isChecked() ? trimmed(m_peer) : std::string();
  line.Listen = trimmed(m_listen);
  m_passwords[m_shown - 1] = m_direct->isChecked() ? QString() : m_password->text();
}

void SipLinePage::EnableFields() {
  const bool on = m_enabled->isChecked();
  const bool direct = m_direct->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(m_user), static_cast<QWidget*>(m_direct),
                     static_cast<QWidget*>(m_listen)})
    w->setEnabled(on);
  for (QWidget* w : {m_password, m_registrar, m_domain})
    w->setEnabled(on && !direct);
  m_peer->setEnabled(on && direct);
}

bool SipLinePage::Check() {
  TakeLine();
  for (int com = 1; com <= 6; ++com) {
    const app::SipLineSettings& line = m_lines[com - 1];
    const std::string problem = line.Enabled ? line.Problem() : std::string();
    if (!problem.empty()) {
      ShowLine(com);
      appwidgets::ShowError(QString("Com%1: %2").arg(com).arg(fromStd(problem)), this);
      return false;
    }
  }
  return true;
}

void SipLinePage::SaveLines(const std::string& iniPath) {
  TakeLine();
  for (int com = 1; com <= 6; ++com)
    if (!(m_lines[com - 1] == m_stored[com - 1])) {
      app::SaveSipLine(com, m_lines[com - 1], iniPath);
      m_stored[com - 1] = m_lines[com - 1];
    }
}

void SipLinePage::SavePasswords() {
  for (int com = 1; com <= 6; ++com) {
    const app::SipLineSettings& line = m_lines[com - 1];
    if (!line.Enabled || line.Direct() || m_passwords[com - 1].isEmpty())
      continue;
    const QString refused = app::WriteSecret(fromStd(line.SecretKey()), m_passwords[com - 1]);
    if (!refused.isEmpty())
      appwidgets::ShowInfo(
          QString("The password of the SIP line on Com%1 could not be put in the desktop's "
                  "password store (%2).\r\rTolvane never writes passwords to its settings "
                  "file: the line uses this one until Tolvane closes. Start a password store "
                  "(GNOME Keyring, KWallet) and enter the password again to keep it.")
              .arg(com)
              .arg(refused),
          this);
  }
}

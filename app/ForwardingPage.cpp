#include "app/ForwardingPage.h"

#include "app/OcrLanguageBox.h"
#include "app/SecretStore.h"
#include "archive/ForwardSettings.h"
#include "core/IniFile.h"
#include "platform/ProgramDir.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cerrno>
#include <stdexcept>

namespace app {

namespace {

QLineEdit* field(QWidget* parent, const char* name, const std::string& value) {
  auto* edit = new QLineEdit(appwidgets::FromAnsi(value), parent);
  edit->setObjectName(QString::fromLatin1(name));
  return edit;
}

} // namespace

ForwardingPage::ForwardingPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ForwardingPage"));
  const archive::ForwardRules rules = archive::LoadForwardRules(platform::IniFileName());
  auto* column = new QVBoxLayout(this);

  auto* folderBox = new QGroupBox(QStringLiteral("Save as PDF"), this);
  auto* folderRows = new QVBoxLayout(folderBox);
  m_saveToFolder = new QCheckBox(QStringLiteral("Save each received fax as a PDF file in this folder"),
                                 folderBox);
  m_saveToFolder->setObjectName(QStringLiteral("SaveToFolder"));
  m_saveToFolder->setChecked(rules.SaveToFolder);
  auto* folderRow = new QHBoxLayout;
  m_folder = field(folderBox, "ForwardFolder", rules.Folder);
  m_folder->setPlaceholderText(QStringLiteral("Files are named by date, time and remote ID"));
  auto* browse = new QPushButton(QStringLiteral("&Browse..."), folderBox);
  browse->setObjectName(QStringLiteral("BrowseFolder"));
  folderRow->addWidget(m_folder, 1);
  folderRow->addWidget(browse);
  folderRows->addWidget(m_saveToFolder);
  folderRows->addLayout(folderRow);
  column->addWidget(folderBox);

  auto* mailBox = new QGroupBox(QStringLiteral("Send by e-mail"), this);
  auto* form = new QFormLayout(mailBox);
  m_sendMail = new QCheckBox(
      QStringLiteral("Mail each received fax as a PDF attachment, its first page's text in the mail"),
      mailBox);
  m_sendMail->setObjectName(QStringLiteral("SendMail"));
  m_sendMail->setChecked(rules.SendMail);
  form->addRow(m_sendMail);
  m_to = field(mailBox, "MailTo", rules.Mail.To);
  m_to->setPlaceholderText(QStringLiteral("office@example.org, several separated by commas"));
  form->addRow(QStringLiteral("&To:"), m_to);
  m_from = field(mailBox, "MailFrom", rules.Mail.From);
  form->addRow(QStringLiteral("&From:"), m_from);
  auto* server = new QHBoxLayout;
  m_host = field(mailBox, "SmtpHost", rules.Mail.Host);
  m_host->setPlaceholderText(QStringLiteral("smtp.example.org"));
  m_port = new QSpinBox(mailBox);
  m_port->setObjectName(QStringLiteral("SmtpPort"));
  m_port->setRange(1, 65535);
  m_port->setValue(rules.Mail.Port);
  server->addWidget(m_host, 1);
  server->addWidget(new QLabel(QStringLiteral("Port:"), mailBox));
  server->addWidget(m_port);
  auto* serverLabel = new QLabel(QStringLiteral("&Server:"), mailBox);
  serverLabel->setBuddy(m_host);
  form->addRow(serverLabel, server);
  m_user = field(mailBox, "SmtpUser", rules.Mail.User);
  form->addRow(QStringLiteral("&User name:"), m_user);
  m_password = new QLineEdit(mailBox);
  m_password->setObjectName(QStringLiteral("SmtpPassword"));
  m_password->setEchoMode(QLineEdit::Password);
  m_password->setPlaceholderText(QStringLiteral("unchanged"));
  form->addRow(QStringLiteral("&Password:"), m_password);
  m_passwordPlace = new QLabel(
      QStringLiteral("The connection is always encrypted (STARTTLS). The password is kept in "
                     "the desktop's secret store."),
      mailBox);
  m_passwordPlace->setObjectName(QStringLiteral("PasswordPlace"));
  m_passwordPlace->setWordWrap(true);
  form->addRow(m_passwordPlace);
  column->addWidget(mailBox);
  column->addWidget(m_ocrLanguage = new OcrLanguageBox(this));
  column->addWidget(new QLabel(
      QStringLiteral("A forward that fails is tried again and shown on the status line; the "
                     "fax stays in the Received list either way."),
      this));
  column->addStretch(1);

  connect(browse, &QPushButton::clicked, this, &ForwardingPage::BrowseFolder);
  connect(m_password, &QLineEdit::textEdited, this, [this] { m_passwordEdited = true; });
  connect(m_saveToFolder, &QCheckBox::toggled, this, &ForwardingPage::UpdateEnabled);
  connect(m_sendMail, &QCheckBox::toggled, this, &ForwardingPage::UpdateEnabled);
  UpdateEnabled();
}

void ForwardingPage::UpdateEnabled() {
  m_folder->setEnabled(m_saveToFolder->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{m_host, m_port, m_user, m_password, m_from, m_to})
    w->setEnabled(m_sendMail->isChecked());
}

void ForwardingPage::BrowseFolder() {
  const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Folder for PDF files"),
                                                        m_folder->text());
  if (!dir.isEmpty())
    m_folder->setText(dir);
}

bool ForwardingPage::Check() {
  QString problem;
  if (m_saveToFolder->isChecked() && m_folder->text().trimmed().isEmpty())
    problem = QStringLiteral("Choose the folder for the PDF files of received faxes.");
  else if (m_sendMail->isChecked() &&
           (m_host->text().trimmed().isEmpty() || m_to->text().trimmed().isEmpty() ||
            m_from->text().trimmed().isEmpty()))
    problem = QStringLiteral("Fill in the mail server and the addresses to send from and to.");
  if (problem.isEmpty())
    return true;
  appwidgets::ShowError(problem, this);
  return false;
}

void ForwardingPage::Store() {
  archive::ForwardRules rules;
  rules.SaveToFolder = m_saveToFolder->isChecked();
  rules.Folder = appwidgets::ToAnsi(m_folder->text().trimmed());
  rules.SendMail = m_sendMail->isChecked();
  rules.Mail.Host = appwidgets::ToAnsi(m_host->text().trimmed());
  rules.Mail.Port = m_port->value();
  rules.Mail.User = appwidgets::ToAnsi(m_user->text().trimmed());
  rules.Mail.From = appwidgets::ToAnsi(m_from->text().trimmed());
  rules.Mail.To = appwidgets::ToAnsi(m_to->text().trimmed());
  rules.Mail.CaFile = archive::LoadForwardRules(platform::IniFileName()).Mail.CaFile;
  errno = 0;
  if (!archive::SaveForwardRules(rules, platform::IniFileName()) || !m_ocrLanguage->Store())
    throw EIniWriteError(platform::IniFileName(), errno);
  if (!m_passwordEdited)
    return;
  // Without a secret store the password is kept for this run only; the
  // user is told so (the rules are stored all the same).
  const QString problem = WriteSecret(PasswordKey(), m_password->text());
  m_passwordEdited = false;
  if (!problem.isEmpty())
    appwidgets::ShowInfo(QStringLiteral("The mail password could not be put into the desktop's "
                                        "secret store (%1); it is kept until the program ends.")
                             .arg(problem),
                         this);
}

} // namespace app

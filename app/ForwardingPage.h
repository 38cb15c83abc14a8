#pragma once
// The preferences page of forwarding rules: each received fax saved as a PDF
// file into a folder, and/or mailed as a PDF attachment through an SMTP
// server (STARTTLS and login), and the language the faxes' text is read in.
// The rules live in TOV.INI [Forward], the password in the desktop's secret
// store.

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace app {

class OcrLanguageBox;

class ForwardingPage : public QWidget {
  Q_OBJECT
  Q_DISABLE_COPY(ForwardingPage)

public:
  explicit ForwardingPage(QWidget* parent = nullptr);

  // False, after saying why in an error box, when a rule that is on lacks
  // what it needs (a folder; a server and an address).
  bool Check();
  // Writes the rules and a changed password; throws EIniWriteError or
  // std::runtime_error with the reason.
  void Store();

  // The password's key in the secret store.
  static QString PasswordKey() { return QStringLiteral("smtp-password"); }

private:
  void BrowseFolder();
  void UpdateEnabled();

  QCheckBox* m_saveToFolder = nullptr;
  QLineEdit* m_folder = nullptr;
  QCheckBox* m_sendMail = nullptr;
  QLineEdit* m_host = nullptr;
  QSpinBox* m_port = nullptr;
  QLineEdit* m_user = nullptr;
  QLineEdit* m_password = nullptr;
  QLineEdit* m_from = nullptr;
  QLineEdit* m_to = nullptr;
  QLabel* m_passwordPlace = nullptr;
  OcrLanguageBox* m_ocrLanguage = nullptr;
  bool m_passwordEdited = false;
};

} // namespace app

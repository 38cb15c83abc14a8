#pragma once
// The "SIP line" page of Preferences: makes a Com entry a SIP line (an
// account at a provider or an office phone system, or direct calls without
// a registrar) instead of a serial device. Edits stay in the page until
// Preferences is accepted; the password then goes to the desktop's secret
// store, never to TOV.INI.

#include "core/SipLineSettings.h"

#include <QString>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class SipLinePage : public QWidget {
  Q_OBJECT
  Q_DISABLE_COPY(SipLinePage)

public:
  // Shows the first Com entry that is a SIP line, else `comNumber`.
  SipLinePage(int comNumber, QWidget* parent = nullptr);

  // False (after telling the user why) when a SIP line lacks what it needs.
  bool Check();
  // The Com entries' SIP settings into TOV.INI; throws EIniWriteError.
  void SaveLines(const std::string& iniPath);
  // Typed passwords into the secret store; a store that refuses is
  // explained in a message box (the password is then kept for this run).
  void SavePasswords();

Q_SIGNALS:
  // Com n's device becomes `device` (the line's modem, or back to serial).
  void DeviceChosen(int comNumber, const QString& device);

private:
  void Build();
  void ShowLine(int comNumber);
  void TakeLine();
  void EnableFields();

  std::array<app::SipLineSettings, 6> m_lines{};
  std::array<app::SipLineSettings, 6> m_stored{};
  std::array<QString, 6> m_passwords{};
  int m_shown = 1;

  QComboBox* m_com = nullptr;
  QCheckBox* m_enabled = nullptr;
  QCheckBox* m_direct = nullptr;
  QLineEdit *m_user = nullptr, *m_password = nullptr, *m_registrar = nullptr;
  QLineEdit *m_domain = nullptr, *m_peer = nullptr, *m_listen = nullptr;
};

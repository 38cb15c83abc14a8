#pragma once
// Passwords in the desktop's secret store (the Secret Service of GNOME
// Keyring and others, or KWallet) through Qt Keychain, never in TOV.INI.
// Where no store answers, a password is kept in memory for this run only
// and the caller is told why, so that the user can start a store.

#include <QString>

namespace app {

struct SecretRead {
  QString Value;
  bool Found = false;
  QString Error; // why the store could not be read; empty when it answered
};

// Waits for the store's answer (the store may take a moment to start).
SecretRead ReadSecret(const QString& key);
// Empty when stored; otherwise the store's reason, and the password is
// kept for this run only.
QString WriteSecret(const QString& key, const QString& value);

} // namespace app

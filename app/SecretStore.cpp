#include "app/SecretStore.h"

#include <QEventLoop>
#include <QHash>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace app {
namespace {

const QString kService = QStringLiteral("Tolvane");

// Passwords the store could not take, for the rest of this run.
QHash<QString, QString>& sessionOnly() {
  static QHash<QString, QString> passwords;
  return passwords;
}

// Runs a keychain job to its end. A store that does not answer within
// 30 s counts as not there.
bool runJob(QKeychain::Job& job) {
  job.setAutoDelete(false);
  QEventLoop loop;
  bool finished = false;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(30000, &loop, &QEventLoop::quit);
  job.start();
  if (!finished)
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  return finished;
}

} // namespace

SecretRead ReadSecret(const QString& key) {
  SecretRead result;
  QKeychain::ReadPasswordJob job(kService);
  job.setKey(key);
  if (!runJob(job)) {
    result.Error = QStringLiteral("the password store did not answer");
  } else if (job.error() == QKeychain::NoError) {
    result.Value = job.textData();
    result.Found = true;
    return result;
  } else if (job.error() != QKeychain::EntryNotFound) {
    result.Error = job.errorString();
  }
  if (sessionOnly().contains(key)) {
    result.Value = sessionOnly().value(key);
    result.Found = true;
  }
  return result;
}

QString WriteSecret(const QString& key, const QString& value) {
  QKeychain::WritePasswordJob job(kService);
  job.setKey(key);
  job.setTextData(value);
  const bool finished = runJob(job);
  if (finished && job.error() == QKeychain::NoError) {
    sessionOnly().remove(key);
    return {};
  }
  sessionOnly().insert(key, value);
  return finished ? job.errorString() : QStringLiteral("the password store did not answer");
}

} // namespace app

#pragma once
// One running copy per data folder: a lock file in the folder, and a local
// socket through which a second copy asks the first to show its window.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class SingleInstance : public QObject {
  Q_OBJECT
  Q_DISABLE_COPY(SingleInstance)

public:
  explicit SingleInstance(const QString& dataDir);
  ~SingleInstance() override;

  // True when this is the only copy for the folder (the lock is now ours).
  bool TryLock();
  // Asks the running copy to bring its window forward; true when it answered.
  bool AskFirstToShow();
  // Serves requests of later copies; onShow runs for each.
  void Listen(std::function<void()> onShow);

  static QString ServerName(const QString& dataDir);

private:
  QString m_dataDir;
  QLockFile m_lock;
  std::unique_ptr<QLocalServer> m_server;
};

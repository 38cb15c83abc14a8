#pragma once
// One running copy per data folder: an advisory lock on a file in the
// folder, and a local socket through which a second copy asks the first to
// show its window. Both are plain system calls: the kernel drops the lock
// and the socket when a copy ends in any way, so nothing stale is left, and
// starting costs no more than opening a file.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

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

  // The socket's name in the abstract namespace (without its leading zero
  // byte): one per user and data folder.
  static QByteArray ServerName(const QString& dataDir);

private:
  void TakeRequest();

  QString m_dataDir;
  int m_lockFd = -1;
  int m_serverFd = -1;
  std::unique_ptr<QSocketNotifier> m_notifier;
  std::function<void()> m_onShow;
};

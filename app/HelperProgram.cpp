#include "app/HelperProgram.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

HelperProgram::~HelperProgram() {
  Stop();
}

QString HelperProgram::Find(const QString& name, const QString& buildFolder) {
  const QString here = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {here + QLatin1Char('/') + name, here + QLatin1Char('/') + buildFolder + name})
    if (QFileInfo(candidate).isExecutable())
      return QFileInfo(candidate).canonicalFilePath();
  return QStandardPaths::findExecutable(name);
}

bool HelperProgram::Start(const QString& program, const QStringList& arguments, const QString& link,
                          const QString& logFile, QString* error, const QStringList& environment) {
  Stop();
  QFile::remove(link);
  m_logFile = logFile;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const QString& entry : environment)
    env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
  m_process.setProcessEnvironment(env);
  m_process.setProcessChannelMode(QProcess::MergedChannels);
  m_process.setStandardOutputFile(logFile);
  m_process.start(program, arguments);
  const QString name = QFileInfo(program).fileName();
  if (!m_process.waitForStarted(5000)) {
    *error = QStringLiteral("%1 did not start: %2").arg(name, m_process.errorString());
    return false;
  }
  QElapsedTimer waited;
  waited.start();
  // Waiting on the process itself notices at once when it gives up.
  while (!QFileInfo::exists(link) && waited.elapsed() < 10000)
    if (m_process.waitForFinished(50))
      break;
  if (!QFileInfo::exists(link)) {
    *error = QStringLiteral("%1 made no modem (see %2).").arg(name, logFile);
    Stop();
    return false;
  }
  return true;
}

void HelperProgram::Stop() {
  if (m_process.state() == QProcess::NotRunning)
    return;
  m_process.terminate();
  if (!m_process.waitForFinished(3000)) {
    m_process.kill();
    m_process.waitForFinished(2000);
  }
}

bool HelperProgram::Running() const {
  return m_process.state() == QProcess::Running;
}

QString HelperProgram::LastLogLine() const {
  QFile log(m_logFile);
  if (!log.open(QIODevice::ReadOnly))
    return {};
  const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
  return QString::fromLocal8Bit(lines.last()).trimmed();
}

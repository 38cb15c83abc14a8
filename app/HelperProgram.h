#pragma once
// A program of Tolvane's own that the desktop program runs beside itself and
// whose modem it then uses: the modem simulator of the demo, the SIP line's
// tolvane-sipmodem. Found next to `tolvane`, in the build tree or on PATH;
// started with its output in a log file; ready once the modem link it makes
// exists; ended (politely, then for good) when it is no longer wanted.

#include <QProcess>
#include <QString>
#include <QStringList>

class HelperProgram {
public:
  HelperProgram() = default;
  ~HelperProgram();
  HelperProgram(const HelperProgram&) = delete;
  HelperProgram& operator=(const HelperProgram&) = delete;

  // `name` next to this program, in `buildFolder` (relative to it, the
  // program's place in the build tree), or on PATH; empty when nowhere.
  static QString Find(const QString& name, const QString& buildFolder);

  // Starts `program` and waits until `link` exists (at most 10 s). The
  // link is removed first, so that a stale one from a crash does not count.
  // `environment` adds NAME=value entries to this program's environment.
  bool Start(const QString& program, const QStringList& arguments, const QString& link,
             const QString& logFile, QString* error, const QStringList& environment = {});
  void Stop();
  bool Running() const;
  QString LogFile() const { return m_logFile; }
  // The last line the program wrote (its reason, when it gave up).
  QString LastLogLine() const;

private:
  QProcess m_process;
  QString m_logFile;
};

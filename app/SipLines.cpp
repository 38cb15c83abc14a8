#include "app/SipLines.h"

#include "app/HelperProgram.h"
#include "app/SecretStore.h"
#include "platform/PortDevices.h"
#include "platform/ProgramDir.h"

#include <QFile>
#include <QTimer>

namespace app {
namespace {

QString fromStd(const std::string& s) {
  return QString::fromStdString(s);
}

// The line's own report as the status line shows it; empty for lines that
// say nothing to the user.
QString statusFor(const QString& reported, const SipLineSettings& settings) {
  if (reported.startsWith(QLatin1String("registered with ")))
    return QStringLiteral("SIP line registered with ") + reported.mid(16);
  if (reported.startsWith(QLatin1String("SIP registration refused")) ||
      reported.startsWith(QLatin1String("SIP registrar not reachable")))
    return reported;
  if (reported.startsWith(QLatin1String("ready ")) && settings.Direct())
    return QStringLiteral("SIP line ready for direct calls");
  return {};
}

} // namespace

SipLines::SipLines(QObject* parent) : QObject(parent), m_poll(new QTimer(this)) {
  m_poll->setInterval(250);
  connect(m_poll, &QTimer::timeout, this, &SipLines::ReadLogs);
}

SipLines::~SipLines() = default;

QString SipLines::State(int comNumber) const {
  const auto it = m_lines.find(comNumber);
  return it == m_lines.end() ? QString() : it->second.State;
}

void SipLines::Update() {
  const std::string ini = platform::IniFileName();
  for (int com = platform::FirstComPort; com <= platform::LastComPort; ++com) {
    const SipLineSettings settings = LoadSipLine(com, ini);
    if (!settings.Enabled) {
      if (m_lines.erase(com) > 0) // ends its program
        emit LineState(com, QString());
      continue;
    }
    QString password;
    if (!settings.Direct()) {
      const SecretRead read = ReadSecret(fromStd(settings.SecretKey()));
      password = read.Value;
      if (!read.Found)
        emit StatusText(read.Error.isEmpty()
                            ? QStringLiteral("SIP line: no password stored for %1")
                                  .arg(fromStd(settings.SecretKey()))
                            : QStringLiteral("SIP line: the password store cannot be read: %1")
                                  .arg(read.Error));
    }
    Line& line = m_lines[com];
    if (line.Program && line.Program->Running() && line.Settings == settings &&
        line.Password == password)
      continue;
    line.Settings = settings;
    line.Password = password;
    Start(com, line);
  }
  if (m_lines.empty())
    m_poll->stop();
  else
    m_poll->start();
}

void SipLines::Start(int comNumber, Line& line) {
  line.Program = std::make_unique<HelperProgram>();
  line.LogRead = 0;
  const std::string problem = line.Settings.Problem();
  if (!problem.empty()) {
    Report(comNumber, line,
           QStringLiteral("SIP line of Com%1: %2").arg(comNumber).arg(fromStd(problem)));
    return;
  }
  const QString program =
      HelperProgram::Find(QStringLiteral("tolvane-sipmodem"), QStringLiteral("../sipline/"));
  if (program.isEmpty()) {
    Report(comNumber, line, QStringLiteral("The SIP line program tolvane-sipmodem was not found."));
    return;
  }
  QStringList arguments;
  for (const std::string& a : line.Settings.Arguments(SipLineLink(comNumber)))
    arguments << fromStd(a);
  const QString log =
      fromStd(platform::ProgramDir()) + QStringLiteral("sipline-com%1.log").arg(comNumber);
  QString error;
  // The password reaches the line through its environment, never its
  // command line (which every user of the machine can read).
  if (!line.Program->Start(program, arguments, fromStd(SipLineLink(comNumber)), log, &error,
                           {QStringLiteral("TOLVANE_SIP_PASSWORD=") + line.Password})) {
    // The line's own words say why (its SIP port taken, say) where it left any.
    const QString reason = line.Program->LastLogLine();
    Report(comNumber, line,
           QStringLiteral("The SIP line of Com%1 did not start: %2")
               .arg(comNumber)
               .arg(reason.isEmpty() ? error : reason));
  }
  ReadLogs();
}

void SipLines::Report(int comNumber, Line& line, const QString& text) {
  line.State = text;
  emit LineState(comNumber, text);
}

void SipLines::ReadLogs() {
  for (auto& [com, line] : m_lines) {
    if (!line.Program || line.Program->LogFile().isEmpty())
      continue;
    QFile log(line.Program->LogFile());
    if (!log.open(QIODevice::ReadOnly) || !log.seek(line.LogRead))
      continue;
    // Whole lines only: the line writes each report with one flush.
    const QByteArray fresh = log.readAll();
    const qsizetype end = fresh.lastIndexOf('\n') + 1;
    line.LogRead += end;
    for (const QByteArray& text : fresh.left(end).split('\n')) {
      const QString status = statusFor(QString::fromUtf8(text).trimmed(), line.Settings);
      if (!status.isEmpty() && status != line.State)
        Report(com, line, status);
    }
    if (!line.Program->Running() && !line.State.startsWith(QLatin1String("The SIP line")))
      Report(com, line,
             QStringLiteral("The SIP line of Com%1 has stopped (see %2).")
                 .arg(com)
                 .arg(line.Program->LogFile()));
  }
}

} // namespace app

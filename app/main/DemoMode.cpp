#include "app/main/DemoMode.h"

#include "core/IniFile.h"
#include "platform/PortDevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

DemoMode::DemoMode(QString dataDir) : m_dataDir(std::move(dataDir)) {
  if (!m_dataDir.endsWith(QLatin1Char('/')))
    m_dataDir += QLatin1Char('/');
}

DemoMode::~DemoMode() {
  Stop();
}

QString DemoMode::DefaultDataDir() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty())
    base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/tolvane-demo/");
}

QString DemoMode::SimulatorPath() {
  return HelperProgram::Find(QStringLiteral("tolvane-modemsim"), QStringLiteral("../sim/"));
}

void DemoMode::WriteIncomingFax() {
  const QString target = m_dataDir + QStringLiteral("demo-incoming.tif");
  if (QFileInfo::exists(target))
    return;
  QFile::copy(QStringLiteral(":/demo/demo-incoming.tif"), target);
  QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

bool DemoMode::Prepare(QString* error) {
  if (!QDir().mkpath(m_dataDir + QStringLiteral("remote"))) {
    *error = QStringLiteral("Cannot create the demo folder %1").arg(m_dataDir);
    return false;
  }
  const std::string ini = (m_dataDir + QStringLiteral("TOV.INI")).toStdString();
  try {
    app::IniFile file(ini);
    if (file.ReadString("Demo", "Prepared", "").empty()) {
      file.WriteBool("Receive", "AtStartup", true);
      file.WriteString("User", "Fax", "555 1001");
      file.WriteString("User", "Name", "Demo User");
      file.WriteInteger("Modem", "FaxClass", 1); // Class 1 takes call after call
      // The demo chose the port itself: no first-run preferences, and receive
      // mode answers the demo caller from the start.
      file.WriteInteger("Modem", "ComPort", 0);
      m_firstStart = true;
      file.WriteString("Demo", "Prepared", "1");
    }
  } catch (const std::exception& e) {
    *error = QString::fromLocal8Bit(e.what());
    return false;
  }
  platform::SetPortDevicePath(1, ModemLink().toStdString(), ini);
  WriteIncomingFax();
  QFile config(ConfigPath());
  if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
    *error = QStringLiteral("Cannot write %1").arg(ConfigPath());
    return false;
  }
  const QString remote = m_dataDir + QStringLiteral("remote");
  config.write(QStringLiteral("# Written by tolvane --demo at every start.\n"
                              "modem com1 model=class120 link=\"%1\" number=5551001\n"
                              "number %2 fax ident=\"DEMO FAX\" dir=\"%3\"\n"
                              "number %4 busy\n"
                              "number %5 no-answer ring=30\n"
                              "number %6 fax ident=\"TOLVANE DEMO\" file=\"%7\"\n"
                              "call %6 com1 at=%8 every=%9\n")
                   .arg(ModemLink(), QLatin1String(FaxNumber), remote, QLatin1String(BusyNumber),
                        QLatin1String(NoAnswerNumber), QLatin1String(CallerNumber),
                        m_dataDir + QStringLiteral("demo-incoming.tif"))
                   .arg(FirstCallSeconds)
                   .arg(CallEverySeconds)
                   .toUtf8());
  return true;
}

bool DemoMode::Start(QString* error) {
  const QString simulator = SimulatorPath();
  if (simulator.isEmpty()) {
    *error = QStringLiteral("The modem simulator tolvane-modemsim was not found.");
    return false;
  }
  return m_simulator.Start(simulator, {QStringLiteral("--config"), ConfigPath()}, ModemLink(),
                           m_dataDir + QStringLiteral("modemsim.log"), error);
}

void DemoMode::Stop() {
  m_simulator.Stop();
}

bool DemoMode::Running() const {
  return m_simulator.Running();
}

QString DemoMode::FirstRunText() const {
  return QStringLiteral(
             "Welcome to the Tolvane demo. No modem is needed: Com1 is a simulated fax "
             "modem on a simulated phone line.\r\r"
             "- %1 is a fax machine that accepts whatever you send it.\r"
             "- %2 is always busy, %3 never answers.\r"
             "- The fax machine %4 calls you about a minute after start and then every %5 "
             "minutes. Receive mode is on, so its faxes appear under \"Received\".\r\r"
             "The modem takes one call at a time: to send, press STOP first (Send is grey "
             "while receive mode is on), then Send; press Receive again afterwards.\r\r"
             "The demo keeps its data in %6")
      .arg(QLatin1String(FaxNumber), QLatin1String(BusyNumber), QLatin1String(NoAnswerNumber),
           QLatin1String(CallerNumber))
      .arg(CallEverySeconds / 60)
      .arg(m_dataDir);
}

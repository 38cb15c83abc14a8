#include "tests/app/DesktopServices.h"

#include "tests/app/AppGuiTestKit.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>

namespace appgui {

uint NotificationRecorder::Notify(const QString& app, uint, const QString&, const QString& summary,
                                  const QString& body, const QStringList&, const QVariantMap&, int) {
  shown.push_back({app, summary, body});
  return uint(shown.size());
}

QStringList NotificationRecorder::GetCapabilities() {
  return {QStringLiteral("body")};
}

PrivateSessionBus::PrivateSessionBus(const std::string& dir) {
  const QString socket = QString::fromStdString(dir + "bus");
  const QString address = QStringLiteral("unix:path=") + socket;
  m_daemon.start(QStringLiteral("dbus-daemon"),
                 {"--session", "--nofork", "--nopidfile", "--address=" + address});
  if (!m_daemon.waitForStarted(5000) || !WaitFor([&] { return QFile::exists(socket); }, 5000))
    return;
  qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
  QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("recorder"));
  m_ready = service.isConnected() &&
            service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_recorder,
                                   QDBusConnection::ExportAllSlots) &&
            service.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

PrivateSessionBus::~PrivateSessionBus() {
  QDBusConnection::disconnectFromBus(QStringLiteral("recorder"));
  m_daemon.terminate();
  m_daemon.waitForFinished(5000);
}

DesktopKeyring::DesktopKeyring(const std::string& dir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
    env.insert(QString::fromLatin1(name), QString::fromStdString(dir));
  m_daemon.setProcessEnvironment(env);
  m_daemon.setProcessChannelMode(QProcess::MergedChannels);
  m_daemon.setStandardOutputFile(QString::fromStdString(dir + "keyring.log"));
  m_daemon.start(QStringLiteral("gnome-keyring-daemon"),
                 {"--foreground", "--unlock", "--components=secrets"});
  if (!m_daemon.waitForStarted(5000))
    return;
  // --unlock reads the login keyring's password (and makes the keyring).
  m_daemon.write("test-keyring");
  m_daemon.waitForBytesWritten(5000);
  m_daemon.closeWriteChannel();
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  m_ready = bus && WaitFor([&] {
              return bus->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
            });
  if (!m_ready)
    std::fprintf(stderr, "keyring: state %d exit %d, bus %s\n", int(m_daemon.state()),
                 m_daemon.exitCode(),
                 bus ? qPrintable(bus->registeredServiceNames().value().join(' ')) : "none");
}

DesktopKeyring::~DesktopKeyring() {
  m_daemon.terminate();
  if (!m_daemon.waitForFinished(5000))
    m_daemon.kill();
}

RecordedSoundServer::RecordedSoundServer(const std::string& dir) : m_dir(dir) {
  const QString socket = QString::fromStdString(dir + "pulse.sock");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("HOME"), QString::fromStdString(dir));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir));
  m_server.setProcessEnvironment(env);
  m_server.setStandardOutputFile(QString::fromStdString(dir + "pulse.log"));
  m_server.setStandardErrorFile(QString::fromStdString(dir + "pulse.log"));
  m_server.start(QStringLiteral("pulseaudio"),
                 {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                  "--log-target=stderr", "-L", "module-null-sink sink_name=faxsink", "-L",
                  "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
  if (!m_server.waitForStarted(5000) || !WaitFor([&] { return QFile::exists(socket); }, 10000))
    return;
  qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
  env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socket);
  m_recorder.setProcessEnvironment(env);
  m_recorder.setStandardOutputFile(QString::fromStdString(dir + "sound.raw"));
  m_recorder.start(QStringLiteral("parec"), {"-d", "faxsink.monitor", "--raw", "--format=s16le",
                                             "--channels=1", "--rate=22050"});
  m_ready = m_recorder.waitForStarted(5000);
}

RecordedSoundServer::~RecordedSoundServer() {
  for (QProcess* p : {&m_recorder, &m_server}) {
    p->terminate();
    if (!p->waitForFinished(5000))
      p->kill();
  }
}

int RecordedSoundServer::Peak() const {
  QFile raw(QString::fromStdString(m_dir + "sound.raw"));
  if (!raw.open(QIODevice::ReadOnly))
    return 0;
  const QByteArray data = raw.readAll();
  int peak = 0;
  for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
    int16_t sample;
    std::memcpy(&sample, data.constData() + i, 2);
    peak = std::max(peak, std::abs(int(sample)));
  }
  return peak;
}

} // namespace appgui

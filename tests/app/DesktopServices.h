#pragma once
// Desktop services of the test's own, for checking what a received fax does
// beyond the list: a private session bus with a notification service that
// records what it is asked to show, and a sound server whose only output is
// recorded. Both are real servers (dbus-daemon, pulseaudio); only the
// notification service is ours, answering as the freedesktop one does.

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <string>

namespace appgui {

// Records Notify calls: app name, summary and body of each.
class NotificationRecorder : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
  struct Shown {
    QString app, summary, body;
  };
  QList<Shown> shown;

public slots:
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int timeout);
  QStringList GetCapabilities();
};

// dbus-daemon on a private address, made the session bus of this process
// (DBUS_SESSION_BUS_ADDRESS) before anything in it first uses the bus, with
// the recorder serving org.freedesktop.Notifications.
class PrivateSessionBus {
public:
  explicit PrivateSessionBus(const std::string& dir);
  ~PrivateSessionBus();
  bool Ready() const { return m_ready; }
  NotificationRecorder& Recorder() { return m_recorder; }

private:
  QProcess m_daemon;
  NotificationRecorder m_recorder;
  bool m_ready = false;
};

// pulseaudio with a null sink, made this process's sound server
// (PULSE_SERVER), and parec recording that sink's monitor.
class RecordedSoundServer {
public:
  explicit RecordedSoundServer(const std::string& dir);
  ~RecordedSoundServer();
  bool Ready() const { return m_ready; }
  // The loudest sample recorded so far (16-bit), 0 for silence.
  int Peak() const;

private:
  std::string m_dir;
  QProcess m_server, m_recorder;
  bool m_ready = false;
};

// gnome-keyring-daemon's secret service on the session bus of this process
// (a PrivateSessionBus), its login keyring unlocked, kept in `dir`: the
// desktop password store, without touching the user's own.
class DesktopKeyring {
public:
  explicit DesktopKeyring(const std::string& dir);
  ~DesktopKeyring();
  bool Ready() const { return m_ready; }

private:
  QProcess m_daemon;
  bool m_ready = false;
};

} // namespace appgui

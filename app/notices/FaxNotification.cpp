// A desktop notification through the freedesktop notification service on the
// session bus (part of the notices module, see FaxSound.cpp).

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

extern "C" Q_DECL_EXPORT void tolvane_notify(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QStringLiteral("Tolvane") << uint(0) << QStringLiteral("tolvane") << summary << body
       << QStringList() << QVariantMap() << int(10000);
  // Sent without waiting: no service simply means no notification.
  bus.asyncCall(call, 5000);
}

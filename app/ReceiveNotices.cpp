#include "app/ReceiveNotices.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QLibrary>
#include <QUrl>
#include <QVariantMap>

namespace app {

void PlayFaxSound(const QString& wavFile, QObject* owner) {
  if (wavFile.isEmpty() || !QFileInfo(wavFile).isFile())
    return;
  using PlayWav = void (*)(const QString&, QObject*);
  static PlayWav play = [] {
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {here + QStringLiteral("/libtolvane_sound.so"),
          here + QStringLiteral("/../" TOLVANE_LIBDIR "/tolvane/libtolvane_sound.so")}) {
      QLibrary module(candidate);
      if (auto fn = reinterpret_cast<PlayWav>(module.resolve("tolvane_play_wav")))
        return fn;
    }
    return PlayWav(nullptr);
  }();
  if (play)
    play(wavFile, owner);
}

QString FaxReceivedText(const QString& from, int pages) {
  QString text = pages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pages);
  if (!from.isEmpty())
    text += QStringLiteral(" from ") + from;
  return text;
}

void NotifyFaxReceived(const QString& from, int pages) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QStringLiteral("Tolvane") << uint(0) << QStringLiteral("tolvane")
       << QStringLiteral("Fax received") << FaxReceivedText(from, pages) << QStringList()
       << QVariantMap() << int(10000);
  // Sent without waiting: no service simply means no notification.
  bus.asyncCall(call, 5000);
}

} // namespace app

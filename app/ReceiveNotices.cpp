#include "app/ReceiveNotices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>
#include <QVariantMap>

namespace app {

void PlayFaxSound(const QString& wavFile, QObject* owner) {
  if (wavFile.isEmpty() || !QFileInfo(wavFile).isFile())
    return;
  auto* effect = new QSoundEffect(owner);
  effect->setSource(QUrl::fromLocalFile(wavFile));
  // The effect frees itself once it has played (or failed to load).
  QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
    if (!effect->isPlaying())
      effect->deleteLater();
  });
  QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
    if (effect->status() == QSoundEffect::Ready)
      effect->play();
    else if (effect->status() == QSoundEffect::Error)
      effect->deleteLater();
  });
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

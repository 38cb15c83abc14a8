// The received-fax sound, kept in a module of its own: Qt Multimedia brings
// the sound system's libraries with it, and loading those at every start
// would cost more time than the whole main window. The program loads this
// module the first time a fax arrives.

#include <QFileInfo>
#include <QObject>
#include <QSoundEffect>
#include <QUrl>

extern "C" Q_DECL_EXPORT void tolvane_play_wav(const QString& wavFile, QObject* owner) {
  if (wavFile.isEmpty() || !QFileInfo(wavFile).isFile())
    return;
  auto* effect = new QSoundEffect(owner);
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
  effect->setSource(QUrl::fromLocalFile(wavFile));
}

// The received-fax sound and the desktop notification live in a module of
// their own: Qt Multimedia brings the sound system's libraries and Qt D-Bus
// its own, and loading those at every start would cost more time than the
// whole main window. The program loads this module the first time a fax
// arrives.

#include <QObject>
#include <QSoundEffect>
#include <QUrl>

// Starts playing the WAV file once (the program has checked that it is
// there); returns the effect, owned by owner, which frees itself once played
// or failed.
extern "C" Q_DECL_EXPORT QObject* tolvane_play_wav(const QString& wavFile, QObject* owner) {
  auto* effect = new QSoundEffect(owner);
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
  return effect;
}

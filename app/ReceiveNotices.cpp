#include "app/ReceiveNotices.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace app {

namespace {

using PlayWav = QObject* (*)(const QString&, QObject*);
using Notify = void (*)(const QString&, const QString&);

struct NoticesModule {
  PlayWav play = nullptr;
  Notify notify = nullptr;
};

// The notices module, next to the program or where it is installed; loaded
// once, on the first received fax.
const NoticesModule& notices() {
  static const NoticesModule module = [] {
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {here + QStringLiteral("/libtolvane_notices.so"),
          here + QStringLiteral("/../" TOLVANE_LIBDIR "/tolvane/libtolvane_notices.so"),
          QStringLiteral(TOLVANE_NOTICES_BUILD_PATH)}) {
      QLibrary library(candidate);
      NoticesModule found{reinterpret_cast<PlayWav>(library.resolve("tolvane_play_wav")),
                          reinterpret_cast<Notify>(library.resolve("tolvane_notify"))};
      if (found.play && found.notify)
        return found;
    }
    return NoticesModule{};
  }();
  return module;
}

} // namespace

QObject* PlayFaxSound(const QString& wavFile, QObject* owner) {
  if (wavFile.isEmpty() || !QFileInfo(wavFile).isFile() || !notices().play)
    return nullptr;
  return notices().play(wavFile, owner);
}

QString FaxReceivedText(const QString& from, int pages) {
  QString text = pages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pages);
  if (!from.isEmpty())
    text += QStringLiteral(" from ") + from;
  return text;
}

void NotifyFaxReceived(const QString& from, int pages) {
  if (notices().notify)
    notices().notify(QStringLiteral("Fax received"), FaxReceivedText(from, pages));
}

void NotifyDesktop(const QString& summary, const QString& body) {
  if (notices().notify)
    notices().notify(summary, body);
}

bool NoticesAvailable() {
  return notices().play && notices().notify;
}

} // namespace app

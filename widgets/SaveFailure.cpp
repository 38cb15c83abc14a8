#include "widgets/SaveFailure.h"

#include "widgets/MessageBoxes.h"

#include <cerrno>
#include <cstring>

namespace appwidgets {

bool IsDiskFullReason(const QString& reason) {
  for (int code : {ENOSPC, EDQUOT})
    if (reason.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive))
      return true;
  return false;
}

QString SaveFailureText(const QString& what, const QString& button, const QString& reason) {
  // "preferences" and other plural names take "were".
  const QString verb = what.endsWith('s') ? QStringLiteral("were") : QStringLiteral("was");
  if (IsDiskFullReason(reason))
    return QStringLiteral("The disk is full: the %1 %2 not saved. Free some space and press %3 "
                          "again.")
        .arg(what, verb, button);
  QString text = QStringLiteral("The %1 %2 not saved: %3").arg(what, verb, reason);
  if (!text.endsWith('.'))
    text += '.';
  return text;
}

bool StoreOrExplain(const std::function<void()>& store, const QString& what, const QString& button,
                    QWidget* window) {
  try {
    store();
    return true;
  } catch (const std::exception& e) {
    ShowError(SaveFailureText(what, button, QString::fromLocal8Bit(e.what())), window);
    return false;
  }
}

} // namespace appwidgets

#include "core/Settings.h"
#include "widgets/WindowServices.h"

#include <QApplication>
#include <QEvent>
#include <QStatusTipEvent>
#include <QWidget>

namespace appwidgets {

namespace {

QPointer<QLabel> g_hintTarget;
bool g_hintsShown = true;

// Qt sends a status-tip event whenever the pointer enters a control or a menu
// entry that has a status tip, and an empty one when it leaves: exactly the
// moments the hint text changes.
class HintFilter : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::StatusTip) {
      if (g_hintsShown && g_hintTarget)
        g_hintTarget->setText(static_cast<QStatusTipEvent*>(event)->tip());
    } else if (event->type() == QEvent::ToolTip && !g_hintsShown) {
      return true; // hints off: no tool tips either
    }
    return QObject::eventFilter(watched, event);
  }
};

// Points the hint line at a dialog's own label whenever the dialog is
// activated again (after a box it opened closed, for example).
class ActivationWatch : public QObject {
public:
  ActivationWatch(QObject* dialog, QLabel* label) : QObject(dialog), m_label(label) {
    dialog->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowActivate && m_label)
      g_hintTarget = m_label;
    return QObject::eventFilter(watched, event);
  }

private:
  QPointer<QLabel> m_label;
};

} // namespace

QLabel* HintTarget() {
  return g_hintTarget.data();
}
void SetHintTarget(QLabel* label) {
  g_hintTarget = label;
}

void InstallHintHandler() {
  static HintFilter* filter = nullptr;
  if (!filter && qApp) {
    filter = new HintFilter(qApp);
    qApp->installEventFilter(filter);
  }
  g_hintsShown = app::Settings.HintsOn;
}

void SetHintsShown(bool on) {
  g_hintsShown = on;
  if (!on && g_hintTarget)
    g_hintTarget->clear();
}

HintRedirect::HintRedirect(QWidget* dialog, QLabel* status)
    : m_previous(g_hintTarget), m_own(status) {
  g_hintTarget = status;
  m_activationWatch = new ActivationWatch(dialog, status);
}

HintRedirect::~HintRedirect() {
  if (!m_own || g_hintTarget == m_own)
    g_hintTarget = m_previous;
}

} // namespace appwidgets

#include "app/SipLineStatus.h"

#include <QStringList>

namespace app {

SipLineStatus::SipLineStatus(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("SipLineStatus"));
  setFixedHeight(32);
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setAlignment(Qt::AlignCenter);
  setMargin(4);
  hide();
}

void SipLineStatus::SetLineState(int comNumber, const QString& state) {
  if (state.isEmpty())
    m_states.erase(comNumber);
  else
    m_states[comNumber] = state;
  // One line says its state alone; several say which Com entry each is.
  QStringList parts;
  for (const auto& [com, text] : m_states)
    parts << (m_states.size() == 1 ? text : QStringLiteral("Com%1: %2").arg(com).arg(text));
  setText(parts.join(QStringLiteral("   ")));
  setToolTip(text());
  setVisible(!m_states.empty());
}

} // namespace app

#include "widgets/FormParts.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

namespace appwidgets {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), m_group(new QButtonGroup(this)) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 4, 8, 4);
  grid->setVerticalSpacing(2);
  const int rows = (items.size() + columns - 1) / columns;
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(QString("%1Item%2").arg(caption).arg(i));
    m_group->addButton(button, i);
    // Items run down the first column, then the next, as in a radio group.
    grid->addWidget(button, i % rows, i / rows);
  }
  connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
    if (on)
      emit ItemIndexChanged(id);
  });
}

int TRadioGroup::ItemIndex() const {
  return m_group->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    m_group->button(index)->setChecked(true);
    return;
  }
  if (QAbstractButton* checked = m_group->checkedButton()) {
    m_group->setExclusive(false);
    checked->setChecked(false);
    m_group->setExclusive(true);
  }
  emit ItemIndexChanged(-1);
}

int TRadioGroup::Count() const {
  return static_cast<int>(m_group->buttons().size());
}

QRadioButton* TRadioGroup::Button(int index) const {
  return qobject_cast<QRadioButton*>(m_group->button(index));
}

void SetHint(QWidget* widget, const QString& hint) {
  widget->setStatusTip(hint);
  QString tip = hint;
  tip.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  widget->setToolTip(tip);
}

QLabel* AddStatusLine(QWidget* dialog, QBoxLayout* layout) {
  auto* status = new QLabel(dialog);
  status->setObjectName("status");
  status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  status->setFrameShape(QFrame::Panel);
  status->setFrameShadow(QFrame::Sunken);
  status->setMinimumHeight(20);
  // A long status or hint text is cut at the window's edge: it never widens
  // the window.
  status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(status);
  return status;
}

} // namespace appwidgets

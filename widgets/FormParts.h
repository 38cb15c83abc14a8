#pragma once
// Building blocks the dialogs share: a captioned radio group with an item
// index, hints on controls, and the sunken status line at a dialog's foot.

#include <QGroupBox>
#include <QStringList>

class QBoxLayout;
class QButtonGroup;
class QRadioButton;
class QLabel;
class QWidget;

namespace appwidgets {

// A group box of radio buttons laid out in `columns` columns. ItemIndex is
// -1 while no button is checked.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
public:
  TRadioGroup(const QString& caption, const QStringList& items, int columns,
              QWidget* parent = nullptr);
  int ItemIndex() const;
  void SetItemIndex(int index);
  int Count() const;
  QRadioButton* Button(int index) const;

signals:
  void ItemIndexChanged(int index);

private:
  QButtonGroup* m_group;
};

// A control's hint: the hint line shows the design text (statusTip); the
// tool tip shows its carriage returns as line breaks.
void SetHint(QWidget* widget, const QString& hint);

// The sunken status line at the foot of a dialog, added to its layout.
QLabel* AddStatusLine(QWidget* dialog, QBoxLayout* layout);

} // namespace appwidgets

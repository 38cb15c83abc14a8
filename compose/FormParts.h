#pragma once
// Building blocks the send dialog, the modem utilities and the preferences
// share: a captioned radio group with an item index, hints, the modem port
// set-up of these windows, and the line that says which device a Com entry is.

#include <QGroupBox>
#include <QStringList>

class QBoxLayout;
class QButtonGroup;
class QRadioButton;
class QLabel;
class QWidget;
class TFxCustomComPort;

namespace compose {

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

// The port of the send dialog and the modem utilities: 8 KB buffers,
// RTS/CTS flow, opened only when needed.
void SetUpModemPort(TFxCustomComPort& port);

// Keeps `label` saying which device the group's selected Com entry is, and
// puts each entry's device in its button's tool tip.
void ShowComDevices(TRadioGroup* comPort, QLabel* label);

// The sunken status line at the foot of a dialog, added to its layout.
QLabel* AddStatusLine(QWidget* dialog, QBoxLayout* layout);

// The Com entries "Com1" ... "Com6".
QStringList ComItems();

} // namespace compose

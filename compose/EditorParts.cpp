#include "compose/EditorParts.h"

#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "widgets/FormParts.h"
#include "compose/TParagraphPropDlg.h"
#include "richtext/RichEditor.h"
#include "richtext/RichToolBar.h"

#include <QAction>
#include <QActionGroup>
#include <QFontComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace compose {

TEnterEdit::TEnterEdit(const QString& objectName, int maxLength, const QString& hint,
                       QWidget* parent)
    : QLineEdit(parent) {
  setObjectName(objectName);
  setMaxLength(maxLength);
  setStatusTip(hint);
  setToolTip(hint);
}

void TEnterEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    focusNextChild();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

QPushButton* MakeButton(const QString& objectName, const QString& text, const QString& hint,
                        QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(objectName);
  appwidgets::SetHint(button, hint);
  return button;
}

QLabel* MakeStatusLabel(QWidget* parent) {
  auto* status = new QLabel(parent);
  status->setObjectName(QStringLiteral("status"));
  status->setAlignment(Qt::AlignCenter);
  status->setStyleSheet(QStringLiteral("color: blue"));
  status->setMinimumHeight(24);
  // A long status or hint text is cut at the window's edge: it never widens
  // the window.
  status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return status;
}

QAction* AddToolButton(richtext::TRichToolBar* bar, const QString& objectName, const QString& text,
                       const QString& hint, bool checkable) {
  QAction* action = bar->addAction(text);
  action->setObjectName(objectName);
  action->setStatusTip(hint);
  action->setToolTip(hint);
  action->setCheckable(checkable);
  if (QWidget* button = bar->widgetForAction(action))
    button->setObjectName(objectName);
  return action;
}

TEditorButtons AddEditorButtons(richtext::TRichToolBar* bar, const QString& pageBreakName,
                                const QString& paragraphName, const QString& wordWrapName) {
  // A narrower font list leaves room for the extra buttons, so that none of
  // them hides behind the toolbar's overflow arrow at the usual window width.
  bar->FontName->setMaximumWidth(bar->fontMetrics().averageCharWidth() * 22);
  bar->addSeparator();
  TEditorButtons b;
  b.PageBreak = AddToolButton(bar, pageBreakName, QStringLiteral("Page Break"),
                              QStringLiteral("Insert Page Break"));
  b.Paragraph = AddToolButton(bar, paragraphName, QStringLiteral("Paragraph"),
                              QStringLiteral("Paragraph properties"));
  b.WordWrap = AddToolButton(bar, wordWrapName, QStringLiteral("Wrap"),
                             QStringLiteral("Toggle word wrap on"), true);
  return b;
}

void AskPageBreak(richtext::TRichEditor& editor, QWidget* parent) {
  if (!appwidgets::AskYesNoDefaultNo(QStringLiteral("Add a page break here?"),
                                     QStringLiteral("Page Break"), parent))
    return;
  editor.InsertPageBreak();
  editor.Reformat();
}

void ShowWordWrap(const richtext::TRichEditor& editor, QAction* button) {
  const bool on = editor.WordWrap();
  const QString hint =
      on ? QStringLiteral("Toggle word wrap off") : QStringLiteral("Toggle word wrap on");
  button->setChecked(on);
  button->setStatusTip(hint);
  button->setToolTip(hint);
}

void ToggleWordWrap(richtext::TRichEditor& editor, QAction* button) {
  editor.SetWordWrap(!editor.WordWrap());
  ShowWordWrap(editor, button);
  editor.Repaint();
}

void EditParagraph(richtext::TRichEditor& editor, QWidget* parent) {
  TParagraphPropDlg dialog(editor, parent);
  dialog.exec();
}

QMenu* MakeZoomMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("ZoomMenu"));
  auto* group = new QActionGroup(menu);
  for (int zoom : {70, 80, 100}) {
    QAction* item = menu->addAction(ZoomCaption(zoom));
    item->setObjectName(QStringLiteral("Zoom%1").arg(zoom));
    item->setData(zoom);
    item->setCheckable(true);
    group->addAction(item);
  }
  // An exclusive group would keep one item checked; a zoom of another value
  // must show no check at all.
  group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
  return menu;
}

void CheckZoomItem(QMenu* menu, int zoom) {
  for (QAction* item : menu->actions())
    item->setChecked(item->data().toInt() == zoom);
}

QString ZoomCaption(int zoom) {
  return QString::number(zoom) + QLatin1Char('%');
}

bool CheckAnsiTexts(QWidget* parent, std::initializer_list<std::pair<QString, QLineEdit*>> fields) {
  for (const auto& [label, edit] : fields) {
    QString bad;
    for (const char32_t code : edit->text().toUcs4()) {
      const QString c = QString::fromUcs4(&code, 1);
      bool ok = true;
      appwidgets::ToAnsi(c, &ok);
      if (!ok && !bad.contains(c))
        bad += c;
    }
    if (bad.isEmpty())
      continue;
    appwidgets::ShowInfo(QStringLiteral("%1 holds characters that cannot be stored: %2\r"
                                        "Please replace them.")
                             .arg(label, bad),
                         parent);
    edit->setFocus();
    return false;
  }
  return true;
}

} // namespace compose

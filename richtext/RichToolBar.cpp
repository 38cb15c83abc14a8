#include "richtext/RichToolBar.h"

#include "richtext/RichEditor.h"

#include <QActionGroup>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace richtext {

TRichToolBar::TRichToolBar(TRichEditor* editor, QWidget* parent)
    : QToolBar(parent), m_editor(editor) {
  buildActions();
  connectEditor();
  showFormat(editor->currentCharFormat());
  showAlignment();
}

QAction* TRichToolBar::button(const QString& text, const QString& hint, bool checkable) {
  QAction* a = addAction(text);
  a->setToolTip(hint);
  a->setStatusTip(hint);
  a->setCheckable(checkable);
  return a;
}

void TRichToolBar::buildActions() {
  FontName = new QFontComboBox(this);
  FontName->setToolTip(tr("Font"));
  addWidget(FontName);
  FontSize = new QComboBox(this);
  FontSize->setEditable(true);
  FontSize->setToolTip(tr("Font size"));
  for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
    FontSize->addItem(QString::number(size));
  addWidget(FontSize);
  Normal = button(tr("N"), tr("Normal text"), false);
  Bold = button(tr("B"), tr("Bold"), true);
  Italic = button(tr("I"), tr("Italic"), true);
  Underline = button(tr("U"), tr("Underline"), true);
  addSeparator();
  AlignLeft = button(tr("Left"), tr("Align left"), true);
  AlignRight = button(tr("Right"), tr("Align right"), true);
  AlignJustify = button(tr("Justify"), tr("Justify"), true);
  AlignCenter = button(tr("Centre"), tr("Centre"), true);
  auto* group = new QActionGroup(this);
  for (QAction* a : {AlignLeft, AlignRight, AlignJustify, AlignCenter})
    group->addAction(a);
  addSeparator();
  Copy = button(tr("Copy"), tr("Copy"), false);
  Cut = button(tr("Cut"), tr("Cut"), false);
  Paste = button(tr("Paste"), tr("Paste"), false);
  addSeparator();
  SpellCheck = button(tr("Spelling"), tr("Check spelling"), false);
}

void TRichToolBar::mergeFormat(const QTextCharFormat& f) {
  m_editor->mergeCurrentCharFormat(f);
  m_editor->setFocus();
}

void TRichToolBar::connectEditor() {
  connect(FontName, &QFontComboBox::textActivated, this, [this](const QString& family) {
    QTextCharFormat f;
    f.setFontFamilies({family});
    mergeFormat(f);
  });
  connect(FontSize, &QComboBox::textActivated, this, [this](const QString& text) {
    const double size = text.toDouble();
    if (size < 8)
      return; // sizes start at 8 points
    QTextCharFormat f;
    f.setFontPointSize(size);
    mergeFormat(f);
  });
  connect(Normal, &QAction::triggered, this, [this] {
    QTextCharFormat f;
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(false);
    f.setFontUnderline(false);
    mergeFormat(f);
  });
  connect(Bold, &QAction::triggered, this, [this](bool on) {
    QTextCharFormat f;
    f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    mergeFormat(f);
  });
  connect(Italic, &QAction::triggered, this, [this](bool on) {
    QTextCharFormat f;
    f.setFontItalic(on);
    mergeFormat(f);
  });
  connect(Underline, &QAction::triggered, this, [this](bool on) {
    QTextCharFormat f;
    f.setFontUnderline(on);
    mergeFormat(f);
  });
  const std::pair<QAction*, Qt::Alignment> aligns[] = {{AlignLeft, Qt::AlignLeft},
                                                       {AlignRight, Qt::AlignRight},
                                                       {AlignJustify, Qt::AlignJustify},
                                                       {AlignCenter, Qt::AlignHCenter}};
  for (const auto& [action, align] : aligns)
    connect(action, &QAction::triggered, this,
            [this, align = align] { m_editor->setAlignment(align); });
  connect(Copy, &QAction::triggered, m_editor, &QTextEdit::copy);
  connect(Cut, &QAction::triggered, m_editor, &QTextEdit::cut);
  connect(Paste, &QAction::triggered, m_editor, &QTextEdit::paste);
  connect(SpellCheck, &QAction::triggered, m_editor, &TRichEditor::StartSpellCheck);
  connect(m_editor, &QTextEdit::currentCharFormatChanged, this, &TRichToolBar::showFormat);
  connect(m_editor, &QTextEdit::cursorPositionChanged, this, &TRichToolBar::showAlignment);
}

void TRichToolBar::showFormat(const QTextCharFormat& f) {
  const QFont font = f.font();
  const QSignalBlocker b1(FontName), b2(FontSize);
  FontName->setCurrentFont(font);
  // The edit shows a name from its start: a long family name is cut at its
  // end, never at its beginning.
  if (FontName->lineEdit())
    FontName->lineEdit()->setCursorPosition(0);
  const double size = f.fontPointSize() > 0 ? f.fontPointSize() : font.pointSizeF();
  FontSize->setEditText(QString::number(size));
  Bold->setChecked(f.fontWeight() >= QFont::DemiBold);
  Italic->setChecked(f.fontItalic());
  Underline->setChecked(f.fontUnderline());
}

void TRichToolBar::showAlignment() {
  const Qt::Alignment a = m_editor->alignment();
  if (a & Qt::AlignJustify)
    AlignJustify->setChecked(true);
  else if (a & Qt::AlignHCenter)
    AlignCenter->setChecked(true);
  else if (a & Qt::AlignRight)
    AlignRight->setChecked(true);
  else
    AlignLeft->setChecked(true);
}

} // namespace richtext

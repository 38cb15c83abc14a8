#pragma once

#include <QToolBar>

class QComboBox;
class QFontComboBox;
class QTextCharFormat;

namespace richtext {

class TRichEditor;

// The formatting bar attached to one editor: font name, size (from 8),
// normal, bold, italic, underline, the four alignments, copy, cut, paste and
// the spelling check. Windows add their own buttons with addAction/addWidget.
class TRichToolBar : public QToolBar {
  Q_OBJECT
public:
  explicit TRichToolBar(TRichEditor* editor, QWidget* parent = nullptr);

  QFontComboBox* FontName = nullptr;
  QComboBox* FontSize = nullptr;
  QAction* Normal = nullptr;
  QAction* Bold = nullptr;
  QAction* Italic = nullptr;
  QAction* Underline = nullptr;
  QAction* AlignLeft = nullptr;
  QAction* AlignRight = nullptr;
  QAction* AlignJustify = nullptr;
  QAction* AlignCenter = nullptr;
  QAction* Copy = nullptr;
  QAction* Cut = nullptr;
  QAction* Paste = nullptr;
  QAction* SpellCheck = nullptr;

private:
  QAction* button(const QString& text, const QString& hint, bool checkable);
  void buildActions();
  void connectEditor();
  void showFormat(const QTextCharFormat& f);
  void showAlignment();
  void mergeFormat(const QTextCharFormat& f);

  TRichEditor* m_editor;
};

} // namespace richtext

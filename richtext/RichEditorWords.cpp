// Merge fields and the word iteration of the spelling check.
#include "richtext/MergeField.h"
#include "richtext/MergeFieldHighlighter.h"
#include "richtext/RichEditor.h"

#include <QTextBlock>

namespace richtext {
namespace {

constexpr int kMaxMergeText = 100;

bool isWordChar(QChar c) {
  return c.isLetterOrNumber();
}
// An apostrophe or hyphen joins letters into one word (JOHN'S, co-operate).
bool isJoiner(QChar c) {
  return c == QLatin1Char('\'') || c == QChar(0x2019) || c == QLatin1Char('-');
}

} // namespace

void TRichEditor::InsertMergeField(int tag, const QString& displayText) {
  QTextCursor c = textCursor();
  insertMergeField(c, tag, displayText);
  setTextCursor(c);
  Repaint();
}

void TRichEditor::FillMergeFields() {
  if (!OnGetTextToInsert)
    return;
  const QList<MergeFieldSpan> fields = findMergeFields(*document());
  // Ask in text order, then replace from the end so earlier positions hold.
  QList<std::optional<QString>> texts;
  for (const MergeFieldSpan& f : fields) {
    std::optional<QString> t = OnGetTextToInsert(f.tag);
    if (t)
      t = t->left(kMaxMergeText);
    texts.append(t);
  }
  QTextCursor edit(document());
  edit.beginEditBlock();
  for (qsizetype i = fields.size() - 1; i >= 0; --i)
    if (texts[i])
      replaceMergeFieldText(*document(), fields[i], *texts[i]);
  edit.endEditBlock();
}

void TRichEditor::SetHideFieldMarkers(bool hide) {
  if (hide == m_hideMarkers)
    return;
  m_hideMarkers = hide;
  m_highlighter->setDocument(hide ? nullptr : document());
  Repaint();
}

void TRichEditor::dropFieldFromTypingFormat() {
  // Text typed at a field's end gets the field's format from Qt; it must
  // not become part of the field.
  QTextCharFormat f = currentCharFormat();
  if (!f.hasProperty(kMergeTagProperty) || textCursor().hasSelection())
    return;
  QTextCursor c = textCursor();
  const QTextCharFormat next = [&] {
    QTextCursor n = c;
    n.movePosition(QTextCursor::NextCharacter);
    return n.charFormat();
  }();
  // Inside a field the caret keeps the field's format.
  if (next.intProperty(kMergeIdProperty) == f.intProperty(kMergeIdProperty) && !c.atBlockEnd())
    return;
  f.clearProperty(kMergeTagProperty);
  f.clearProperty(kMergeIdProperty);
  setCurrentCharFormat(f);
}

void TRichEditor::StartWordIteration() {
  ClearWordMarking();
  m_wordNext = 0;
}

QString TRichEditor::NextWord() {
  const QTextDocument* doc = document();
  const int end = doc->characterCount() - 1;
  int pos = m_wordNext;
  for (;;) {
    while (pos < end && !isWordChar(doc->characterAt(pos)))
      ++pos;
    if (pos >= end) {
      m_wordStart = -1;
      m_wordLength = 0;
      m_wordNext = end;
      return {};
    }
    const int start = pos;
    bool hasLetter = false;
    while (pos < end) {
      const QChar c = doc->characterAt(pos);
      if (isWordChar(c)) {
        hasLetter = hasLetter || c.isLetter();
        ++pos;
      } else if (isJoiner(c) && pos + 1 < end && isWordChar(doc->characterAt(pos + 1))) {
        ++pos;
      } else {
        break;
      }
    }
    if (!hasLetter)
      continue; // numbers are not spelled
    m_wordStart = start;
    m_wordLength = pos - start;
    m_wordNext = pos;
    QString word;
    for (int i = start; i < pos; ++i)
      word.append(doc->characterAt(i));
    return word;
  }
}

void TRichEditor::MarkCurrentWord() {
  if (m_wordStart < 0)
    return;
  QTextCursor c(document());
  c.setPosition(m_wordStart);
  c.setPosition(m_wordStart + m_wordLength, QTextCursor::KeepAnchor);
  setTextCursor(c);
  ensureCursorVisible();
  m_wordMarked = true;
}

void TRichEditor::ReplaceMarkedWord(const QString& text) {
  if (!m_wordMarked || m_wordStart < 0)
    return;
  QTextCursor c(document());
  c.setPosition(m_wordStart + 1);
  const QTextCharFormat fmt = c.charFormat();
  c.setPosition(m_wordStart);
  c.setPosition(m_wordStart + m_wordLength, QTextCursor::KeepAnchor);
  c.insertText(text, fmt);
  m_wordNext = m_wordStart + int(text.size());
  m_wordLength = int(text.size());
  m_wordMarked = false;
  setTextCursor(c);
}

void TRichEditor::ClearWordMarking() {
  m_wordMarked = false;
  m_wordStart = -1;
  m_wordLength = 0;
  m_wordNext = 0;
  QTextCursor c = textCursor();
  c.clearSelection();
  setTextCursor(c);
}

} // namespace richtext

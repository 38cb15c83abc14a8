#include "richtext/RtfParser.h"

#include "richtext/Ansi.h"
#include "richtext/MergeField.h"
#include "richtext/Units.h"

#include <QTextBlock>
#include <QTextDocument>

namespace richtext::rtf {

int clampTwips(int v) {
  return std::clamp(v, -kMaxTwips, kMaxTwips);
}

// Destinations whose content is never document text.
bool isSkippedDestination(const std::string& w) {
  // Objects are not listed: their \result shows what the object looks like.
  // Running headers and footers belong to the page, not to the body text.
  static const char* const names[] = {"stylesheet",
                                      "info",
                                      "footnote",
                                      "annotation",
                                      "xe",
                                      "tc",
                                      "listtable",
                                      "listoverridetable",
                                      "revtbl",
                                      "rsidtbl",
                                      "generator",
                                      "objdata",
                                      "datastore",
                                      "themedata",
                                      "colorschememapping",
                                      "latentstyles",
                                      "nonshppict",
                                      "fldtype",
                                      "pgdsctbl",
                                      "filetbl",
                                      "template",
                                      "docvar",
                                      "userprops",
                                      "txe",
                                      "atnauthor",
                                      "atndate",
                                      "header",
                                      "headerl",
                                      "headerr",
                                      "headerf",
                                      "footer",
                                      "footerl",
                                      "footerr",
                                      "footerf"};
  for (const char* n : names)
    if (w == n)
      return true;
  return false;
}

// Control characters carry nothing to show, and QTextDocument reserves the
// object and frame marks for its own structure.
bool isShownCharacter(QChar ch) {
  const char16_t u = ch.unicode();
  if (u < 0x20)
    return u == '\t';
  return u != QChar::ParagraphSeparator && u != QChar::ObjectReplacementCharacter &&
         !(u >= 0xFDD0 && u <= 0xFDEF) && u != 0xFFFE && u != 0xFFFF;
}

void RtfParser::run(TPageLayout* layout) {
  m_doc.clear();
  m_cursor = QTextCursor(&m_doc);
  for (;;) {
    const RtfTokenizer::Token t = m_tok.next();
    using K = RtfTokenizer::Kind;
    if (t.kind == K::End) {
      if (m_tok.atEnd())
        break;
      continue;
    }
    if (t.kind != K::Word)
      m_ignorableNext = m_ignorableNext && t.kind == K::Symbol && t.symbol == '*';
    switch (t.kind) {
    case K::GroupStart:
      openGroup();
      break;
    case K::GroupEnd:
      closeGroup();
      break;
    case K::Word:
      word(t);
      break;
    case K::Symbol:
      symbol(t.symbol);
      break;
    case K::HexByte:
      addByte(t.byte);
      break;
    case K::Text:
      for (char c : t.word)
        addByte(static_cast<unsigned char>(c));
      break;
    default:
      break;
    }
  }
  while (m_fields.size() > 0)
    finishField();
  flush();
  if (!m_blockEnded || m_blockBreak) {
    startBlock(); // a page break at the very end keeps its empty page
    m_cursor.setBlockFormat(blockFormat());
    m_cursor.setBlockCharFormat(charFormat());
  }
  if (layout && m_layoutSeen)
    *layout = m_layout;
}

void RtfParser::openGroup() {
  flush();
  m_skipChars = 0;
  if (m_overflowDepth > 0 || int(m_stack.size()) >= kMaxDepth) {
    ++m_overflowDepth;
    return;
  }
  m_stack.push_back(m_stack.back());
}

void RtfParser::closeGroup() {
  flush();
  m_skipChars = 0;
  if (m_overflowDepth > 0) {
    --m_overflowDepth;
    return;
  }
  if (m_stack.size() <= 1)
    return; // unbalanced "}": ignore
  const RtfGroupState closing = m_stack.back();
  m_stack.pop_back();
  if (closing.dest == RtfDest::FontEntry && !m_fontName.trimmed().isEmpty()) {
    // A font entry without its ";" still names its font.
    m_fonts.insert(closing.chr.font, m_fontName.trimmed());
    m_fontName.clear();
  }
  if (!m_fields.empty() && m_fields.back().depth == int(m_stack.size()))
    finishField();
  if (!m_pictures.empty() && m_pictures.back().depth == int(m_stack.size()))
    finishPicture();
}

void RtfParser::finishField() {
  flush();
  FieldContext f = m_fields.back();
  m_fields.pop_back();
  if (f.hadResult)
    return;
  // A merge field stored without a result shows its display text.
  const QString inst = QString::fromLatin1(f.instruction.c_str()).simplified();
  const QStringList parts = inst.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (parts.size() >= 2 &&
      parts[0].compare(QLatin1String("MERGEFIELD"), Qt::CaseInsensitive) == 0) {
    QString name = parts[1];
    name.remove(QLatin1Char('"'));
    if (const int tag = mergeFieldTagFromName(name)) {
      QTextCharFormat fmt = charFormat();
      fmt.setProperty(kMergeTagProperty, tag);
      fmt.setProperty(kMergeIdProperty, newMergeFieldId());
      startBlock();
      m_cursor.insertText(mergeFieldDisplayText(tag), fmt);
      m_blockHasContent = true;
    }
  }
}

void RtfParser::symbol(char c) {
  if (m_overflowDepth > 0)
    return;
  switch (c) {
  case '*':
    m_ignorableNext = true;
    return;
  case '\\':
  case '{':
  case '}':
    addChar(QLatin1Char(c));
    return;
  case '~':
    addChar(QChar(0x00A0));
    return;
  case '_':
    addChar(QChar(0x2011));
    return;
  case '\t':
    addChar(QLatin1Char('\t'));
    return;
  default:
    // \- (optional hyphen), \| and other symbols have nothing to show, but
    // they still stand in for a \u character.
    if (m_skipChars > 0)
      --m_skipChars;
    return;
  }
}

void RtfParser::addByte(unsigned char b) {
  if (m_overflowDepth > 0)
    return;
  const int font = st().chr.font < 0 ? m_defaultFont : st().chr.font;
  const QChar symbol = m_symbolFonts.contains(font) ? fromSymbolFont(b) : QChar();
  addChar(symbol.isNull() ? ansiToUnicode(b) : symbol);
}

void RtfParser::addChar(QChar ch) {
  if (m_skipChars > 0 && ch.unicode() != QChar::LineSeparator) {
    --m_skipChars;
    return;
  }
  RtfGroupState& s = st();
  switch (s.dest) {
  case RtfDest::Text:
  case RtfDest::FieldResult:
    break;
  case RtfDest::FieldInst:
    if (!m_fields.empty() && m_fields.back().instruction.size() < 1024 && ch.unicode() < 128)
      m_fields.back().instruction.push_back(char(ch.unicode()));
    return;
  case RtfDest::FontEntry:
  case RtfDest::FontTable:
    if (ch == QLatin1Char(';')) {
      m_fonts.insert(s.chr.font, m_fontName.trimmed());
      m_fontName.clear();
    } else if (m_fontName.size() < 128 && isShownCharacter(ch) && ch != QLatin1Char('\t') &&
               ch != QChar(QChar::LineSeparator)) {
      m_fontName.append(ch);
    }
    return;
  case RtfDest::ColorTable:
    if (ch == QLatin1Char(';') && m_colors.size() < 1024) {
      m_colors.push_back(m_colorBuild);
      m_colorBuild = QColor(0, 0, 0);
    }
    return;
  case RtfDest::Picture:
    if (ch.unicode() < 128)
      pictureHex(char(ch.unicode()));
    return;
  case RtfDest::ShapeName:
    if (m_shapeProperty.size() < 64 && ch.unicode() < 128 && ch.isLetterOrNumber())
      m_shapeProperty.push_back(char(ch.unicode()));
    return;
  case RtfDest::Shape:
  case RtfDest::Skip:
    return;
  }
  if (!isShownCharacter(ch)) {
    if (ch == QChar(QChar::ParagraphSeparator))
      endParagraph();
    return;
  }
  const FormatKey key = formatKey();
  if (!m_pending.isEmpty() && !(key == m_pendingKey))
    flush();
  if (m_pending.isEmpty())
    m_pendingKey = key;
  m_pending.append(ch);
}

void RtfParser::flush() {
  if (m_pending.isEmpty())
    return;
  startBlock();
  m_cursor.insertText(m_pending, format(m_pendingKey));
  m_pending.clear();
  m_blockHasContent = true;
}

FormatKey RtfParser::formatKey() const {
  const RtfGroupState& s = m_stack.back();
  FormatKey key{s.chr, 0, 0};
  if (s.dest == RtfDest::FieldResult && !m_fields.empty() && m_fields.back().tag > 0) {
    key.tag = m_fields.back().tag;
    key.id = m_fields.back().id;
  }
  return key;
}

QTextCharFormat RtfParser::format(const FormatKey& key) const {
  const RtfCharState& c = key.chr;
  QTextCharFormat fmt;
  // Symbol-encoded fonts are not used: their characters were mapped to
  // Unicode, which the document's default font draws.
  const int number = c.font < 0 ? m_defaultFont : c.font;
  const QString family = m_symbolFonts.contains(number)
                             ? m_fonts.value(m_defaultFont)
                             : m_fonts.value(number, m_fonts.value(m_defaultFont));
  if (!family.isEmpty())
    fmt.setFontFamilies({family});
  fmt.setFontPointSize(c.halfPoints / 2.0);
  fmt.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
  fmt.setFontItalic(c.italic);
  fmt.setFontUnderline(c.underline);
  if (c.strike)
    fmt.setFontStrikeOut(true);
  if (c.color > 0 && c.color < int(m_colors.size()))
    fmt.setForeground(m_colors[c.color]);
  if (key.tag > 0) {
    fmt.setProperty(kMergeTagProperty, key.tag);
    fmt.setProperty(kMergeIdProperty, key.id);
  }
  return fmt;
}

QTextBlockFormat RtfParser::blockFormat() const {
  const RtfParaState& a = m_stack.back().para;
  QTextBlockFormat b;
  b.setAlignment(a.align);
  b.setLeftMargin(twipsToUnits(a.leftIndent));
  b.setRightMargin(twipsToUnits(a.rightIndent));
  b.setTextIndent(twipsToUnits(a.firstIndent));
  b.setTopMargin(twipsToUnits(a.spaceBefore));
  b.setBottomMargin(twipsToUnits(a.spaceAfter));
  if (a.lineSpacing != 0) {
    if (a.lineMultiple && a.lineSpacing > 0)
      b.setLineHeight(a.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    else if (a.lineSpacing > 0)
      b.setLineHeight(twipsToUnits(a.lineSpacing), QTextBlockFormat::MinimumHeight);
    else
      b.setLineHeight(twipsToUnits(-a.lineSpacing), QTextBlockFormat::FixedHeight);
  }
  if (!a.tabs.isEmpty()) {
    QList<QTextOption::Tab> tabs;
    // RTF measures tab stops from the page margin, Qt from the paragraph's
    // left indent.
    for (int t : a.tabs)
      tabs.append(QTextOption::Tab(twipsToUnits(t - a.leftIndent), QTextOption::LeftTab));
    b.setTabPositions(tabs);
  }
  if (a.pageBreakBefore || m_blockBreak)
    b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
  return b;
}

void RtfParser::endParagraph() {
  if (st().dest != RtfDest::Text && st().dest != RtfDest::FieldResult)
    return;
  flush();
  startBlock();
  m_cursor.setBlockFormat(blockFormat());
  // The paragraph mark's format gives an empty line its height.
  m_cursor.setBlockCharFormat(charFormat());
  m_blockBreak = false;
  m_blockEnded = true;
}

void RtfParser::startBlock() {
  if (!m_blockEnded)
    return;
  m_cursor.insertBlock(QTextBlockFormat(), charFormat());
  m_blockHasContent = false;
  m_blockEnded = false;
}

void RtfParser::pageBreak() {
  if (st().dest != RtfDest::Text && st().dest != RtfDest::FieldResult)
    return;
  flush();
  if (m_blockHasContent && !m_blockEnded)
    endParagraph(); // the break comes inside a paragraph: the rest goes on the new page
  m_blockBreak = true;
}

} // namespace richtext::rtf

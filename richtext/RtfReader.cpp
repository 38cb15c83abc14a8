#include "richtext/RtfReader.h"

#include "richtext/Ansi.h"
#include "richtext/MergeField.h"
#include "richtext/RtfReaderState.h"
#include "richtext/RtfTokenizer.h"
#include "richtext/Units.h"

#include <QColor>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

namespace richtext {
namespace {

constexpr int kMaxDepth = 128;   // deeper groups are read as skipped content
constexpr int kMaxTwips = 31680; // 22 inches: larger values are nonsense
constexpr int kMaxHalfPoints = 3276;

int clampTwips(int v) {
  return std::clamp(v, -kMaxTwips, kMaxTwips);
}

// Destinations whose content is never document text.
bool isSkippedDestination(const std::string& w) {
  // Objects are not listed: their \result shows what the object looks like.
  static const char* const names[] = {
      "stylesheet",        "info",      "pict",       "footnote",
      "annotation",        "xe",        "tc",         "listtable",
      "listoverridetable", "revtbl",    "rsidtbl",    "generator",
      "objdata",           "datastore", "themedata",  "colorschememapping",
      "latentstyles",      "shp",       "nonshppict", "fldtype",
      "pgdsctbl",          "filetbl",   "template",   "docvar",
      "userprops",         "txe",       "atnauthor",  "atndate"};
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

// What decides the format of a character; cheap to compare per character.
struct FormatKey {
  RtfCharState chr;
  int tag = 0; // merge field tag and identity, 0 outside merge fields
  int id = 0;
  bool operator==(const FormatKey&) const = default;
};

struct FieldContext {
  int depth = 0; // group depth of the \field group
  std::string instruction;
  bool hadResult = false;
  int tag = 0;
  int id = 0;
};

class RtfParser {
public:
  RtfParser(std::string_view data, QTextDocument& doc) : m_tok(data), m_doc(doc), m_cursor(&doc) {}
  void run(TPageLayout* layout);

private:
  RtfGroupState& st() { return m_stack.back(); }
  void openGroup();
  void closeGroup();
  void word(const RtfTokenizer::Token& t);
  bool charWord(const std::string& w, bool has, int p);
  bool paraWord(const std::string& w, bool has, int p);
  bool specialChar(const std::string& w, int p);
  bool destinationWord(const std::string& w);
  void symbol(char c);
  void addChar(QChar ch);
  void addByte(unsigned char b);
  void flush();
  void endParagraph();
  void startBlock();
  void pageBreak();
  void finishField();
  FormatKey formatKey() const;
  QTextCharFormat format(const FormatKey& key) const;
  QTextCharFormat charFormat() const { return format(formatKey()); }
  QTextBlockFormat blockFormat() const;
  void applyLayoutWord(const std::string& w, int p);

  RtfTokenizer m_tok;
  QTextDocument& m_doc;
  QTextCursor m_cursor;
  std::vector<RtfGroupState> m_stack{RtfGroupState{}};
  int m_overflowDepth = 0; // groups opened beyond kMaxDepth
  bool m_ignorableNext = false;
  int m_skipChars = 0; // fallback characters still to drop after \u
  QString m_pending;   // text not yet inserted, all in the current format
  FormatKey m_pendingKey;
  bool m_blockHasContent = false;
  bool m_blockBreak = false; // the block to come starts a new page (\page)
  // The current block has ended (\par); the next one is made only when
  // something follows, so a final \par adds no empty paragraph.
  bool m_blockEnded = false;
  int m_defaultFont = 0;
  QHash<int, QString> m_fonts;
  QString m_fontName;
  std::vector<QColor> m_colors;
  QColor m_colorBuild{0, 0, 0};
  std::vector<FieldContext> m_fields;
  TPageLayout m_layout;
  bool m_layoutSeen = false;
};

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
}

void RtfParser::word(const RtfTokenizer::Token& t) {
  const bool ignorable = m_ignorableNext;
  m_ignorableNext = false;
  if (m_overflowDepth > 0)
    return;
  const std::string& w = t.word;
  const int p = t.param;
  if (w == "bin") {
    m_tok.skipBytes(t.hasParam && p > 0 ? std::size_t(p) : 0);
    return;
  }
  if (destinationWord(w))
    return;
  if (ignorable || isSkippedDestination(w)) {
    flush();
    st().dest = RtfDest::Skip;
    return;
  }
  if (st().dest == RtfDest::Skip)
    return;
  if (st().dest == RtfDest::FontTable || st().dest == RtfDest::FontEntry) {
    if (w == "f" && t.hasParam) {
      st().dest = RtfDest::FontEntry;
      st().chr.font = p;
      m_fontName.clear();
    }
    return;
  }
  if (st().dest == RtfDest::ColorTable) {
    const int v = std::clamp(p, 0, 255);
    if (w == "red")
      m_colorBuild.setRed(v);
    else if (w == "green")
      m_colorBuild.setGreen(v);
    else if (w == "blue")
      m_colorBuild.setBlue(v);
    return;
  }
  if (charWord(w, t.hasParam, p) || paraWord(w, t.hasParam, p) || specialChar(w, p))
    return;
  applyLayoutWord(w, p);
}

bool RtfParser::destinationWord(const std::string& w) {
  if (st().dest == RtfDest::Skip)
    return false;
  if (w == "fonttbl") {
    st().dest = RtfDest::FontTable;
  } else if (w == "colortbl") {
    st().dest = RtfDest::ColorTable;
    m_colorBuild = QColor(0, 0, 0);
  } else if (w == "field") {
    flush();
    if (st().dest != RtfDest::Skip && st().dest != RtfDest::FieldInst) {
      FieldContext f;
      f.depth = int(m_stack.size()) - 1;
      m_fields.push_back(f);
      ++st().fieldDepth;
    }
  } else if (w == "fldinst") {
    if (!m_fields.empty() && st().dest != RtfDest::Skip)
      st().dest = RtfDest::FieldInst;
    else
      st().dest = RtfDest::Skip;
  } else if (w == "fldrslt") {
    flush();
    if (m_fields.empty() || st().dest == RtfDest::Skip) {
      st().dest = RtfDest::Skip;
      return true;
    }
    FieldContext& f = m_fields.back();
    if (!f.hadResult) {
      f.hadResult = true;
      const QString inst = QString::fromLatin1(f.instruction.c_str()).simplified();
      const QStringList parts = inst.split(QLatin1Char(' '), Qt::SkipEmptyParts);
      if (parts.size() >= 2 &&
          parts[0].compare(QLatin1String("MERGEFIELD"), Qt::CaseInsensitive) == 0) {
        QString name = parts[1];
        name.remove(QLatin1Char('"'));
        f.tag = mergeFieldTagFromName(name);
        f.id = f.tag ? newMergeFieldId() : 0;
      }
    }
    st().dest = RtfDest::FieldResult;
  } else {
    return false;
  }
  return true;
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

bool RtfParser::charWord(const std::string& w, bool has, int p) {
  RtfCharState& c = st().chr;
  const bool on = !has || p != 0;
  if (w == "plain") {
    c = RtfCharState{};
  } else if (w == "f") {
    c.font = p;
  } else if (w == "fs") {
    c.halfPoints = has && p > 0 ? std::min(p, kMaxHalfPoints) : 24;
  } else if (w == "b") {
    c.bold = on;
  } else if (w == "i") {
    c.italic = on;
  } else if (w == "strike") {
    c.strike = on;
  } else if (w == "ulnone") {
    c.underline = false;
  } else if (w.size() >= 2 && w.compare(0, 2, "ul") == 0 && w != "ulc") {
    c.underline = on; // \ul, \uld, \uldb, \ulw ...: all shown as underline
  } else if (w == "cf") {
    c.color = std::max(p, 0);
  } else if (w == "uc") {
    st().unicodeSkip = std::clamp(p, 0, 16);
  } else if (w == "deff") {
    m_defaultFont = p;
  } else {
    return false;
  }
  return true;
}

bool RtfParser::paraWord(const std::string& w, bool has, int p) {
  RtfParaState& a = st().para;
  if (w == "pard") {
    a = RtfParaState{};
  } else if (w == "ql") {
    a.align = Qt::AlignLeft;
  } else if (w == "qr") {
    a.align = Qt::AlignRight;
  } else if (w == "qc") {
    a.align = Qt::AlignHCenter;
  } else if (w == "qj") {
    a.align = Qt::AlignJustify;
  } else if (w == "fi") {
    a.firstIndent = clampTwips(p);
  } else if (w == "li") {
    a.leftIndent = clampTwips(p);
  } else if (w == "ri") {
    a.rightIndent = clampTwips(p);
  } else if (w == "sb") {
    a.spaceBefore = std::clamp(p, 0, kMaxTwips);
  } else if (w == "sa") {
    a.spaceAfter = std::clamp(p, 0, kMaxTwips);
  } else if (w == "sl") {
    a.lineSpacing = clampTwips(p);
  } else if (w == "slmult") {
    a.lineMultiple = !has || p != 0;
  } else if (w == "pagebb") {
    a.pageBreakBefore = !has || p != 0;
  } else if (w == "tx" || w == "tb") {
    if (a.tabs.size() < 64 && p > 0 && p <= kMaxTwips)
      a.tabs.append(p);
  } else {
    return false;
  }
  return true;
}

bool RtfParser::specialChar(const std::string& w, int p) {
  if (w == "par" || w == "sect") {
    endParagraph();
  } else if (w == "row" || w == "nestrow") {
    if (m_pending.endsWith(QLatin1Char('\t')))
      m_pending.chop(1); // the last cell needs no separator
    endParagraph();
  } else if (w == "page") {
    pageBreak();
  } else if (w == "line") {
    addChar(QChar(QChar::LineSeparator));
  } else if (w == "tab" || w == "cell" || w == "nestcell") {
    addChar(QLatin1Char('\t'));
  } else if (w == "u") {
    const int code = p < 0 ? p + 65536 : p;
    m_skipChars = 0;
    addChar(code > 0 && code < 65536 ? QChar(char16_t(code)) : QChar(QChar::ReplacementCharacter));
    m_skipChars = st().unicodeSkip;
  } else if (w == "emdash") {
    addChar(QChar(0x2014));
  } else if (w == "endash") {
    addChar(QChar(0x2013));
  } else if (w == "bullet") {
    addChar(QChar(0x2022));
  } else if (w == "lquote") {
    addChar(QChar(0x2018));
  } else if (w == "rquote") {
    addChar(QChar(0x2019));
  } else if (w == "ldblquote") {
    addChar(QChar(0x201C));
  } else if (w == "rdblquote") {
    addChar(QChar(0x201D));
  } else {
    return false;
  }
  return true;
}

void RtfParser::applyLayoutWord(const std::string& w, int p) {
  const int v = std::clamp(p, 0, kMaxTwips);
  int* target = nullptr;
  if (w == "paperw")
    target = &m_layout.width;
  else if (w == "paperh")
    target = &m_layout.height;
  else if (w == "margl")
    target = &m_layout.left;
  else if (w == "margr")
    target = &m_layout.right;
  else if (w == "margt")
    target = &m_layout.top;
  else if (w == "margb")
    target = &m_layout.bottom;
  if (target && m_stack.size() <= 2) {
    *target = v;
    m_layoutSeen = true;
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
  addChar(ansiToUnicode(b));
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
    } else if (m_fontName.size() < 128 && isShownCharacter(ch) && ch != QLatin1Char('\t')) {
      m_fontName.append(ch);
    }
    return;
  case RtfDest::ColorTable:
    if (ch == QLatin1Char(';') && m_colors.size() < 1024) {
      m_colors.push_back(m_colorBuild);
      m_colorBuild = QColor(0, 0, 0);
    }
    return;
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
  const QString family =
      m_fonts.value(c.font < 0 ? m_defaultFont : c.font, m_fonts.value(m_defaultFont));
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

} // namespace

bool readRtf(std::string_view data, QTextDocument& doc, TPageLayout* layout) {
  const bool looksLikeRtf = data.substr(0, 5) == "{\\rtf";
  RtfParser parser(data, doc);
  parser.run(layout);
  return looksLikeRtf;
}

} // namespace richtext

// Control words of RTF: destinations, character and paragraph properties,
// special characters and the page layout.
#include "richtext/MergeField.h"
#include "richtext/RtfParser.h"

namespace richtext::rtf {

void RtfParser::word(const RtfTokenizer::Token& t) {
  const bool ignorable = m_ignorableNext;
  m_ignorableNext = false;
  if (m_overflowDepth > 0)
    return;
  const std::string& w = t.word;
  const int p = t.param;
  if (st().dest == RtfDest::Picture && !ignorable) {
    if (w == "bin") {
      const std::string_view bytes = m_tok.takeBytes(t.hasParam && p > 0 ? std::size_t(p) : 0);
      m_pictures.back().data.append(bytes);
    } else {
      pictureWord(w, t.hasParam, p);
    }
    return;
  }
  if (st().dest == RtfDest::Shape || st().dest == RtfDest::ShapeName) {
    shapeWord(t);
    return;
  }
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
    } else if (w == "u") {
      specialChar(w, p); // a font name may hold any character
    } else if (w == "fcharset" && p == 2 && st().dest == RtfDest::FontEntry) {
      m_symbolFonts.insert(st().chr.font, QString()); // Symbol, Wingdings and the like
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
  if (w == "pict") {
    flush();
    if (st().dest == RtfDest::Text || st().dest == RtfDest::FieldResult ||
        st().dest == RtfDest::Shape) {
      m_pictures.clear(); // a \pict inside a \pict is not a picture of its own
      PictureContext picture;
      picture.depth = int(m_stack.size()) - 1;
      m_pictures.push_back(std::move(picture));
      st().dest = RtfDest::Picture;
    } else {
      st().dest = RtfDest::Skip;
    }
  } else if (w == "shp" || w == "shpgrp") {
    flush();
    const bool shown = st().dest == RtfDest::Text || st().dest == RtfDest::FieldResult;
    st().dest = shown ? RtfDest::Shape : RtfDest::Skip;
    m_shapeGavePicture = false;
  } else if (w == "shppict") {
    // Word's and LibreOffice's wrapper of a picture: its \pict is read;
    // the \nonshppict fallback beside it is skipped.
  } else if (w == "fonttbl") {
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
    // Characters of a Symbol-encoded font in the private area (U+F020 to
    // U+F0FF, such as U+F0B7, Word's list bullet) become the Unicode
    // characters they show.
    const int font = st().chr.font < 0 ? m_defaultFont : st().chr.font;
    const QChar symbol = code >= 0xF020 && code <= 0xF0FF && m_symbolFonts.contains(font)
                             ? fromSymbolFont(unsigned(code & 0xFF))
                             : QChar();
    if (!symbol.isNull())
      addChar(symbol);
    else
      addChar(code > 0 && code < 65536 ? QChar(char16_t(code))
                                       : QChar(QChar::ReplacementCharacter));
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

} // namespace richtext::rtf

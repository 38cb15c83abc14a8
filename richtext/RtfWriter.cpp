#include "richtext/RtfWriter.h"

#include "richtext/Ansi.h"
#include "richtext/MergeField.h"
#include "richtext/Units.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <cmath>

namespace richtext {
namespace {

class RtfEmitter {
public:
  RtfEmitter(const QTextDocument& doc, const TPageLayout& layout) : m_doc(doc), m_layout(layout) {}
  std::string run();

private:
  void collectTables();
  int fontIndex(const QTextCharFormat& fmt) const;
  int colorIndex(const QTextCharFormat& fmt) const;
  std::string header() const;
  void block(const QTextBlock& b);
  void paragraphProps(const QTextBlockFormat& f);
  std::string charProps(const QTextCharFormat& f) const;
  void run(const QTextFragment& frag);
  void flushRun();
  void text(const QString& s);
  void picture(const QTextImageFormat& f);
  void openField(int tag);
  void closeField();

  const QTextDocument& m_doc;
  TPageLayout m_layout;
  QStringList m_fonts;
  QList<QRgb> m_colors;
  std::string m_out;
  int m_fieldId = 0;      // identity of the merge field being written, 0 = none
  std::string m_runProps; // properties of the run not yet written, "" = none
  QString m_runText;
};

QString familyOf(const QTextCharFormat& fmt, const QTextDocument& doc) {
  const QStringList families = fmt.fontFamilies().toStringList();
  if (!families.isEmpty() && !families.first().isEmpty())
    return families.first();
  return doc.defaultFont().family();
}

int twips(double units) {
  return unitsToTwips(units);
}

void RtfEmitter::collectTables() {
  m_fonts.append(m_doc.defaultFont().family());
  for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
    QList<QTextCharFormat> formats{b.charFormat()};
    for (auto it = b.begin(); !it.atEnd(); ++it)
      formats.append(it.fragment().charFormat());
    for (const QTextCharFormat& f : formats) {
      QString family = familyOf(f, m_doc);
      family.remove(QLatin1Char(';'));
      if (!m_fonts.contains(family))
        m_fonts.append(family);
      if (f.hasProperty(QTextFormat::ForegroundBrush)) {
        const QRgb rgb = f.foreground().color().rgb();
        if (!m_colors.contains(rgb))
          m_colors.append(rgb);
      }
    }
  }
}

int RtfEmitter::fontIndex(const QTextCharFormat& fmt) const {
  QString family = familyOf(fmt, m_doc);
  family.remove(QLatin1Char(';'));
  return std::max<int>(0, m_fonts.indexOf(family));
}

int RtfEmitter::colorIndex(const QTextCharFormat& fmt) const {
  if (!fmt.hasProperty(QTextFormat::ForegroundBrush))
    return 0;
  return int(m_colors.indexOf(fmt.foreground().color().rgb())) + 1;
}

std::string RtfEmitter::header() const {
  std::string h = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
  RtfEmitter* self = const_cast<RtfEmitter*>(this);
  for (int i = 0; i < m_fonts.size(); ++i) {
    h += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
    std::swap(self->m_out, h);
    self->text(m_fonts[i]);
    std::swap(self->m_out, h);
    h += ";}";
  }
  h += "}\n{\\colortbl;";
  for (QRgb c : m_colors)
    h += "\\red" + std::to_string(qRed(c)) + "\\green" + std::to_string(qGreen(c)) + "\\blue" +
         std::to_string(qBlue(c)) + ";";
  h += "}\n";
  h += "\\paperw" + std::to_string(m_layout.width) + "\\paperh" + std::to_string(m_layout.height) +
       "\\margl" + std::to_string(m_layout.left) + "\\margr" + std::to_string(m_layout.right) +
       "\\margt" + std::to_string(m_layout.top) + "\\margb" + std::to_string(m_layout.bottom) +
       "\n";
  return h;
}

std::string RtfEmitter::run() {
  collectTables();
  std::string body;
  std::swap(m_out, body);
  for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next())
    block(b);
  std::swap(m_out, body);
  return header() + body + "}\n";
}

void RtfEmitter::paragraphProps(const QTextBlockFormat& f) {
  m_out += "\\pard";
  const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
  if (a & Qt::AlignJustify)
    m_out += "\\qj";
  else if (a & Qt::AlignHCenter)
    m_out += "\\qc";
  else if (a & Qt::AlignRight)
    m_out += "\\qr";
  else
    m_out += "\\ql";
  auto prop = [this](const char* name, int value) {
    if (value != 0)
      m_out += std::string("\\") + name + std::to_string(value);
  };
  prop("fi", twips(f.textIndent()));
  prop("li", twips(f.leftMargin()));
  prop("ri", twips(f.rightMargin()));
  prop("sb", twips(f.topMargin()));
  prop("sa", twips(f.bottomMargin()));
  switch (f.lineHeightType()) {
  case QTextBlockFormat::MinimumHeight:
    prop("sl", twips(f.lineHeight()));
    m_out += "\\slmult0";
    break;
  case QTextBlockFormat::FixedHeight:
    prop("sl", -twips(f.lineHeight()));
    m_out += "\\slmult0";
    break;
  case QTextBlockFormat::ProportionalHeight:
    prop("sl", int(std::lround(f.lineHeight() * 240.0 / 100.0)));
    m_out += "\\slmult1";
    break;
  default:
    break;
  }
  for (const QTextOption::Tab& t : f.tabPositions())
    prop("tx", twips(t.position + f.leftMargin())); // RTF counts from the page margin
  if (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
    m_out += "\\pagebb";
  m_out += ' ';
}

std::string RtfEmitter::charProps(const QTextCharFormat& f) const {
  std::string p = "\\f" + std::to_string(fontIndex(f));
  double size = f.fontPointSize();
  if (size <= 0)
    size = m_doc.defaultFont().pointSizeF() > 0 ? m_doc.defaultFont().pointSizeF() : 12.0;
  p += "\\fs" + std::to_string(std::max(1L, std::lround(size * 2)));
  if (f.fontWeight() >= QFont::DemiBold)
    p += "\\b";
  if (f.fontItalic())
    p += "\\i";
  if (f.fontUnderline())
    p += "\\ul";
  if (f.fontStrikeOut())
    p += "\\strike";
  if (const int c = colorIndex(f))
    p += "\\cf" + std::to_string(c);
  return p;
}

void RtfEmitter::openField(int tag) {
  m_out += "{\\field{\\*\\fldinst { MERGEFIELD ";
  m_out += mergeFieldName(tag).toStdString();
  m_out += " }}{\\fldrslt ";
}

void RtfEmitter::closeField() {
  m_out += "}}";
  m_fieldId = 0;
}

void RtfEmitter::run(const QTextFragment& frag) {
  const QTextCharFormat f = frag.charFormat();
  if (f.isImageFormat()) {
    flushRun();
    if (m_fieldId != 0)
      closeField();
    for (int i = 0; i < frag.length(); ++i)
      picture(f.toImageFormat());
    return;
  }
  const int tag = f.intProperty(kMergeTagProperty);
  const int id = tag > 0 ? f.intProperty(kMergeIdProperty) : 0;
  std::string props = charProps(f);
  // Fragments that differ only in what RTF does not keep are written as one
  // run, so that our output reads back to the same runs.
  if (id == m_fieldId && props == m_runProps) {
    m_runText += frag.text();
    return;
  }
  flushRun();
  if (m_fieldId != 0 && id != m_fieldId)
    closeField();
  if (id != 0 && id != m_fieldId) {
    openField(tag);
    m_fieldId = id;
  }
  m_runProps = std::move(props);
  m_runText = frag.text();
}

// A picture as PNG data in a standard \pict group, which word processors
// read; its shown size goes into the goal size in twips.
void RtfEmitter::picture(const QTextImageFormat& f) {
  const QVariant resource = m_doc.resource(QTextDocument::ImageResource, QUrl(f.name()));
  QImage image = resource.value<QImage>();
  if (image.isNull())
    image = resource.value<QPixmap>().toImage();
  if (image.isNull())
    return;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG"))
    return;
  const int w = f.width() > 0 ? twips(f.width()) : 15 * image.width();
  const int h = f.height() > 0 ? twips(f.height()) : 15 * image.height();
  m_out += "{\\pict\\picw" + std::to_string(image.width()) + "\\pich" +
           std::to_string(image.height()) + "\\picwgoal" + std::to_string(w) + "\\pichgoal" +
           std::to_string(h) + "\\pngblip\n";
  static const char hex[] = "0123456789abcdef";
  for (qsizetype i = 0; i < png.size(); ++i) {
    const auto b = static_cast<unsigned char>(png[i]);
    m_out += hex[b >> 4];
    m_out += hex[b & 15];
    if (i % 64 == 63)
      m_out += '\n';
  }
  m_out += "}";
}

void RtfEmitter::flushRun() {
  if (m_runProps.empty())
    return;
  m_out += '{' + m_runProps + ' ';
  text(m_runText);
  m_out += '}';
  m_runProps.clear();
  m_runText.clear();
}

void RtfEmitter::block(const QTextBlock& b) {
  paragraphProps(b.blockFormat());
  for (auto it = b.begin(); !it.atEnd(); ++it)
    run(it.fragment());
  flushRun();
  if (m_fieldId != 0)
    closeField();
  // The paragraph mark carries the block's own character format, which sets
  // the height of an empty line.
  m_out += '{' + charProps(b.charFormat()) + "\\par}\n";
}

void RtfEmitter::text(const QString& s) {
  static const char hex[] = "0123456789abcdef";
  for (QChar ch : s) {
    const char16_t u = ch.unicode();
    if (u == '\\' || u == '{' || u == '}') {
      m_out += '\\';
      m_out += char(u);
    } else if (u == '\t') {
      m_out += "\\tab ";
    } else if (u == QChar::LineSeparator) {
      m_out += "\\line ";
    } else if (u == 0x00A0) {
      m_out += "\\~";
    } else if (u >= 0x20 && u < 0x80) {
      m_out += char(u);
    } else if (const int a = unicodeToAnsi(ch); a >= 0x80) {
      m_out += "\\'";
      m_out += hex[a >> 4];
      m_out += hex[a & 15];
    } else if (u >= 0x80) {
      // Outside the code page: Unicode with "?" for readers that lack \u.
      m_out += "\\u" + std::to_string(int(int16_t(u))) + '?';
    }
    // Other control characters carry nothing worth keeping.
  }
}

} // namespace

std::string writeRtf(const QTextDocument& doc, const TPageLayout& layout) {
  return RtfEmitter(doc, layout).run();
}

} // namespace richtext

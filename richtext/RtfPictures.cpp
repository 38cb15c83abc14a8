// Pictures in RTF (\pict with PNG or JPEG data) and the characters of
// Symbol-encoded fonts, as word processors write them.
#include "richtext/RtfParser.h"
#include "richtext/Units.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>
#include <atomic>

namespace richtext::rtf {

namespace {

// More picture data than this is not kept (a page-sized photograph is far
// less); the picture is then left out.
constexpr std::size_t kMaxPictureBytes = 64u << 20;

struct SymbolChar {
  unsigned char code;
  char16_t unicode;
};

// Characters of the Symbol font that word processors use in lists and
// text, by their Symbol code.
constexpr SymbolChar kSymbol[] = {{0xB7, 0x2022}, {0xA7, 0x2663}, {0xA8, 0x2666}, {0xA9, 0x2665},
                                  {0xAA, 0x2660}, {0xAE, 0x2192}, {0xAC, 0x2190}, {0xB0, 0x00B0},
                                  {0xB1, 0x00B1}, {0xB4, 0x00D7}, {0xB8, 0x00F7}, {0xE0, 0x25CA},
                                  {0x2D, 0x2212}, {0xD6, 0x221A}, {0xA5, 0x221E}};
// The same for Wingdings: the list bullets Word offers.
constexpr SymbolChar kWingdings[] = {{0x9F, 0x2022}, {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2},
                                     {0xFC, 0x2713}, {0xFB, 0x2717}, {0x6C, 0x25CF}, {0x6E, 0x25A0},
                                     {0x71, 0x2751}, {0x76, 0x2756}, {0xA1, 0x25CB}, {0xE0, 0x2192},
                                     {0xF0, 0x21E8}};

QString pictureName() {
  static std::atomic<int> counter{0};
  return QStringLiteral("rtf-picture:%1").arg(++counter);
}

} // namespace

QChar RtfParser::fromSymbolFont(unsigned code) const {
  const int font = st_const().chr.font < 0 ? m_defaultFont : st_const().chr.font;
  const bool wingdings =
      m_fonts.value(font).contains(QLatin1String("Wingdings"), Qt::CaseInsensitive);
  const auto find = [code](const auto& table) {
    for (const SymbolChar& c : table)
      if (c.code == code)
        return QChar(c.unicode);
    return QChar();
  };
  return wingdings ? find(kWingdings) : find(kSymbol);
}

bool RtfParser::pictureWord(const std::string& w, bool has, int p) {
  PictureContext& pic = m_pictures.back();
  const int v = has ? std::max(0, p) : 0;
  if (w == "pngblip")
    pic.blip = "png";
  else if (w == "jpegblip")
    pic.blip = "jpeg";
  else if (w == "picw")
    pic.pixelWidth = v;
  else if (w == "pich")
    pic.pixelHeight = v;
  else if (w == "picwgoal")
    pic.goalWidth = std::min(v, kMaxTwips);
  else if (w == "pichgoal")
    pic.goalHeight = std::min(v, kMaxTwips);
  else if (w == "picscalex")
    pic.scaleX = std::clamp(v, 1, 1000);
  else if (w == "picscaley")
    pic.scaleY = std::clamp(v, 1, 1000);
  else if (w == "wmetafile") // kinds not read: a placeholder shows where they are
    pic.blip = "Windows metafile";
  else if (w == "pmmetafile")
    pic.blip = "OS/2 metafile";
  else if (w == "emfblip")
    pic.blip = "enhanced metafile";
  else if (w == "macpict")
    pic.blip = "Macintosh picture";
  else if (w == "dibitmap" || w == "wbitmap")
    pic.blip = "device bitmap";
  else
    return false;
  return true;
}

void RtfParser::pictureHex(char c) {
  PictureContext& pic = m_pictures.back();
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  if (v < 0 || pic.data.size() >= kMaxPictureBytes)
    return;
  if (pic.pendingNibble < 0) {
    pic.pendingNibble = v;
    return;
  }
  pic.data.push_back(char(pic.pendingNibble << 4 | v));
  pic.pendingNibble = -1;
}

void RtfParser::finishPicture() {
  const PictureContext pic = std::move(m_pictures.back());
  m_pictures.pop_back();
  if (pic.data.empty())
    return;
  QImage image;
  const bool known = pic.blip == "png" || pic.blip == "jpeg";
  if (known && pic.data.size() < kMaxPictureBytes) {
    const QByteArray bytes(pic.data.data(), qsizetype(pic.data.size()));
    image.loadFromData(bytes, pic.blip == "png" ? "PNG" : "JPEG");
  }
  // The size shown: the goal size, else the stored pixels at the screen's 96
  // per inch (15 twips each), else a metafile's extent in 0.01 mm.
  const auto size = [&](int goal, int stored, int imagePixels) {
    if (goal > 0)
      return goal;
    if (imagePixels > 0)
      return 15 * imagePixels;
    return stored > 0 ? std::clamp(int(stored * 1440LL / 2540), 360, kMaxTwips) : 2880;
  };
  const int w = size(pic.goalWidth, pic.pixelWidth, image.width()) * pic.scaleX / 100;
  const int h = size(pic.goalHeight, pic.pixelHeight, image.height()) * pic.scaleY / 100;
  if (image.isNull()) {
    // A kind not read (a metafile) is shown as missing, not dropped; damaged
    // data or a picture of no stated kind is left out.
    if (known || pic.blip.empty())
      return;
    image = placeholder(w, h, pic.blip);
  }
  insertPicture(image, w, h);
}

// A frame the size of the picture saying which picture is not shown, so that
// a reader of the fax sees that something is missing there.
QImage RtfParser::placeholder(int widthTwips, int heightTwips, const std::string& kind) {
  // At the fax page's 200 pixels per inch (7.2 twips each), so that it is
  // sharp where it is faxed.
  const int w = std::clamp(widthTwips * 5 / 36, 96, 4000);
  const int h = std::clamp(heightTwips * 5 / 36, 48, 4000);
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setPen(QPen(Qt::black, 4, Qt::DashLine));
  painter.drawRect(QRectF(2, 2, w - 4, h - 4));
  QFont font = painter.font();
  font.setPixelSize(std::clamp(h / 6, 16, 28));
  painter.setFont(font);
  painter.drawText(QRectF(10, 8, w - 20, h - 16), Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Picture not shown (%1)").arg(QString::fromLatin1(kind.c_str())));
  return image;
}

void RtfParser::insertPicture(const QImage& image, int widthTwips, int heightTwips) {
  QTextImageFormat fmt;
  fmt.setName(pictureName());
  fmt.setWidth(twipsToUnits(widthTwips));
  fmt.setHeight(twipsToUnits(heightTwips));
  m_doc.addResource(QTextDocument::ImageResource, QUrl(fmt.name()), image);
  startBlock();
  m_cursor.insertImage(fmt);
  m_blockHasContent = true;
  m_shapeGavePicture = true;
}

void RtfParser::shapeWord(const RtfTokenizer::Token& t) {
  const std::string& w = t.word;
  if (w == "bin") {
    m_tok.skipBytes(t.hasParam && t.param > 0 ? std::size_t(t.param) : 0);
    return;
  }
  if (st().dest == RtfDest::ShapeName)
    return;
  if (w == "sn") {
    m_shapeProperty.clear();
    st().dest = RtfDest::ShapeName;
  } else if (w == "sv") {
    // Only the value of "pib", the picture the shape shows, is read.
    if (m_shapeProperty != "pib")
      st().dest = RtfDest::Skip;
  } else if (w == "pict") {
    destinationWord(w);
  } else if (w == "shp") {
    m_shapeGavePicture = false; // one shape of a group
  } else if (w == "shprslt") {
    // What a reader without shapes shows instead: read only when the shape
    // gave no picture of its own.
    st().dest = m_shapeGavePicture ? RtfDest::Skip : RtfDest::Text;
  }
  // Position, wrapping and the other properties of the shape are not kept:
  // the picture stands in the text where the shape is anchored.
}

} // namespace richtext::rtf

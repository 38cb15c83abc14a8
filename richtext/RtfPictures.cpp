// Pictures in RTF (\pict with PNG or JPEG data) and the characters of
// Symbol-encoded fonts, as word processors write them.
#include "richtext/RtfParser.h"
#include "richtext/Units.h"

#include <QImage>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
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
  else if (w == "wmetafile" || w == "emfblip" || w == "macpict" || w == "dibitmap" ||
           w == "wbitmap" || w == "pmmetafile")
    pic.blip.clear(); // kinds not read: the picture is left out
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
  if (pic.blip.empty() || pic.data.empty() || pic.data.size() >= kMaxPictureBytes)
    return;
  QImage image;
  const QByteArray bytes(pic.data.data(), qsizetype(pic.data.size()));
  if (!image.loadFromData(bytes, pic.blip == "png" ? "PNG" : "JPEG") || image.isNull())
    return;
  // The size shown: the goal size scaled, else the stored pixels at the
  // screen's 96 per inch (15 twips each).
  const int w = pic.goalWidth > 0 ? pic.goalWidth : 15 * image.width();
  const int h = pic.goalHeight > 0 ? pic.goalHeight : 15 * image.height();
  QTextImageFormat fmt;
  fmt.setName(pictureName());
  fmt.setWidth(twipsToUnits(w * pic.scaleX / 100));
  fmt.setHeight(twipsToUnits(h * pic.scaleY / 100));
  m_doc.addResource(QTextDocument::ImageResource, QUrl(fmt.name()), image);
  startBlock();
  m_cursor.insertImage(fmt);
  m_blockHasContent = true;
}

} // namespace richtext::rtf

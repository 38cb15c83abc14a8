#pragma once

// The RTF parser behind readRtf: its state and the handling of control words.

#include "richtext/PageLayout.h"
#include "richtext/RtfReaderState.h"
#include "richtext/RtfTokenizer.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QTextCursor>
#include <QTextFormat>
#include <string>
#include <string_view>
#include <vector>

class QTextDocument;

namespace richtext::rtf {

inline constexpr int kMaxDepth = 128;   // deeper groups are read as skipped content
inline constexpr int kMaxTwips = 31680; // 22 inches: larger values are nonsense
inline constexpr int kMaxHalfPoints = 3276;

int clampTwips(int v);
bool isSkippedDestination(const std::string& w);
bool isShownCharacter(QChar ch);

// What decides the format of a character; cheap to compare per character.
struct FormatKey {
  RtfCharState chr;
  int tag = 0; // merge field tag and identity, 0 outside merge fields
  int id = 0;
  bool operator==(const FormatKey&) const = default;
};

// A picture being read: its properties and its data.
struct PictureContext {
  int depth = 0;    // group depth of the \pict group
  std::string blip; // "png", "jpeg", or what the kind not read is (a metafile...)
  int pixelWidth = 0, pixelHeight = 0; // \picw, \pich
  int goalWidth = 0, goalHeight = 0;   // \picwgoal, \pichgoal in twips
  int scaleX = 100, scaleY = 100;      // \picscalex, \picscaley in percent
  std::string data;
  int pendingNibble = -1;
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
  const RtfGroupState& st_const() const { return m_stack.back(); }
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
  bool pictureWord(const std::string& w, bool has, int p);
  void pictureHex(char c);
  void finishPicture();
  void insertPicture(const QImage& image, int widthTwips, int heightTwips);
  static QImage placeholder(int widthTwips, int heightTwips, const std::string& kind);
  void shapeWord(const RtfTokenizer::Token& t);
  QChar fromSymbolFont(unsigned code) const;
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
  std::vector<PictureContext> m_pictures; // at most one open at a time
  // Word's floating pictures: {\shp{\*\shpinst...{\sp{\sn pib}{\sv {\pict...}}}}
  // {\shprslt fallback}}. The picture is placed where the shape is anchored.
  std::string m_shapeProperty;       // the \sn just read
  bool m_shapeGavePicture = false;   // the current shape's picture was placed
  QHash<int, QString> m_symbolFonts; // \fcharset2 fonts by number: their names
  TPageLayout m_layout;
  bool m_layoutSeen = false;
};

} // namespace richtext::rtf

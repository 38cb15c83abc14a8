#pragma once

#include <QList>
#include <QTextOption>
#include <QtGlobal>

namespace richtext {

// Character properties as RTF sets them; turned into a QTextCharFormat
// when text is inserted.
struct RtfCharState {
  int font = -1; // font number; -1 means the document's default font
  int halfPoints = 24;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  int color = 0; // colour table index; 0 is the automatic colour

  bool operator==(const RtfCharState&) const = default;
};

// Paragraph properties, in twips.
struct RtfParaState {
  int firstIndent = 0; // relative to the left indent, as RTF's \fi
  int leftIndent = 0;
  int rightIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  int lineSpacing = 0; // \sl: >0 at least, <0 exactly, 0 automatic
  bool lineMultiple = false;
  Qt::Alignment align = Qt::AlignLeft;
  bool pageBreakBefore = false;
  QList<int> tabs;
};

enum class RtfDest {
  Text,        // document text
  Skip,        // a destination whose content is not shown
  FontTable,   // \fonttbl
  FontEntry,   // one font inside the table
  ColorTable,  // \colortbl
  FieldInst,   // \fldinst: the field's instruction
  FieldResult, // \fldrslt: the field's shown text
  Picture,     // \pict: picture properties and hex data
  Shape,       // \shp: a drawing object; only the picture it shows is read
  ShapeName,   // \sn in a shape: the name of the property whose value follows
};

// What a "{" saves and the matching "}" restores.
struct RtfGroupState {
  RtfCharState chr;
  RtfParaState para;
  RtfDest dest = RtfDest::Text;
  int unicodeSkip = 1; // \ucN: characters that stand in for one \u
  int fieldDepth = 0;  // number of enclosing \field groups
};

} // namespace richtext

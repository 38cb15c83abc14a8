#include "richtext/RichEditor.h"
#include "richtext/SmoothPictures.h"

#include "richtext/Ansi.h"
#include "richtext/MergeFieldHighlighter.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "richtext/Units.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QMimeData>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <cmath>

namespace richtext {

TRichEditor::TRichEditor(QWidget* parent) : QTextEdit(parent) {
  DrawPicturesSmoothly(document());
  setAcceptRichText(true);
  setLineWrapMode(QTextEdit::WidgetWidth);
  m_highlighter = new TMergeFieldHighlighter(document());
  connect(document(), &QTextDocument::contentsChanged, this, [this] { m_rendererStale = true; });
  connect(this, &QTextEdit::currentCharFormatChanged, this,
          [this](const QTextCharFormat&) { dropFieldFromTypingFormat(); });
}

TRichEditor::~TRichEditor() = default;

void TRichEditor::Clear() {
  clear();
  m_wordStart = -1;
  m_wordNext = 0;
  m_wordMarked = false;
}

bool TRichEditor::LoadFromFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return false;
  const QByteArray data = f.readAll();
  LoadFromRtf(std::string(data.constData(), std::size_t(data.size())));
  return true;
}

bool TRichEditor::SaveToFile(const QString& path, QString* reason) const {
  QSaveFile f(path);
  const std::string rtf = SaveToRtf();
  const bool ok = f.open(QIODevice::WriteOnly) &&
                  f.write(rtf.data(), qint64(rtf.size())) == qint64(rtf.size()) && f.commit();
  if (!ok && reason)
    *reason = QStringLiteral("Unable to save %1: %2").arg(path, f.errorString());
  return ok;
}

void TRichEditor::LoadFromRtf(const std::string& rtf) {
  Clear();
  // Text that is not RTF is shown as it is, the way a plain editor would.
  if (!readRtf(rtf, *document(), &m_layout)) {
    QString text;
    for (char c : rtf)
      text.append(ansiToUnicode(static_cast<unsigned char>(c)));
    setPlainText(text);
  }
  document()->setModified(false);
}

std::string TRichEditor::SaveToRtf() const {
  return writeRtf(*document(), m_layout);
}

bool TRichEditor::IsEmpty() const {
  return document()->isEmpty();
}

int TRichEditor::TextLength() const {
  return document()->characterCount() - 1;
}

QStringList TRichEditor::Lines() const {
  QStringList lines;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
    lines.append(b.text().split(QChar(QChar::LineSeparator)));
  return lines;
}

TCharAttributes TRichEditor::CurrentAttributes() const {
  const QTextCharFormat f = currentCharFormat();
  const QFont font = f.font();
  TCharAttributes a;
  a.fontName = font.family();
  a.size = f.fontPointSize() > 0 ? f.fontPointSize() : font.pointSizeF();
  a.bold = f.fontWeight() >= QFont::DemiBold;
  a.italic = f.fontItalic();
  a.underline = f.fontUnderline();
  return a;
}

void TRichEditor::SetCurrentAttributes(const TCharAttributes& a) {
  QTextCharFormat f;
  f.setFontFamilies({a.fontName});
  f.setFontPointSize(a.size);
  f.setFontWeight(a.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(a.italic);
  f.setFontUnderline(a.underline);
  mergeCurrentCharFormat(f);
  if (document()->isEmpty()) {
    // An empty document also takes the font for its first, empty line.
    QTextCursor c(document());
    c.setBlockCharFormat(currentCharFormat());
  }
}

void TRichEditor::SetZoom(int percent) {
  m_zoom = std::clamp(percent, 10, 500);
  applyZoom();
}

void TRichEditor::applyZoom() {
  // Laying the text out for a device of scaled resolution enlarges glyphs,
  // indents and spacing alike without touching the document.
  if (m_zoom == 100) {
    document()->documentLayout()->setPaintDevice(nullptr);
  } else {
    const double dpi = logicalDpiY() * m_zoom / 100.0;
    m_zoomDevice = QImage(8, 8, QImage::Format_Grayscale8);
    m_zoomDevice.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    m_zoomDevice.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    document()->documentLayout()->setPaintDevice(&m_zoomDevice);
  }
  Reformat();
}

bool TRichEditor::WordWrap() const {
  return lineWrapMode() != QTextEdit::NoWrap;
}

void TRichEditor::SetWordWrap(bool on) {
  setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TRichEditor::CaretToStart() {
  moveCursor(QTextCursor::Start);
}

void TRichEditor::Reformat() {
  document()->markContentsDirty(0, document()->characterCount());
  Repaint();
}

void TRichEditor::Repaint() {
  viewport()->update();
}

void TRichEditor::InsertPageBreak() {
  QTextCursor c = textCursor();
  QTextBlockFormat bf = c.blockFormat();
  bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
  const QTextCharFormat cf = c.charFormat();
  c.beginEditBlock();
  c.movePosition(QTextCursor::StartOfBlock);
  // The new empty paragraph takes the caret paragraph's place; the caret
  // paragraph follows it on the new page.
  c.insertBlock(c.blockFormat(), cf);
  c.movePosition(QTextCursor::PreviousBlock);
  c.setBlockFormat(bf);
  c.setBlockCharFormat(cf);
  c.endEditBlock();
  setTextCursor(c);
  Reformat();
}

TParagraphProps TRichEditor::ParagraphProps() const {
  const QTextBlockFormat f = textCursor().blockFormat();
  TParagraphProps p;
  p.leftIndent = unitsToTwips(f.leftMargin());
  p.firstIndent = unitsToTwips(f.leftMargin() + f.textIndent());
  p.rightIndent = unitsToTwips(f.rightMargin());
  p.spaceBefore = unitsToTwips(f.topMargin());
  p.spaceAfter = unitsToTwips(f.bottomMargin());
  if (f.lineHeightType() == QTextBlockFormat::FixedHeight ||
      f.lineHeightType() == QTextBlockFormat::MinimumHeight)
    p.lineHeight = unitsToTwips(f.lineHeight());
  return p;
}

void TRichEditor::applyBlockFormat(const std::function<void(QTextBlockFormat&)>& change) {
  QTextCursor c = textCursor();
  QTextBlockFormat f = c.blockFormat();
  change(f);
  c.setBlockFormat(f);
}

void TRichEditor::SetFirstIndent(int twips) {
  applyBlockFormat(
      [twips](QTextBlockFormat& f) { f.setTextIndent(twipsToUnits(twips) - f.leftMargin()); });
}

void TRichEditor::SetLeftIndent(int twips) {
  // The first line keeps its own start when the left indent moves.
  applyBlockFormat([twips](QTextBlockFormat& f) {
    const double first = f.leftMargin() + f.textIndent();
    f.setLeftMargin(twipsToUnits(twips));
    f.setTextIndent(first - f.leftMargin());
  });
}

void TRichEditor::SetRightIndent(int twips) {
  applyBlockFormat([twips](QTextBlockFormat& f) { f.setRightMargin(twipsToUnits(twips)); });
}

void TRichEditor::SetSpaceBefore(int twips) {
  applyBlockFormat([twips](QTextBlockFormat& f) { f.setTopMargin(twipsToUnits(twips)); });
}

void TRichEditor::SetSpaceAfter(int twips) {
  applyBlockFormat([twips](QTextBlockFormat& f) { f.setBottomMargin(twipsToUnits(twips)); });
}

void TRichEditor::SetLineHeight(int twips) {
  applyBlockFormat([twips](QTextBlockFormat& f) {
    if (twips > 0)
      f.setLineHeight(twipsToUnits(twips), QTextBlockFormat::MinimumHeight);
    else
      f.setLineHeight(0, QTextBlockFormat::SingleHeight);
  });
}

void TRichEditor::insertFromMimeData(const QMimeData* source) {
  // Fax pages are laid out line by line; pasted tables and frames would not
  // survive that, so such content arrives as plain text.
  if (source->hasHtml() && source->html().contains(QLatin1String("<table"), Qt::CaseInsensitive)) {
    textCursor().insertText(source->text());
    return;
  }
  QTextEdit::insertFromMimeData(source);
}

int TRichEditor::DrawFaxPage(int start, faximage::PageBitmap& page, const TFaxPageArea& area) {
  // The page layout's text width, at 200 pixels per inch, keeps lines as
  // long as other word processors make them.
  const int width = int(std::lround(m_layout.textWidth() * 200.0 / 1440.0));
  const bool areaChanged = area.left != m_rendererArea.left || area.top != m_rendererArea.top ||
                           area.right != m_rendererArea.right ||
                           area.bottom != m_rendererArea.bottom;
  if (!m_renderer || m_rendererStale || areaChanged || width != m_rendererWidth) {
    m_renderer = std::make_unique<TFaxPageRenderer>(*document(), area, width);
    m_rendererStale = false;
    m_rendererArea = area;
    m_rendererWidth = width;
  }
  return m_renderer->drawPage(start, page);
}

} // namespace richtext

#pragma once

#include "richtext/FaxPageRenderer.h"
#include "richtext/PageLayout.h"

#include <QImage>
#include <QStringList>
#include <QTextEdit>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace richtext {

class TMergeFieldHighlighter;

// Character attributes the fax windows read and set (default font).
struct TCharAttributes {
  QString fontName;
  double size = 12;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

// The current paragraph's indents and spacing, all in twips. firstIndent is
// where the first line starts, measured like leftIndent from the left margin.
struct TParagraphProps {
  int firstIndent = 0;
  int leftIndent = 0;
  int rightIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  int lineHeight = 0; // 0: single spacing
};

// The rich-text editor of fax documents and cover sheets.
class TRichEditor : public QTextEdit {
  Q_OBJECT
public:
  explicit TRichEditor(QWidget* parent = nullptr);
  ~TRichEditor() override;

  // Content and files.
  void Clear();
  bool LoadFromFile(const QString& path);
  // Writes the RTF through a temporary file that replaces path only when it
  // is complete, so a failed save leaves the old document as it was. On
  // failure, reason (when given) says why in words a window can show.
  bool SaveToFile(const QString& path, QString* reason = nullptr) const;
  void LoadFromRtf(const std::string& rtf);
  std::string SaveToRtf() const;
  bool IsEmpty() const;
  int TextLength() const;
  QStringList Lines() const;

  TCharAttributes CurrentAttributes() const;
  void SetCurrentAttributes(const TCharAttributes& attrs);

  // View.
  int Zoom() const { return m_zoom; }
  void SetZoom(int percent);
  bool WordWrap() const;
  void SetWordWrap(bool on);
  TPageLayout PageLayout() const { return m_layout; }
  void SetPageLayout(const TPageLayout& layout) { m_layout = layout; }
  void CaretToStart();
  void Reformat();
  void Repaint();

  // Paragraphs.
  void InsertPageBreak();
  TParagraphProps ParagraphProps() const;
  void SetFirstIndent(int twips);
  void SetLeftIndent(int twips);
  void SetRightIndent(int twips);
  void SetSpaceBefore(int twips);
  void SetSpaceAfter(int twips);
  void SetLineHeight(int twips);

  // Merge fields. The callback supplies the text of a tag, or nothing to
  // leave the field as it is.
  std::function<std::optional<QString>(int tag)> OnGetTextToInsert;
  void InsertMergeField(int tag, const QString& displayText);
  void FillMergeFields();
  bool HideFieldMarkers() const { return m_hideMarkers; }
  void SetHideFieldMarkers(bool hide);

  // Word iteration of the spelling check.
  void StartWordIteration();
  QString NextWord(); // empty at the end of the text
  void MarkCurrentWord();
  void ReplaceMarkedWord(const QString& text);
  void ClearWordMarking();

  // Draws the fax page starting at document position start; returns the
  // next page's start or 0 after the last page.
  int DrawFaxPage(int start, faximage::PageBitmap& page, const TFaxPageArea& area = {});

signals:
  void StartSpellCheck();

protected:
  void insertFromMimeData(const QMimeData* source) override;

private:
  void applyBlockFormat(const std::function<void(QTextBlockFormat&)>& change);
  void dropFieldFromTypingFormat();
  void applyZoom();

  TPageLayout m_layout;
  int m_zoom = 100;
  QImage m_zoomDevice;
  bool m_hideMarkers = false;
  TMergeFieldHighlighter* m_highlighter = nullptr;
  // The fax renderer is rebuilt only when the document or the area changed.
  std::unique_ptr<TFaxPageRenderer> m_renderer;
  bool m_rendererStale = true;
  TFaxPageArea m_rendererArea;
  int m_rendererWidth = 0;
  int m_wordStart = -1; // current word of the iteration
  int m_wordLength = 0;
  int m_wordNext = 0; // where the next word is searched
  bool m_wordMarked = false;
};

} // namespace richtext

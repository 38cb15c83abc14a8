#pragma once

#include <QSyntaxHighlighter>

namespace richtext {

// Draws merge fields in red on screen. The colour lives only in the view's
// line layouts, never in the document, so it is neither saved nor faxed.
class TMergeFieldHighlighter : public QSyntaxHighlighter {
  Q_OBJECT
public:
  explicit TMergeFieldHighlighter(QTextDocument* doc);

protected:
  void highlightBlock(const QString& text) override;
};

} // namespace richtext

#include "richtext/MergeFieldHighlighter.h"

#include "richtext/MergeField.h"

#include <QTextBlock>

namespace richtext {

TMergeFieldHighlighter::TMergeFieldHighlighter(QTextDocument* doc) : QSyntaxHighlighter(doc) {}

void TMergeFieldHighlighter::highlightBlock(const QString&) {
  const QTextBlock block = currentBlock();
  for (auto it = block.begin(); !it.atEnd(); ++it) {
    const QTextFragment frag = it.fragment();
    if (frag.charFormat().intProperty(kMergeTagProperty) <= 0)
      continue;
    QTextCharFormat red;
    red.setForeground(Qt::red);
    setFormat(frag.position() - block.position(), frag.length(), red);
  }
}

} // namespace richtext

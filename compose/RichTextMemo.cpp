#include "compose/RichTextMemo.h"

#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"
#include "xbase/Table.h"

#include <QFile>
#include <stdexcept>

namespace compose {

namespace {
QString tempRtfName() {
  return QString::fromStdString(platform::ProgramDir()) + QStringLiteral("Eraseme.rtf");
}
} // namespace

bool LoadRichText(richtext::TRichEditor& editor, const xbase::Table& table,
                  const std::string& field) {
  editor.Clear();
  const QString name = tempRtfName();
  if (!table.memoToFile(field, name.toStdString()))
    return false;
  const bool loaded = editor.LoadFromFile(name);
  editor.Repaint();
  QFile::remove(name);
  return loaded;
}

void SaveRichText(const richtext::TRichEditor& editor, xbase::Table& table,
                  const std::string& field) {
  const QString name = tempRtfName();
  QString reason;
  if (!editor.SaveToFile(name, &reason))
    throw std::runtime_error(reason.toStdString());
  table.memoFromFile(field, name.toStdString());
}

} // namespace compose

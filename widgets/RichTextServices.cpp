#include "core/Settings.h"
#include "core/SharedServices.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowServices.h"
#include "richtext/RichEditor.h"

#include <QFontDialog>

namespace appwidgets {

void ApplyDefaultFont(richtext::TRichEditor& editor) {
  richtext::TCharAttributes attrs = editor.CurrentAttributes();
  attrs.fontName = FromAnsi(app::Settings.FontName);
  attrs.size = app::Settings.FontSize;
  attrs.bold = attrs.bold || app::Settings.FontBold;
  attrs.italic = attrs.italic || app::Settings.FontItalic;
  attrs.underline = attrs.underline || app::Settings.FontUnderline;
  editor.SetCurrentAttributes(attrs);
}

bool ChooseDefaultFont(QWidget* parent) {
  app::LoadSettings();
  QFont font(FromAnsi(app::Settings.FontName), app::Settings.FontSize);
  font.setBold(app::Settings.FontBold);
  font.setItalic(app::Settings.FontItalic);
  font.setUnderline(app::Settings.FontUnderline);
  bool ok = false;
  QFont chosen = QFontDialog::getFont(&ok, font, parent, QStringLiteral("Default Font"));
  if (!ok)
    return false;
  app::Settings.FontName = ToAnsi(chosen.family());
  app::Settings.FontSize = chosen.pointSize() > 0 ? chosen.pointSize() : app::Settings.FontSize;
  app::Settings.FontBold = chosen.bold();
  app::Settings.FontItalic = chosen.italic();
  app::Settings.FontUnderline = chosen.underline();
  try {
    app::SaveSettings();
  } catch (const std::exception& e) {
    ShowInfo(QString::fromLocal8Bit(e.what()), parent);
  }
  return true;
}

bool IsRichTextEmpty(const richtext::TRichEditor& editor) {
  if (editor.IsEmpty())
    return true;
  if (editor.TextLength() >= 256)
    return false;
  std::string text;
  const QStringList lines = editor.Lines();
  for (int i = 0; i < lines.size() && i <= 200; ++i)
    text += ToAnsi(lines[i]) + "\n";
  return app::IsTextBlank(text);
}

} // namespace appwidgets

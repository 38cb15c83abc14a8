#pragma once
// The paragraph dialog: indents (first, left, right) and spacing (before,
// after, line height) of the editor's current paragraph.

#include "compose/ParagraphUnits.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace richtext {
class TRichEditor;
}

namespace compose {

class TParagraphPropDlg : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TParagraphPropDlg)

public:
  TParagraphPropDlg(richtext::TRichEditor& editor, QWidget* parent = nullptr);

  QComboBox* ComboBox1 = nullptr;        // "Inch", "Cm"
  QComboBox* FirstIndentCombo = nullptr; // "Same as Left Indent", "Indented by"
  QLineEdit* FirstIndent = nullptr;
  QLineEdit* LeftIndent = nullptr;
  QLineEdit* RightIndent = nullptr;
  QLineEdit* SpaceBeforePts = nullptr;
  QLineEdit* SpaceAfterPts = nullptr;
  QLineEdit* LineHeightPts = nullptr;
  QPushButton* Okbutton = nullptr;
  QPushButton* CancelButton = nullptr;

  // The values kept so far, in twips.
  enum Value { First, Left, Right, Before, After, LineHeight };
  int Twips(Value v) const { return m_twips[v]; }

private:
  void buildControls();
  void connectEdits();
  void ShowValues();
  void UnitChange();
  void FirstIndentComboChange();
  void OkbuttonClick();
  TIndentUnit unit() const;

  richtext::TRichEditor& m_editor;
  std::array<int, 6> m_twips{};
};

} // namespace compose

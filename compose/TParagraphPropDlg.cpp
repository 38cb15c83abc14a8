#include "compose/TParagraphPropDlg.h"

#include "widgets/FormParts.h"
#include "richtext/RichEditor.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace compose {

namespace {
QLineEdit* numberEdit(const QString& name, double low, double high, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  auto* validator = new QDoubleValidator(low, high, 2, edit);
  validator->setLocale(QLocale::c());
  validator->setNotation(QDoubleValidator::StandardNotation);
  edit->setValidator(validator);
  edit->setMaxLength(8);
  return edit;
}
} // namespace

TParagraphPropDlg::TParagraphPropDlg(richtext::TRichEditor& editor, QWidget* parent)
    : QDialog(parent), m_editor(editor) {
  setObjectName(QStringLiteral("ParagraphPropDlg"));
  setWindowTitle(QStringLiteral("Paragraph Properties"));
  buildControls();
  const richtext::TParagraphProps p = editor.ParagraphProps();
  m_twips = {p.firstIndent, p.leftIndent, p.rightIndent, p.spaceBefore, p.spaceAfter, p.lineHeight};
  FirstIndentCombo->setCurrentIndex(p.firstIndent != p.leftIndent ? 1 : 0);
  FirstIndent->setEnabled(FirstIndentCombo->currentIndex() == 1);
  UnitChange();
  connectEdits();
  // Centred on the screen.
  adjustSize();
  if (QScreen* s = screen())
    move(s->availableGeometry().center() - rect().center());
}

void TParagraphPropDlg::buildControls() {
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->addItems({QStringLiteral("Inch"), QStringLiteral("Cm")});
  FirstIndentCombo = new QComboBox(this);
  FirstIndentCombo->setObjectName(QStringLiteral("FirstIndentCombo"));
  FirstIndentCombo->addItems(
      {QStringLiteral("Same as Left Indent"), QStringLiteral("Indented by")});
  FirstIndent = numberEdit(QStringLiteral("FirstIndent"), -22, 22, this);
  LeftIndent = numberEdit(QStringLiteral("LeftIndent"), 0, 22, this);
  RightIndent = numberEdit(QStringLiteral("RightIndent"), 0, 22, this);
  SpaceBeforePts = numberEdit(QStringLiteral("SpaceBeforePts"), 0, 1584, this);
  SpaceAfterPts = numberEdit(QStringLiteral("SpaceAfterPts"), 0, 1584, this);
  LineHeightPts = numberEdit(QStringLiteral("LineHeightPts"), 0, 1584, this);
  Okbutton = new QPushButton(QStringLiteral("&OK"), this);
  Okbutton->setObjectName(QStringLiteral("Okbutton"));
  Okbutton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));

  auto* indents = new QFormLayout;
  indents->addRow(QStringLiteral("Units"), ComboBox1);
  indents->addRow(QStringLiteral("Left indent"), LeftIndent);
  indents->addRow(QStringLiteral("Right indent"), RightIndent);
  auto* first = new QHBoxLayout;
  first->addWidget(FirstIndentCombo);
  first->addWidget(FirstIndent);
  indents->addRow(QStringLiteral("First line"), first);
  indents->addRow(QStringLiteral("Space before (points)"), SpaceBeforePts);
  indents->addRow(QStringLiteral("Space after (points)"), SpaceAfterPts);
  indents->addRow(QStringLiteral("Line height (points)"), LineHeightPts);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Okbutton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(indents);
  layout->addLayout(buttons);
}

void TParagraphPropDlg::connectEdits() {
  // Only what the user types is converted back: redisplaying rounded values
  // (whole points, two decimals) must not change the paragraph.
  const auto keep = [this](QLineEdit* edit, Value v, bool points) {
    connect(edit, &QLineEdit::textEdited, this, [this, v, points](const QString& text) {
      m_twips[v] = points ? PointsTwips(text) : IndentTwips(text, unit());
    });
  };
  keep(FirstIndent, First, false);
  keep(LeftIndent, Left, false);
  keep(RightIndent, Right, false);
  keep(SpaceBeforePts, Before, true);
  keep(SpaceAfterPts, After, true);
  keep(LineHeightPts, LineHeight, true);
  connect(LeftIndent, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (FirstIndentCombo->currentIndex() == 0) {
      FirstIndent->setText(text);
      m_twips[First] = m_twips[Left];
    }
  });
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { UnitChange(); });
  connect(FirstIndentCombo, &QComboBox::currentIndexChanged, this,
          [this] { FirstIndentComboChange(); });
  connect(Okbutton, &QPushButton::clicked, this, [this] { OkbuttonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(2); });
}

TIndentUnit TParagraphPropDlg::unit() const {
  return ComboBox1->currentIndex() == 1 ? TIndentUnit::Cm : TIndentUnit::Inch;
}

void TParagraphPropDlg::ShowValues() {
  FirstIndent->setText(IndentText(m_twips[First], unit()));
  LeftIndent->setText(IndentText(m_twips[Left], unit()));
  RightIndent->setText(IndentText(m_twips[Right], unit()));
  SpaceBeforePts->setText(PointsText(m_twips[Before]));
  SpaceAfterPts->setText(PointsText(m_twips[After]));
  LineHeightPts->setText(PointsText(m_twips[LineHeight]));
}

void TParagraphPropDlg::UnitChange() {
  ShowValues();
  const QString in =
      unit() == TIndentUnit::Inch ? QStringLiteral("inches") : QStringLiteral("centimeters");
  appwidgets::SetHint(LeftIndent, QStringLiteral("Specify left indent for the paragraph in ") + in);
  appwidgets::SetHint(RightIndent, QStringLiteral("Specify right indent for the paragraph in ") + in);
  appwidgets::SetHint(FirstIndent, QStringLiteral("Specify first line indent for the paragraph in ") + in);
}

void TParagraphPropDlg::FirstIndentComboChange() {
  const bool indented = FirstIndentCombo->currentIndex() == 1;
  FirstIndent->setEnabled(indented);
  if (!indented) {
    FirstIndent->setText(LeftIndent->text());
    m_twips[First] = m_twips[Left];
  }
}

void TParagraphPropDlg::OkbuttonClick() {
  m_editor.SetSpaceBefore(m_twips[Before]);
  m_editor.SetLineHeight(m_twips[LineHeight]);
  m_editor.SetSpaceAfter(m_twips[After]);
  m_editor.SetFirstIndent(m_twips[First]);
  m_editor.SetLeftIndent(m_twips[Left]);
  m_editor.SetRightIndent(m_twips[Right]);
  done(1);
}

} // namespace compose

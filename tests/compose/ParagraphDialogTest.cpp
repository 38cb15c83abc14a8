// The paragraph dialog: the current paragraph's values in inches,
// centimetres and points, typed values back to twips, and what OK applies.
#include "ComposeSupport.h"
#include "compose/ParagraphUnits.h"
#include "compose/TParagraphPropDlg.h"
#include "richtext/RichEditor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using compose::TParagraphPropDlg;

TEST(ParagraphUnits, DisplayAndConversionRules) {
  using compose::TIndentUnit;
  EXPECT_EQ(compose::IndentText(720, TIndentUnit::Inch), QStringLiteral("0.50"));
  EXPECT_EQ(compose::IndentText(720, TIndentUnit::Cm), QStringLiteral("1.27"));
  EXPECT_EQ(compose::IndentText(-360, TIndentUnit::Inch), QStringLiteral("-0.25"));
  EXPECT_EQ(compose::PointsText(240), QStringLiteral("12"));
  EXPECT_EQ(compose::PointsText(250), QStringLiteral("13")); // 12.5 points
  EXPECT_EQ(compose::PointsText(229), QStringLiteral("11"));
  EXPECT_EQ(compose::IndentTwips(QStringLiteral("1.5"), TIndentUnit::Inch), 2160);
  EXPECT_EQ(compose::IndentTwips(QStringLiteral("2.54"), TIndentUnit::Cm), 1440);
  EXPECT_EQ(compose::IndentTwips(QString(), TIndentUnit::Cm), 0);
  EXPECT_EQ(compose::PointsTwips(QStringLiteral("6")), 120);
  EXPECT_EQ(compose::PointsTwips(QStringLiteral("")), 0);
}

TEST(ParagraphDialog, ShowsConvertsAndApplies) {
  richtext::TRichEditor editor;
  editor.setPlainText(QStringLiteral("A paragraph"));
  editor.SetLeftIndent(720);
  editor.SetFirstIndent(1080);
  editor.SetRightIndent(360);
  editor.SetSpaceBefore(250); // 12.5 points, shown rounded
  editor.SetSpaceAfter(120);
  {
    TParagraphPropDlg dlg(editor);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Paragraph Properties"));
    EXPECT_EQ(dlg.ComboBox1->currentText(), QStringLiteral("Inch"));
    EXPECT_EQ(dlg.FirstIndentCombo->currentText(), QStringLiteral("Indented by"));
    EXPECT_TRUE(dlg.FirstIndent->isEnabled());
    EXPECT_EQ(dlg.LeftIndent->text(), QStringLiteral("0.50"));
    EXPECT_EQ(dlg.FirstIndent->text(), QStringLiteral("0.75"));
    EXPECT_EQ(dlg.RightIndent->text(), QStringLiteral("0.25"));
    EXPECT_EQ(dlg.SpaceBeforePts->text(), QStringLiteral("13"));
    EXPECT_EQ(dlg.SpaceAfterPts->text(), QStringLiteral("6"));
    dlg.ComboBox1->setCurrentIndex(1);
    EXPECT_EQ(dlg.LeftIndent->text(), QStringLiteral("1.27"));
    EXPECT_EQ(dlg.RightIndent->text(), QStringLiteral("0.64"));
    EXPECT_EQ(dlg.LeftIndent->statusTip(),
              QStringLiteral("Specify left indent for the paragraph in centimeters"));
    // OK without typing keeps every value exactly, even the 12.5 points
    // that show as 13.
    QTest::mouseClick(dlg.Okbutton, Qt::LeftButton);
    EXPECT_EQ(dlg.result(), 1);
  }
  richtext::TParagraphProps p = editor.ParagraphProps();
  EXPECT_EQ(p.spaceBefore, 250);
  EXPECT_EQ(p.leftIndent, 720);
  EXPECT_EQ(p.firstIndent, 1080);
  {
    TParagraphPropDlg dlg(editor);
    dlg.show();
    dlg.ComboBox1->setCurrentIndex(1);
    dlg.LeftIndent->selectAll();
    QTest::keyClicks(dlg.LeftIndent, QStringLiteral("2.54"));
    dlg.SpaceAfterPts->selectAll();
    QTest::keyClicks(dlg.SpaceAfterPts, QStringLiteral("9"));
    dlg.FirstIndentCombo->setCurrentIndex(0); // same as left: copies it
    EXPECT_FALSE(dlg.FirstIndent->isEnabled());
    EXPECT_EQ(dlg.FirstIndent->text(), QStringLiteral("2.54"));
    dlg.RightIndent->selectAll();
    QTest::keyClick(dlg.RightIndent, Qt::Key_Backspace); // empty counts as 0
    QTest::mouseClick(dlg.Okbutton, Qt::LeftButton);
  }
  p = editor.ParagraphProps();
  EXPECT_EQ(p.leftIndent, 1440);
  EXPECT_EQ(p.firstIndent, 1440);
  EXPECT_EQ(p.rightIndent, 0);
  EXPECT_EQ(p.spaceAfter, 180);
  EXPECT_EQ(p.spaceBefore, 250);
  {
    TParagraphPropDlg dlg(editor);
    dlg.show();
    EXPECT_EQ(dlg.FirstIndentCombo->currentText(), QStringLiteral("Same as Left Indent"));
    dlg.LeftIndent->selectAll();
    QTest::keyClicks(dlg.LeftIndent, QStringLiteral("3"));
    EXPECT_EQ(dlg.FirstIndent->text(), QStringLiteral("3")) << "first follows left";
    QTest::mouseClick(dlg.CancelButton, Qt::LeftButton);
    EXPECT_EQ(dlg.result(), 2);
  }
  EXPECT_EQ(editor.ParagraphProps().leftIndent, 1440) << "cancel applies nothing";
}

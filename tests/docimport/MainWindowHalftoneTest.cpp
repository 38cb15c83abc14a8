// "New Fax from File" in the main window: the halftone chosen in its file
// chooser makes the pages of the new fax, and is offered again next time.

#include "tests/app/AppGuiTestKit.h"

#include "DocPictures.h"
#include "widgets/MessageBoxes.h"
#include "compose/TFaxEditor.h"
#include "richtext/RichEditor.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace appgui;
namespace hook = appwidgets::MessageBoxHook;

namespace {

// Opens the chooser through the File menu's item, takes the halftone `steps`
// entries down from the one offered, and opens `file`; the new fax's editor
// is read and cancelled. Returns the choice offered and the pages' black.
std::pair<QString, double> newFaxFromFile(QWidget& window, const QString& file, int steps) {
  QString offered;
  double black = -1;
  OnNextModal("QFileDialog", [&](QWidget* dialog) {
    QTest::qWaitForWindowExposed(dialog);
    auto* box = Find<QComboBox>(dialog, "cbHalftone");
    if (!box) {
      ADD_FAILURE() << "no halftone choice in the chooser";
      dialog->close();
      return;
    }
    offered = box->currentText();
    box->setFocus();
    for (int i = 0; i < steps; ++i)
      QTest::keyClick(box, Qt::Key_Down);
    // The user goes to the file's folder and types its name.
    qobject_cast<QFileDialog*>(dialog)->setDirectory(QFileInfo(file).absolutePath());
    QLineEdit* name = Find<QLineEdit>(dialog, "fileNameEdit");
    name->setFocus();
    QTest::keyClicks(name, QFileInfo(file).fileName());
    if (QWidget* completions = QApplication::activePopupWidget())
      completions->close();
    auto* buttons = Find<QDialogButtonBox>(dialog, "buttonBox");
    QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
    if (dialog->isVisible()) { // never left waiting for a person
      ADD_FAILURE() << "the chooser did not take " << name->text().toStdString();
      dialog->close();
    }
  });
  OnNextModal("compose::TFaxEditor", [&](QWidget* dialog) {
    auto* editor = qobject_cast<compose::TFaxEditor*>(dialog);
    const auto pictures = doctest::documentPictures(*editor->RichDoc->document());
    if (pictures.size() == 1)
      black = doctest::middleBlackShare(pictures.front());
    hook::setNextAnswer(QMessageBox::Yes); // leave without keeping the fax
    QTest::mouseClick(Find<QPushButton>(dialog, "CancelButton"), Qt::LeftButton);
  });
  // The real chooser is used, not a queued file name.
  hook::setFailWithoutAnswer(false);
  window.findChild<QAction*>(QStringLiteral("mnuNewFromFile"))->trigger();
  hook::setFailWithoutAnswer(true);
  hook::clear();
  return {offered, black};
}

} // namespace

TEST(NewFaxFromFileHalftone, TheChosenHalftoneMakesThePagesAndIsOfferedNextTime) {
  DataFolder data;
  // A grey of 170 over 3 x 2 inches: white under the threshold, a third
  // black when diffused.
  QImage grey(300, 200, QImage::Format_Grayscale8);
  grey.fill(170);
  grey.setDotsPerMeterX(3937);
  grey.setDotsPerMeterY(3937);
  const QString file = QString::fromStdString(data.Path()) + "grey.png";
  ASSERT_TRUE(grey.save(file));
  TMainScreen w;
  w.show();

  // Automatic is offered first; the user takes the threshold: all white.
  const auto [first, thresholded] = newFaxFromFile(w, file, 1);
  EXPECT_EQ(first.toStdString(), "Automatic");
  EXPECT_EQ(thresholded, 0.0);
  EXPECT_EQ(data.ReadIni("Import", "Halftone"), "1");

  // The threshold is offered now; the user takes the photograph: diffused.
  const auto [second, diffused] = newFaxFromFile(w, file, 1);
  EXPECT_EQ(second.toStdString(), "Text and line art (threshold)");
  EXPECT_NEAR(diffused, 1 - 170 / 255.0, 0.03);
  EXPECT_EQ(data.ReadIni("Import", "Halftone"), "2");
  w.close();
}

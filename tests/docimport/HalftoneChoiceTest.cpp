// The halftone choice in the file chooser of the editor's Insert menu, used
// as a person uses it: the real chooser opens, the choice is made with the
// keyboard, the file name typed, and the pages arrive halftoned as chosen;
// the choice is remembered in TOV.INI for the next time.

#include "DocPictures.h"
#include "core/IniFile.h"
#include "widgets/MessageBoxes.h"
#include "compose/EditorRequests.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <functional>

using doctest::documentPictures;

namespace {

// Once the chooser is up, `user` acts on it; waits for it to appear.
void whenChooserOpens(const std::function<void(QFileDialog&)>& user, int triesLeft = 200) {
  QTimer::singleShot(20, [=] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) {
      if (triesLeft > 0)
        whenChooserOpens(user, triesLeft - 1);
      return;
    }
    QTest::qWaitForWindowExposed(dialog);
    user(*dialog);
    if (dialog->isVisible()) { // never left waiting for a person
      ADD_FAILURE() << "the chooser is still open";
      dialog->reject();
    }
  });
}

// Picks the halftone `steps` entries down from the current one, types the
// file name and presses Enter, as a person would.
void chooseAndOpen(QFileDialog& dialog, int steps, const QString& file, QString* shown) {
  auto* box = dialog.findChild<QComboBox*>(QStringLiteral("cbHalftone"));
  ASSERT_NE(box, nullptr);
  *shown = box->currentText();
  box->setFocus();
  for (int i = 0; i < steps; ++i)
    QTest::keyClick(box, Qt::Key_Down);
  auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr);
  name->setFocus();
  QTest::keyClicks(name, file);
  if (QWidget* completions = QApplication::activePopupWidget()) // as a click elsewhere would
    completions->close();
  if (qEnvironmentVariableIsSet("TOLVANE_SHOT_DIR")) // a picture of the chooser to look at
    dialog.grab().save(qEnvironmentVariable("TOLVANE_SHOT_DIR") + "/halftone-chooser.png");
  // The Open button, clicked: a completion list the typing may have opened
  // would take an Enter for itself.
  auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(buttons, nullptr);
  QPushButton* open = buttons->button(QDialogButtonBox::Open);
  ASSERT_NE(open, nullptr);
  ASSERT_TRUE(open->isEnabled());
  QTest::mouseClick(open, Qt::LeftButton);
}

// Triggers the menu item; a failure box it shows is answered and reported.
void trigger(QAction* action) {
  appwidgets::MessageBoxHook::clear();
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Ok);
  action->trigger();
  EXPECT_EQ(appwidgets::MessageBoxHook::shownTexts().join('\n').toStdString(), "");
  appwidgets::MessageBoxHook::clear();
}

} // namespace

TEST(HalftoneChoice, InsertPagesAsksHowGreyBecomesBlackAndWhiteAndRemembers) {
  QTemporaryDir data;
  platform::setProgramDir(data.path().toStdString());
  // A grey picture of 3 x 2 inches: white under the threshold, about a
  // third black when diffused.
  QImage grey(300, 200, QImage::Format_Grayscale8);
  grey.fill(170);
  grey.setDotsPerMeterX(3937);
  grey.setDotsPerMeterY(3937);
  const QString file = data.filePath(QStringLiteral("grey.png"));
  ASSERT_TRUE(grey.save(file));

  QWidget window;
  richtext::TRichEditor editor(&window);
  QMenu menu;
  compose::AddPictureItems(&menu, editor, &window);
  auto* pages = menu.findChild<QAction*>(QStringLiteral("mnuPagesFromFile"));
  ASSERT_NE(pages, nullptr);
  window.show();

  // First time: Automatic is offered; the user takes the threshold.
  QString shown;
  whenChooserOpens([&](QFileDialog& d) { chooseAndOpen(d, 1, file, &shown); });
  trigger(pages);
  EXPECT_EQ(shown.toStdString(), "Automatic");
  auto inserted = documentPictures(*editor.document());
  ASSERT_EQ(inserted.size(), 1u);
  EXPECT_EQ(doctest::middleBlackShare(inserted[0]), 0.0);
  const app::IniFile ini(platform::IniFileName());
  EXPECT_EQ(ini.ReadInteger("Import", "Halftone", -1), 1);

  // Next time the threshold is offered; the user takes the photograph.
  whenChooserOpens([&](QFileDialog& d) { chooseAndOpen(d, 1, file, &shown); });
  trigger(pages);
  EXPECT_EQ(shown.toStdString(), "Text and line art (threshold)");
  inserted = documentPictures(*editor.document());
  ASSERT_EQ(inserted.size(), 2u);
  EXPECT_NEAR(doctest::middleBlackShare(inserted[1]), 1.0 - 170 / 255.0, 0.03);
  EXPECT_EQ(ini.ReadInteger("Import", "Halftone", -1), 2);

  // Cancelled: nothing is inserted and the remembered choice stays.
  whenChooserOpens([&](QFileDialog& d) {
    auto* box = d.findChild<QComboBox*>(QStringLiteral("cbHalftone"));
    shown = box ? box->currentText() : QString();
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  trigger(pages);
  EXPECT_EQ(shown.toStdString(), "Photograph (error diffusion)");
  EXPECT_EQ(documentPictures(*editor.document()).size(), 2u);
  EXPECT_EQ(ini.ReadInteger("Import", "Halftone", -1), 2);
  platform::setProgramDir("");
}

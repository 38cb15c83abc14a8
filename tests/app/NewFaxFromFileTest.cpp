// A fax made from a document dropped onto the main window. The desktop
// program does not link the document readers: its import child loads them
// from their module, so these also check that the module is found, reads
// pages and carries a reader's refusal back as a message.

#include "tests/app/AppGuiTestKit.h"

#include "widgets/MessageBoxes.h"
#include "compose/TFaxEditor.h"
#include "richtext/RichEditor.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>

#include <gtest/gtest.h>

using namespace appgui;
namespace hook = appwidgets::MessageBoxHook;

namespace {

int pictureCount(const QTextDocument& doc) {
  int pictures = 0;
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat())
        ++pictures;
  return pictures;
}

void dropFile(QWidget& window, const QString& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  const QPointF at(window.width() / 2.0, window.height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
}

} // namespace

TEST(NewFaxFromFile, ADroppedPdfBecomesANewFaxWithAPicturePerPage) {
  DataFolder data;
  TMainScreen w;
  w.show();
  int pictures = -1;
  QString subject;
  OnNextModal("compose::TFaxEditor", [&](QWidget* dialog) {
    auto* editor = qobject_cast<compose::TFaxEditor*>(dialog);
    pictures = pictureCount(*editor->RichDoc->document());
    subject = editor->Subject->text();
    QTest::keyClicks(editor->Recipient, "Carol");
    QTest::keyClicks(editor->FaxNumber, "5550101");
    QTest::mouseClick(Find<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
  });
  dropFile(w, QStringLiteral(TOLVANE_TEST_DATA "/docimport/report.pdf"));
  EXPECT_EQ(pictures, 3) << "one picture for each of the PDF's three pages";
  EXPECT_EQ(subject, "report");
  QTableView* grid = Find<QTableView>(&w, "FaxGrid");
  ASSERT_EQ(grid->model()->rowCount(), 1);
  EXPECT_EQ(grid->model()->index(0, 6).data().toString(), "report");
  w.close();
}

TEST(NewFaxFromFile, APasswordProtectedPdfIsRefusedWithItsReason) {
  DataFolder data;
  TMainScreen w;
  w.show();
  hook::clear();
  hook::setNextAnswer(QMessageBox::Ok);
  dropFile(w, QStringLiteral(TOLVANE_TEST_DATA "/docimport/encrypted.pdf"));
  EXPECT_TRUE(hook::lastText().contains("password")) << hook::lastText().toStdString();
  EXPECT_EQ(Find<QTableView>(&w, "FaxGrid")->model()->rowCount(), 0);
  w.close();
}

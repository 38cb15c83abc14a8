// The phone book browser and entry dialog: new, edit, delete, the button
// states, the field limits, and choosing an entry for the fax editor.
#include "ComposeSupport.h"
#include "core/FaxTables.h"
#include "widgets/MessageBoxes.h"
#include "widgets/HelpAndBeep.h"
#include "compose/TFaxEditor.h"
#include "compose/TPhoneBook.h"
#include "compose/TPhoneBookEditor.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace composetest;
using compose::TPhoneBook;
using compose::TPhoneBookEditor;

namespace {

class PhoneBookTest : public DataDirTest {};

// Answers the entry dialog: types name and number and accepts.
void typeEntry(const QString& name, const QString& number, bool accept = true) {
  onNextModal([=](QDialog* d) {
    auto* editor = qobject_cast<TPhoneBookEditor*>(d);
    ASSERT_NE(editor, nullptr);
    editor->Name->selectAll();
    QTest::keyClicks(editor->Name, name);
    editor->Number->selectAll();
    QTest::keyClicks(editor->Number, number);
    QTest::mouseClick(accept ? editor->OKButton : editor->Cancelbutton, Qt::LeftButton);
  });
}

} // namespace

TEST_F(PhoneBookTest, NewEditDeleteWithButtonStates) {
  TPhoneBook book;
  ASSERT_TRUE(app::OpenPhoneDBF(book.PhoneTable));
  book.SetChoosingMode(true);
  book.show();
  EXPECT_FALSE(book.Modifybutton->isEnabled());
  EXPECT_FALSE(book.Deletebutton->isEnabled());
  EXPECT_FALSE(book.OKButton->isEnabled());
  EXPECT_FALSE(book.Closebutton->isVisible());
  EXPECT_TRUE(book.Cancelbutton->isVisible());
  const int beeps = appwidgets::BeepCount();
  QTest::mouseClick(book.Modifybutton, Qt::LeftButton); // disabled: nothing
  book.Modifybutton->click();
  EXPECT_EQ(appwidgets::BeepCount(), beeps);

  // A name longer than 35 characters and a number longer than 25 cannot be typed.
  typeEntry(QString(40, QLatin1Char('n')), QString(30, QLatin1Char('9')));
  QTest::mouseClick(book.Addbutton, Qt::LeftButton);
  EXPECT_EQ(book.PhoneTable.queryRecCount(), 1);
  EXPECT_EQ(book.PhoneTable.fieldString("NAME"), std::string(35, 'n'));
  EXPECT_EQ(book.PhoneTable.fieldString("PHONE"), std::string(25, '9'));
  EXPECT_TRUE(book.Modifybutton->isEnabled());
  EXPECT_TRUE(book.Deletebutton->isEnabled());
  EXPECT_TRUE(book.OKButton->isEnabled());

  typeEntry(QStringLiteral("Carol"), QStringLiteral("555 0100"), false);
  QTest::mouseClick(book.Addbutton, Qt::LeftButton);
  EXPECT_EQ(book.PhoneTable.queryRecCount(), 1) << "cancel adds nothing";

  typeEntry(QStringLiteral("Dora Explorer"), QStringLiteral("555 0123"));
  QTest::mouseClick(book.Modifybutton, Qt::LeftButton);
  EXPECT_EQ(book.PhoneTable.queryRecCount(), 1);
  EXPECT_EQ(book.PhoneGrid->model()->index(0, 0).data().toString(),
            QStringLiteral("Dora Explorer"));

  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::No);
  QTest::mouseClick(book.Deletebutton, Qt::LeftButton);
  EXPECT_EQ(appwidgets::MessageBoxHook::lastText(),
            QStringLiteral("Delete the current phone book entry?:\rDora Explorer"));
  EXPECT_EQ(book.PhoneTable.queryRecCount(), 1);
  appwidgets::MessageBoxHook::setNextAnswer(QMessageBox::Yes);
  QTest::mouseClick(book.Deletebutton, Qt::LeftButton);
  EXPECT_EQ(book.PhoneTable.queryRecCount(), 0);
  EXPECT_FALSE(book.Modifybutton->isEnabled());
  EXPECT_FALSE(book.Deletebutton->isEnabled());
  EXPECT_FALSE(book.OKButton->isEnabled());
}

TEST_F(PhoneBookTest, ManagingModeShowsOnlyClose) {
  TPhoneBook book;
  ASSERT_TRUE(app::OpenPhoneDBF(book.PhoneTable));
  book.show();
  EXPECT_TRUE(book.Closebutton->isVisible());
  EXPECT_FALSE(book.OKButton->isVisible());
  EXPECT_FALSE(book.Cancelbutton->isVisible());
  QTest::mouseClick(book.Closebutton, Qt::LeftButton);
  EXPECT_EQ(book.result(), 2);
}

TEST_F(PhoneBookTest, ChosenEntryGoesIntoTheFaxEditor) {
  {
    TPhoneBook book;
    ASSERT_TRUE(app::OpenPhoneDBF(book.PhoneTable));
    book.show();
    for (auto [name, number] :
         {std::pair{"Anna", "111"}, std::pair{"Bert", "222"}, std::pair{"Cleo", "333"}}) {
      typeEntry(QString::fromLatin1(name), QString::fromLatin1(number));
      QTest::mouseClick(book.Addbutton, Qt::LeftButton);
    }
    EXPECT_EQ(book.PhoneTable.queryRecCount(), 3);
  } // the browser closes its table

  compose::TFaxEditor editor;
  editor.show();
  QTest::keyClicks(editor.Subject, QStringLiteral("Kept subject"));
  QString listed;
  onNextModal([&](QDialog* d) {
    auto* book = qobject_cast<TPhoneBook*>(d);
    ASSERT_NE(book, nullptr);
    EXPECT_FALSE(book->Closebutton->isVisible());
    EXPECT_TRUE(book->OKButton->isVisible());
    const QModelIndex second = book->PhoneGrid->model()->index(1, 0);
    listed = second.data().toString();
    book->PhoneGrid->setCurrentIndex(second);
    QTest::mouseClick(book->OKButton, Qt::LeftButton);
  });
  QTest::mouseClick(editor.AddressButton, Qt::LeftButton);
  EXPECT_FALSE(listed.isEmpty());
  EXPECT_EQ(editor.Recipient->text(), listed);
  EXPECT_EQ(editor.FaxNumber->text(), listed == QStringLiteral("Anna")   ? "111"
                                      : listed == QStringLiteral("Bert") ? "222"
                                                                         : "333");
  EXPECT_EQ(editor.Subject->text(), QStringLiteral("Kept subject"));

  // Cancel in the phone book changes nothing.
  onNextModal([](QDialog* d) {
    QTest::mouseClick(static_cast<TPhoneBook*>(d)->Cancelbutton, Qt::LeftButton);
  });
  editor.Recipient->setText(QStringLiteral("Someone"));
  QTest::mouseClick(editor.AddressButton, Qt::LeftButton);
  EXPECT_EQ(editor.Recipient->text(), QStringLiteral("Someone"));
}

#pragma once
// The phone book browser: lists the Phone table and adds, changes and
// deletes entries; in choosing mode Accept hands one entry back.
//
//   TPhoneBook book(this);
//   if (app::OpenPhoneDBF(book.PhoneTable)) { CenterForm(&book); book.exec(); }

#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace compose {

class TPhoneBookEditor;

class TTableGridModel;

class TPhoneBook : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TPhoneBook)

public:
  explicit TPhoneBook(QWidget* parent = nullptr);
  ~TPhoneBook() override;

  // The browser's own table; the caller opens it (OpenPhoneDBF) before
  // showing the window. Closed when the window is freed.
  xbase::Table PhoneTable;

  // Managing mode (the default): Close shown. Choosing mode: Close hidden,
  // Accept and Cancel shown.
  void SetChoosingMode(bool choosing);

  // The entry handed back by Accept.
  QString ChosenName() const { return m_chosenName; }
  QString ChosenNumber() const { return m_chosenNumber; }

  QTableView* PhoneGrid = nullptr;
  QPushButton* Addbutton = nullptr;
  QPushButton* Modifybutton = nullptr;
  QPushButton* Deletebutton = nullptr;
  QPushButton* Closebutton = nullptr;
  QPushButton* Cancelbutton = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* Helpbutton = nullptr;
  QLabel* status = nullptr;

protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void reject() override { done(2); }

private:
  void buildControls();
  void connectButtons();
  void SetButtonStates();
  void AddbuttonClick();
  void ModifyButtonClick();
  void DeleteButtonClick();
  void AcceptbuttonClick();
  // Sets the buffer's fields from the editor and posts it.
  void storeEntry(const TPhoneBookEditor& editor);

  std::unique_ptr<TTableGridModel> m_model;
  std::unique_ptr<appwidgets::HintRedirect> m_hints;
  QString m_chosenName;
  QString m_chosenNumber;
};

} // namespace compose

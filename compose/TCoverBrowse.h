#pragma once
// The cover sheet template browser: lists the Cover table, creates, edits,
// clones and deletes templates and, in choosing mode, hands one back (the
// table's current record after exec() returned 1).
//
//   xbase::Table cover;
//   if (app::OpenCoverDBF(cover)) {
//     TCoverBrowse browse(cover, this);
//     CenterForm(&browse);
//     browse.exec();
//   }

#include "widgets/WindowServices.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace xbase {
class Table;
}

namespace compose {

class TTableGridModel;
class TCoverEditor;

class TCoverBrowse : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TCoverBrowse)

public:
  TCoverBrowse(xbase::Table& coverTable, QWidget* parent = nullptr);
  ~TCoverBrowse() override;

  // Managing mode (the default): Close shown. Choosing mode: Close hidden,
  // Accept and Cancel shown.
  void SetChoosingMode(bool choosing);
  bool CloneFlag() const { return m_clone; }

  QTableView* CoverGrid = nullptr;
  QPushButton* NewButton = nullptr;
  QPushButton* ModifyButton = nullptr;
  QPushButton* CloneButton = nullptr;
  QPushButton* DeleteButton = nullptr;
  QPushButton* CloseButton = nullptr;
  QPushButton* Acceptbutton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* HelpButton = nullptr;
  QLabel* status = nullptr;

protected:
  void showEvent(QShowEvent* event) override;
  void reject() override { done(2); }

private:
  void buildControls();
  void connectButtons();
  void storeTemplate(const TCoverEditor& editor);
  // Loads the current template into the editor; false after saying why.
  bool loadTemplate(TCoverEditor& editor);
  void NewButtonClick();
  void ModifyButtonClick();
  void CloneButtonClick();
  void DeleteButtonClick();
  void AcceptbuttonClick();

  xbase::Table& m_table;
  std::unique_ptr<TTableGridModel> m_model;
  std::unique_ptr<appwidgets::HintRedirect> m_hints;
  bool m_clone = false;
};

} // namespace compose

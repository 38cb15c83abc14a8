#pragma once
// One phone book entry: the recipient's name and fax number.

#include "widgets/WindowServices.h"

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace compose {

class TPhoneBookEditor : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TPhoneBookEditor)

public:
  explicit TPhoneBookEditor(QWidget* parent = nullptr);
  ~TPhoneBookEditor() override;

  QLineEdit* Name = nullptr;   // at most 35 characters
  QLineEdit* Number = nullptr; // at most 25 characters
  QPushButton* OKButton = nullptr;
  QPushButton* Cancelbutton = nullptr;
  QPushButton* Helpbutton = nullptr;
  QLabel* status = nullptr;

  // Writes the window's work to its table; throws with the reason when it
  // cannot. OK runs it and keeps the window open with the work on failure.
  std::function<void()> Store;

protected:
  void reject() override { done(2); } // the cancel key and the close box

private:
  void buildControls();
  void OKButtonClick();

  std::unique_ptr<appwidgets::HintRedirect> m_hints;
};

} // namespace compose

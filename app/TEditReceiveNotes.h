#pragma once
// "Received Fax Notes": a one-line note for a received fax.

#include "widgets/WindowServices.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

class TEditReceiveNotes : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TEditReceiveNotes)

public:
  explicit TEditReceiveNotes(QWidget* parent = nullptr);
  ~TEditReceiveNotes() override;

  QLabel* Descript() const { return m_descript; }
  QLineEdit* Notes() const { return m_notes; }
  QLabel* Status() const { return m_status; }

  // Writes the note; throws with the reason when it cannot. Accept runs it
  // and keeps the window open with the note when it fails.
  std::function<void()> Store;

private:
  QLabel* m_descript = nullptr;
  QLineEdit* m_notes = nullptr;
  QPushButton* m_acceptButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPushButton* m_helpButton = nullptr;
  QLabel* m_status = nullptr;
  std::unique_ptr<appwidgets::HintRedirect> m_hints;
};

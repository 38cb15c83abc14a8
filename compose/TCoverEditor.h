#pragma once
// The cover sheet template editor: a description and one rich text into
// which merge fields are inserted from the Insert menu.

#include "widgets/WindowServices.h"
#include "compose/EditorParts.h"

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QPushButton;

namespace richtext {
class TRichEditor;
class TRichToolBar;
} // namespace richtext

namespace compose {

class TCoverEditor : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TCoverEditor)

public:
  explicit TCoverEditor(QWidget* parent = nullptr);
  ~TCoverEditor() override;

  QLineEdit* CoverDescription = nullptr; // at most 35 characters
  QPushButton* HelpButton = nullptr;
  QPushButton* OKbutton = nullptr;
  QPushButton* CancelButton = nullptr;
  QPushButton* InsertButton = nullptr;
  QPushButton* Zoombutton = nullptr;
  QMenu* InsertMenu = nullptr;
  QMenu* ZoomMenu = nullptr;
  richtext::TRichToolBar* RichToolBar1 = nullptr;
  richtext::TRichEditor* RichCover = nullptr;
  QLabel* status = nullptr;
  TEditorButtons CoverButtons; // page break, paragraph, word wrap

  // Inserts the merge field named by an Insert menu caption ("Recipient",
  // "Fax Number", "Subject", "Date", "Time"); another caption inserts nothing.
  void MenuItemClick(const QString& caption);

  // Writes the window's work to its table; throws with the reason when it
  // cannot. OK runs it and keeps the window open with the work on failure.
  std::function<void()> Store;

protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void done(int result) override;
  void reject() override { done(2); }

private:
  void buildTop();
  void buildInsertMenu();
  void connectControls();
  void SetZoom(int zoom);
  void OKbuttonClick();

  std::unique_ptr<appwidgets::HintRedirect> m_hints;
  bool m_placementSaved = false;
  bool m_activated = false;
};

} // namespace compose

#pragma once
// The fax editor: one stored fax's recipient, fax number and subject, its
// document and its cover sheet, on three pages.
//
// The main window fills it from a record (LoadRichText into RichCover and
// RichDoc, the three texts with setText) or applies the default font to both
// editors for a new fax, sets Store and shows it modally. Accept runs Store
// while the editor is still open: when it fails the editor says why and
// stays open with the user's text, so nothing written is lost. Accept is
// refused while a text holds characters the Windows-1252 table fields cannot
// keep, so ToAnsi() of the texts is exact.

#include "widgets/WindowServices.h"
#include "compose/EditorParts.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace richtext {
class TRichEditor;
class TRichToolBar;
} // namespace richtext

namespace compose {

class TFaxEditor : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY(TFaxEditor)

public:
  explicit TFaxEditor(QWidget* parent = nullptr);
  ~TFaxEditor() override;

  // Notebook pages.
  enum Page { CoverPage = 0, DocumentPage = 1, RecipientPage = 2 };

  QWidget* ButtonPanel = nullptr;
  QPushButton* Helpbutton = nullptr;
  QPushButton* RecipientButton = nullptr;
  QPushButton* DocumentButton = nullptr;
  QPushButton* CoverButton = nullptr;
  QPushButton* Zoombutton = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QStackedWidget* Notebook = nullptr;
  QLineEdit* Recipient = nullptr; // at most 35 characters
  QLineEdit* FaxNumber = nullptr; // at most 25 characters
  QLineEdit* Subject = nullptr;   // at most 50 characters
  QPushButton* AddressButton = nullptr;
  richtext::TRichEditor* RichDoc = nullptr;
  richtext::TRichToolBar* RichToolDoc = nullptr;
  richtext::TRichEditor* RichCover = nullptr;
  richtext::TRichToolBar* RichToolCover = nullptr;
  TEditorButtons DocButtons; // DocPageBreakButton, ParagraphSetupButton, DocWordWrapButton
  TEditorButtons
      CoverButtons; // CoverDocPageBreakButton, CoverParagraphSetupbutton, CoverDocWordWrapButton
  QAction* LoadCoverButton = nullptr;
  QMenu* ZoomMenu = nullptr;
  QLabel* status = nullptr;

  // Writes the fax to its table; throws with the reason when it cannot.
  std::function<void()> Store;

  // The text the editor supplies for a merge field's tag (cut to 100
  // characters), or nothing for an unknown tag.
  std::optional<QString> RichCoverGetTextToInsert(int tag);

protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void done(int result) override;
  void reject() override { done(2); }

private:
  void buildButtonPanel();
  QWidget* buildRecipientPage();
  QWidget* buildEditorPage(richtext::TRichEditor*& editor, richtext::TRichToolBar*& toolBar,
                           const QString& editorName, const QString& toolBarName);
  void buildToolButtons();
  void connectControls();
  void connectEditor(richtext::TRichEditor* editor, richtext::TRichToolBar* bar,
                     const TEditorButtons& buttons);
  richtext::TRichEditor* editorInView() const;
  void ShowPage(Page page);
  void SetZoom(int zoom);
  void LoadCoverButtonClick();
  void AddressButtonClick();
  void OKButtonClick();

  std::unique_ptr<appwidgets::HintRedirect> m_hints;
  QString m_mergeBuffer; // the text last handed to the cover editor
  bool m_activated = false;
  bool m_placementSaved = false;
};

} // namespace compose

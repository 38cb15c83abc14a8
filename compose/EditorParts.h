#pragma once
// Pieces the fax editor and the cover template editor share: the Enter-key
// edit, the extra toolbar buttons and what they do (page break, word wrap,
// paragraph properties), the zoom menu, and the check that typed texts fit
// the Windows-1252 table fields.

#include <QLineEdit>
#include <QString>
#include <initializer_list>
#include <utility>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace richtext {
class TRichEditor;
class TRichToolBar;
} // namespace richtext

namespace compose {

// An edit box in which Enter moves the focus to the next control of the
// window (the key itself is swallowed). maxLength shows the field's limit
// while typing.
class TEnterEdit : public QLineEdit {
  Q_OBJECT
public:
  TEnterEdit(const QString& objectName, int maxLength, const QString& hint,
             QWidget* parent = nullptr);

protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// A push button with its design name and hint.
QPushButton* MakeButton(const QString& objectName, const QString& text, const QString& hint,
                        QWidget* parent);
// The status line of a compose window: centred blue text that shows hints.
QLabel* MakeStatusLabel(QWidget* parent);

// A toolbar button (speed button) with an objectName and a hint.
QAction* AddToolButton(richtext::TRichToolBar* bar, const QString& objectName, const QString& text,
                       const QString& hint, bool checkable = false);

// The three extra buttons of an editor toolbar.
struct TEditorButtons {
  QAction* PageBreak = nullptr;
  QAction* Paragraph = nullptr;
  QAction* WordWrap = nullptr;
};
TEditorButtons AddEditorButtons(richtext::TRichToolBar* bar, const QString& pageBreakName,
                                const QString& paragraphName, const QString& wordWrapName);

// "Add a page break here?" (No by default); on Yes the caret's paragraph
// begins a new page.
void AskPageBreak(richtext::TRichEditor& editor, QWidget* parent);
// Inverts word wrap; the button is down and its hint says "off" exactly
// when wrap is now on.
void ToggleWordWrap(richtext::TRichEditor& editor, QAction* button);
// Shows the wrap state on the button without changing it.
void ShowWordWrap(const richtext::TRichEditor& editor, QAction* button);
// The paragraph dialog on the editor's current paragraph, modal.
void EditParagraph(richtext::TRichEditor& editor, QWidget* parent);

// The zoom menu: items Zoom70, Zoom80, Zoom100 whose data is the percentage.
QMenu* MakeZoomMenu(QWidget* parent);
// Checks the item whose percentage equals zoom, and no other.
void CheckZoomItem(QMenu* menu, int zoom);
QString ZoomCaption(int zoom);

// True when every text can be stored as Windows-1252; otherwise tells the
// user which field holds which characters the table cannot keep, puts the
// focus there and returns false.
bool CheckAnsiTexts(QWidget* parent, std::initializer_list<std::pair<QString, QLineEdit*>> fields);

} // namespace compose

#pragma once
// Window-side shared services: placement memory, centring, the hint line,
// the busy cursor, pop-up menus under buttons and the rich-text helpers that
// read the user's settings.

#include <QLabel>
#include <QPointer>
#include <QString>

class QMenu;
class QWidget;

namespace richtext {
class TRichEditor;
}

namespace appwidgets {

// The application's main window (set by the main window when it is created),
// over which dialogs are centred. Null while there is none.
QWidget* MainWindow();
void SetMainWindow(QWidget* window);

// The class name used for placement sections and centring rules: the
// widget's C++ class without namespace ("TMainScreen", "TFaxEditor").
QString WindowClassName(const QWidget* window);

// Centres a dialog over the main window, or on the screen for the main window
// itself and while the main window is maximised. Call before showing.
void CenterForm(QWidget* window);
// Restores the window's stored placement from TOV.INI (centring it when none
// is stored), pulls it back onto a screen when the stored rectangle lies off
// every screen, maximises it when stored so, then saves it at once.
void RestorePlacement(QWidget* window);
// Stores the window's normal rectangle and its maximised state in TOV.INI.
void SavePlacement(const QWidget* window);

// Shows the menu at the screen position of the button's lower left corner.
void PopupBelow(QWidget* button, QMenu* menu);

// The editor's current character attributes take the default font of the
// settings (name, size, bold, italic, underline).
void ApplyDefaultFont(richtext::TRichEditor& editor);
// Loads the settings, lets the user choose the default font, and on OK
// stores it and saves the settings. True when the user chose a font.
bool ChooseDefaultFont(QWidget* parent = nullptr);
// True when the editor holds nothing but blanks and empty lines.
bool IsRichTextEmpty(const richtext::TRichEditor& editor);

// The label that shows hint texts. The hint of a control is its statusTip
// (set it to the design's hint text; tool tips may repeat it). While hints
// are on (Settings.HintsOn), hovering a control or a menu entry shows its
// hint here. InstallHintHandler is called once by the application.
QLabel* HintTarget();
void SetHintTarget(QLabel* label);
void InstallHintHandler();
// Turns hint display on or off at once (also the tool tips), e.g. after
// "Show Hints" was toggled.
void SetHintsShown(bool on);

// A dialog with a status line of its own: remembers the current hint
// target, points it at the dialog's label while the dialog lives (and again
// whenever it is activated), and puts the remembered one back at the end.
class HintRedirect {
public:
  HintRedirect(QWidget* dialog, QLabel* status);
  ~HintRedirect();
  HintRedirect(const HintRedirect&) = delete;
  HintRedirect& operator=(const HintRedirect&) = delete;

private:
  QPointer<QLabel> m_previous;
  QPointer<QLabel> m_own;
  QObject* m_activationWatch = nullptr;
};

// The hourglass: busy cursor from construction to destruction. Long work on
// the GUI thread also calls ProcessPendingEvents between steps.
class BusyCursor {
public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// "Pending messages are processed": lets the window repaint during long work.
void ProcessPendingEvents();

// Windows-1252 bytes (tables, TOV.INI) to display text and back. Characters
// the code page lacks are reported through ok (false) instead of becoming
// "?" silently.
QString FromAnsi(const std::string& bytes);
std::string ToAnsi(const QString& text, bool* ok = nullptr);

} // namespace appwidgets

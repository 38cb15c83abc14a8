#pragma once
// The program's message boxes and file choosers. Every window asks through
// these functions, so that a test can give the answer a person would give
// (setNextAnswer, setNextFileName) and read what was shown, and no modal box
// is ever left waiting for a person who is not there.

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace appwidgets {

// Modal box, caption "Information", information icon, OK button.
void ShowInfo(const QString& text, QWidget* parent = nullptr);
// Modal Yes/No box with a question icon; Yes is the default. True for Yes.
bool AskYesNo(const QString& text, const QString& caption, QWidget* parent = nullptr);
// The same with No as the default button (deletions, page breaks).
bool AskYesNoDefaultNo(const QString& text, const QString& caption, QWidget* parent = nullptr);
// A box with the given icon and buttons; returns the button chosen.
QMessageBox::StandardButton AskButtons(QMessageBox::Icon icon, const QString& caption,
                                       const QString& text, QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton,
                                       QWidget* parent = nullptr);
// The error box for a failure nobody handled: caption "Error", error icon.
void ShowError(const QString& text, QWidget* parent = nullptr);

// File choosers; an empty string when the user cancelled.
QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter);
QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter);
// The open chooser with `extra` (a choice that goes with the file) under the
// file list, in Qt's own chooser; `extra` stays the caller's and is read
// after the return. The test hook answers it as it answers the one above.
QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                        const QString& filter, QWidget* extra);

// Test hooks. While an answer is queued, the next box returns it at once
// without being shown; a queued file name answers the next file chooser
// (an empty name means Cancel). Every box's text is recorded either way.
namespace MessageBoxHook {
void setNextAnswer(QMessageBox::StandardButton answer);
void setNextFileName(const QString& name);
// Texts of the boxes shown (or answered) since the last clear, oldest first.
QStringList shownTexts();
QString lastText();
// Caption and default button of the last box shown (or answered).
QString lastCaption();
QMessageBox::StandardButton lastDefaultButton();
void clear();
// When set, a box with no queued answer fails the run loudly instead of
// waiting for a person (tests turn this on).
void setFailWithoutAnswer(bool on);
} // namespace MessageBoxHook

} // namespace appwidgets

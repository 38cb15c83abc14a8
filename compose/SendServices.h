#pragma once
// Small window services of the send dialog and the modem utilities: the
// warning beep (counted, so that a test can tell "only beeps" from "did
// something"), help by context number, and text conversion at the settings
// boundary.

#include <QString>

#include <functional>
#include <string>

namespace compose {

// The system's default beep (MessageBeep with 0).
void MessageBeep();
// Beeps since the program started.
int BeepCount();

// Opens help at a context number through the handler the main window sets;
// without a handler the request is only counted.
void ShowHelpContext(int context);
void SetHelpHandler(std::function<void(int)> handler);
// The last context asked for (0 before any).
int LastHelpContext();

// Settings strings are Windows-1252 bytes.
QString Ansi(const std::string& bytes);
std::string ToAnsiText(const QString& text);

// The modem texts break lines with a carriage return; labels and boxes
// show them as line breaks.
QString ModemText(const std::string& text);

} // namespace compose

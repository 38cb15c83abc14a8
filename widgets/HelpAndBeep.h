#pragma once
// The warning beep (counted, so that a test can tell "only beeps" from "did
// something") and help by context number, for every dialog.

#include <functional>

namespace appwidgets {

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

} // namespace appwidgets

#pragma once
// The "process pending messages" service. Long work (converting, unpacking,
// building fax files) calls processPendingEvents() between steps so that the
// user interface stays alive. The GUI installs a hook over the Qt event loop;
// programs without a GUI leave it empty and the call does nothing.

#include <functional>

namespace platform {

void setProcessPendingEventsHook(std::function<void()> hook);
void processPendingEvents();

// A request to end the program that arrived while long work let pending
// events run (the Qt adapter sets it when the application is told to quit).
// The converter, the unpacker and fax-file creation check it after each
// processPendingEvents() and stop with ecGotQuitMsg ("Got quit message"), so
// the work ends cleanly instead of running on under a closing program.
void requestQuit();
bool quitRequested();
void clearQuitRequest();

} // namespace platform

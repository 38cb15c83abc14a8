#pragma once
// The "process pending messages" service. Long work (converting, unpacking,
// building fax files) calls processPendingEvents() between steps so that the
// user interface stays alive. The GUI installs a hook over the Qt event loop;
// programs without a GUI leave it empty and the call does nothing.

#include <functional>

namespace platform {

void setProcessPendingEventsHook(std::function<void()> hook);
void processPendingEvents();

} // namespace platform

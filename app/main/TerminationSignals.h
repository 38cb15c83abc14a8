#pragma once
// SIGTERM (a desktop logout, `kill`), SIGINT and SIGHUP end the program the
// way its Exit command does, on the GUI thread: receive mode is stopped, the
// tables are closed and the demo's modem simulator is ended, instead of the
// process dying with the simulator left running.

#include <functional>

class QObject;

// Calls `close` in the event loop of `owner` once one of the signals
// arrives. Call once, after the QApplication exists.
void CloseOnTerminationSignals(QObject* owner, std::function<void()> close);

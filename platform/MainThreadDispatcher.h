#pragma once
// Work handed to the main (user-interface) thread from other threads.
//
// post(fn) queues fn and returns at once. send(fn, timeout) queues fn and
// waits at most `timeout` for it to run: the serial dispatcher uses it for
// trigger messages to windows, so a hung main thread costs it at most one
// second per handler. One dispatcher is current for the process: the Qt
// adapter (platform/qt) when a QCoreApplication runs, otherwise a
// PlainEventLoop run by the program itself (command-line tool, tests).

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class MainThreadDispatcher {
public:
  virtual ~MainThreadDispatcher() = default;

  // Queues fn for the main thread.
  virtual void post(std::function<void()> fn) = 0;
  // True on the thread that serves this dispatcher.
  virtual bool isMainThread() const = 0;

  // Runs fn on the main thread and waits at most `timeout` for it. Returns
  // true when fn ran. Called on the main thread itself, fn runs at once.
  // A call that times out before fn started withdraws it, so fn never runs
  // late; once fn has started the caller waits for it to finish, because fn
  // may refer to the caller's state.
  bool send(std::function<void()> fn, std::chrono::milliseconds timeout);
};

// The dispatcher in use. Without an explicit choice, a process-wide
// PlainEventLoop whose main thread is the first thread that asked for it.
MainThreadDispatcher& mainThreadDispatcher();
// Makes `d` current (nullptr restores the default plain loop). The caller
// keeps ownership and must reset it before destroying `d`.
void setMainThreadDispatcher(MainThreadDispatcher* d);

// The application's handler for exceptions that escape work run on the main
// thread (the standard error box of the GUI). Without one, the message is
// written to stderr and the program goes on.
void setApplicationExceptionHandler(std::function<void(std::exception_ptr)> handler);
void reportApplicationException(std::exception_ptr e);

// Set while the application shuts down; long waits give up when they see it.
bool applicationTerminating();
void setApplicationTerminating(bool terminating);

// A plain event loop for programs without Qt. The thread that constructs it
// is its main thread.
class PlainEventLoop final : public MainThreadDispatcher {
public:
  PlainEventLoop();
  PlainEventLoop(const PlainEventLoop&) = delete;
  PlainEventLoop& operator=(const PlainEventLoop&) = delete;

  void post(std::function<void()> fn) override;
  bool isMainThread() const override;

  // Runs queued work until quit() is called.
  void run();
  // Runs queued work for the given time (returns early after quit()).
  void runFor(std::chrono::milliseconds duration);
  // Runs what is queued now and returns; returns the number of items run.
  int processPending();
  void quit();

private:
  bool runOne(std::unique_lock<std::mutex>& lock);

  std::thread::id m_owner;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_queue;
  bool m_quit = false;
};

} // namespace platform

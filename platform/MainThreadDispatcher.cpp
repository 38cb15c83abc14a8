#include "platform/MainThreadDispatcher.h"

#include <atomic>
#include <cstdio>
#include <memory>

namespace platform {

namespace {

std::atomic<MainThreadDispatcher*> g_current{nullptr};
std::atomic<bool> g_terminating{false};

PlainEventLoop& defaultLoop() {
  static PlainEventLoop loop;
  return loop;
}

// Shared between a send() and the queued call: the state decides whether the
// call may still start (pending), runs (running), is done, or was withdrawn.
struct SendState {
  enum Stage { Pending, Running, Done, Withdrawn };
  std::mutex mutex;
  std::condition_variable changed;
  Stage stage = Pending;
};

} // namespace

bool MainThreadDispatcher::send(std::function<void()> fn, std::chrono::milliseconds timeout) {
  if (isMainThread()) {
    fn();
    return true;
  }
  auto state = std::make_shared<SendState>();
  post([state, fn = std::move(fn)] {
    {
      std::lock_guard lock(state->mutex);
      if (state->stage != SendState::Pending)
        return;
      state->stage = SendState::Running;
    }
    fn();
    std::lock_guard lock(state->mutex);
    state->stage = SendState::Done;
    state->changed.notify_all();
  });
  std::unique_lock lock(state->mutex);
  if (!state->changed.wait_for(lock, timeout, [&] { return state->stage != SendState::Pending; })) {
    state->stage = SendState::Withdrawn;
    return false;
  }
  state->changed.wait(lock, [&] { return state->stage == SendState::Done; });
  return true;
}

MainThreadDispatcher& mainThreadDispatcher() {
  if (auto* d = g_current.load())
    return *d;
  return defaultLoop();
}

void setMainThreadDispatcher(MainThreadDispatcher* d) {
  g_current.store(d);
}

namespace {
std::mutex g_handlerMutex;
std::function<void(std::exception_ptr)> g_exceptionHandler;
} // namespace

void setApplicationExceptionHandler(std::function<void(std::exception_ptr)> handler) {
  std::lock_guard lock(g_handlerMutex);
  g_exceptionHandler = std::move(handler);
}

void reportApplicationException(std::exception_ptr e) {
  std::function<void(std::exception_ptr)> handler;
  {
    std::lock_guard lock(g_handlerMutex);
    handler = g_exceptionHandler;
  }
  if (handler) {
    handler(e);
    return;
  }
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "Unhandled exception: %s\n", ex.what());
  } catch (...) {
    std::fprintf(stderr, "Unhandled exception\n");
  }
}

bool applicationTerminating() {
  return g_terminating.load();
}
void setApplicationTerminating(bool terminating) {
  g_terminating.store(terminating);
}

PlainEventLoop::PlainEventLoop() : m_owner(std::this_thread::get_id()) {}

void PlainEventLoop::post(std::function<void()> fn) {
  std::lock_guard lock(m_mutex);
  m_queue.push_back(std::move(fn));
  m_wake.notify_all();
}

bool PlainEventLoop::isMainThread() const {
  return std::this_thread::get_id() == m_owner;
}

bool PlainEventLoop::runOne(std::unique_lock<std::mutex>& lock) {
  if (m_queue.empty())
    return false;
  auto fn = std::move(m_queue.front());
  m_queue.pop_front();
  lock.unlock();
  fn();
  lock.lock();
  return true;
}

void PlainEventLoop::run() {
  std::unique_lock lock(m_mutex);
  m_quit = false;
  while (!m_quit) {
    m_wake.wait(lock, [&] { return m_quit || !m_queue.empty(); });
    while (!m_quit && runOne(lock)) {
    }
  }
}

void PlainEventLoop::runFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  std::unique_lock lock(m_mutex);
  m_quit = false;
  while (!m_quit) {
    if (!m_wake.wait_until(lock, end, [&] { return m_quit || !m_queue.empty(); }))
      break;
    while (!m_quit && runOne(lock)) {
    }
  }
}

int PlainEventLoop::processPending() {
  std::unique_lock lock(m_mutex);
  // Only what is queued now: work queued by the work itself waits for the next call.
  size_t n = m_queue.size();
  int ran = 0;
  while (n-- > 0 && runOne(lock))
    ++ran;
  return ran;
}

void PlainEventLoop::quit() {
  std::lock_guard lock(m_mutex);
  m_quit = true;
  m_wake.notify_all();
}

} // namespace platform

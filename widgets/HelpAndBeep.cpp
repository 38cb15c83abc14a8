#include "widgets/HelpAndBeep.h"

#include <QApplication>

#include <atomic>
#include <utility>

namespace appwidgets {

namespace {
std::atomic<int> g_beeps{0};
std::atomic<int> g_lastHelp{0};
std::function<void(int)>& helpHandler() {
  static std::function<void(int)> handler;
  return handler;
}
} // namespace

void MessageBeep() {
  ++g_beeps;
  QApplication::beep();
}

int BeepCount() {
  return g_beeps.load();
}

void ShowHelpContext(int context) {
  g_lastHelp = context;
  if (helpHandler())
    helpHandler()(context);
}

void SetHelpHandler(std::function<void(int)> handler) {
  helpHandler() = std::move(handler);
}

int LastHelpContext() {
  return g_lastHelp.load();
}

} // namespace appwidgets

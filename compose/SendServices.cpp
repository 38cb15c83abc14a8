#include "compose/SendServices.h"

#include "widgets/WindowServices.h"

#include <QApplication>

#include <atomic>
#include <utility>

namespace compose {

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

QString Ansi(const std::string& bytes) {
  return appwidgets::FromAnsi(bytes);
}

std::string ToAnsiText(const QString& text) {
  return appwidgets::ToAnsi(text);
}

QString ModemText(const std::string& text) {
  QString shown = Ansi(text);
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

} // namespace compose

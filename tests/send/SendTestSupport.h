#pragma once
// What the send window tests share: a Qt application with the program's
// dispatcher, a data folder of their own with the Com entries pointed at
// chosen devices, waiting on the event loop, and answering modal dialogs.

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

namespace sendtest {

// A fresh ProgramDir (TOV.INI, trace files) for one test; removed at the end.
class TestHome {
public:
  TestHome();
  ~TestHome();
  const std::string& Dir() const { return m_dir; }
  std::string Ini() const { return m_dir + "TOV.INI"; }
  // [Ports] Com n = device.
  void SetCom(int n, const std::string& device) const;

private:
  std::string m_dir;
};

// Runs the event loop until `done` or `seconds` have passed; the result of `done`.
bool WaitUntil(const std::function<bool()>& done, double seconds);

// Calls `act` with the first modal dialog of type T once it is shown and
// `ready` says so (polled every 20 ms, for at most `seconds`).
template <typename T>
void WhenModal(std::function<bool(T&)> ready, std::function<void(T&)> act, double seconds = 30);
void WhenModalWidget(const std::function<QWidget*()>& find,
                     const std::function<bool(QWidget&)>& ready,
                     const std::function<void(QWidget&)>& act, double seconds);

// The text of a child label of `w` with that object name ("" when missing).
QString LabelText(const QWidget& w, const char* name);
// Clicks the child button with that object name.
void Click(QWidget& w, const char* name);

} // namespace sendtest

#include <QApplication>

template <typename T>
void sendtest::WhenModal(std::function<bool(T&)> ready, std::function<void(T&)> act,
                         double seconds) {
  WhenModalWidget([] { return qobject_cast<T*>(QApplication::activeModalWidget()); },
                  [ready](QWidget& w) { return ready(static_cast<T&>(w)); },
                  [act](QWidget& w) { act(static_cast<T&>(w)); }, seconds);
}

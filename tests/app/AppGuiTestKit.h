#pragma once
// Shared set-up of the main window tests: a QApplication, a data folder of
// each test's own with tables filled as a test needs, and small helpers to
// find controls and wait for what the window does.

#include "app/FaxListPane.h"
#include "app/ReceiveMode.h"
#include "app/TMainScreen.h"

#include <QApplication>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace appgui {

QApplication& TestApp();

struct SentRecord {
  std::string Subject;
  bool Sent = false;
  std::string Date; // YYYYMMDD or ""
  std::string Time; // hh:mm or ""
  std::string Recipient = "Recipient";
  std::string Phone = "5550100";
};

struct ReceivedRecord {
  std::string Date;
  std::string Time;
  std::string From;
  int Pages = 1;
  std::string FaxFile;
  std::string Notes;
};

// A temporary data folder made the program's folder for the test's life.
// TOV.INI names Com1 as configured, so no start is a first run.
class DataFolder {
public:
  DataFolder();
  // The folder is made inside `parent` (a small file system of a test).
  explicit DataFolder(const std::string& parent);
  ~DataFolder();
  std::string Path() const; // ends with "/"
  void AddSent(const SentRecord& record);
  void AddReceived(const ReceivedRecord& record);
  // A received fax file in receive/ with some bytes in it.
  std::string WriteReceivedFile(const std::string& name);
  void WriteIni(const std::string& section, const std::string& key, const std::string& value);
  std::string ReadIni(const std::string& section, const std::string& key) const;

private:
  QTemporaryDir m_dir;
};

// Runs the event loop until pred() holds or ms have passed; returns pred().
bool WaitFor(const std::function<bool()>& pred, int ms = 5000);

// Runs `action` on the next modal dialog of class T once it is shown.
void OnNextModal(const char* className, std::function<void(QWidget*)> action);

template <typename T> T* Find(QWidget* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}

} // namespace appgui

// Reaches the window's state that a test cannot produce through controls
// without a modem (receive mode on without a port, the list models).
class MainScreenTestAccess {
public:
  static void SetReceiving(TMainScreen& w, bool on) {
    w.m_receiveMode->m_receiving = on;
    w.SetButtons();
  }
  static void SetFaxInProgress(TMainScreen& w, bool on) { w.m_receiveMode->m_faxInProgress = on; }
  static app::FaxTableModel& SentModel(TMainScreen& w) { return w.m_sentList->Model(); }
  static app::FaxTableModel& ReceivedModel(TMainScreen& w) { return w.m_receivedList->Model(); }
  // What the receive component hands the window when a fax has arrived.
  static void FaxArrived(TMainScreen& w, const std::string& from, int pages,
                         const std::string& file) {
    w.FaxReceived(app::ReceivedFax{from, pages, file, QDateTime::currentDateTime()});
  }
  // The half-minute retry of writes that failed, at once.
  static void RetryNow(TMainScreen& w) { w.RetryPendingWrites(); }
};

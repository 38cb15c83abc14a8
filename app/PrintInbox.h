#pragma once
// Faxes printed from other programs: the inbox that the print backend fills
// (inbox/ of the data folder) is watched, and each job becomes a new fax in
// the Sent list, its pages read by the document import, its subject the
// job's title and its number the one typed in the print dialog. A job leaves
// the inbox only once its fax is stored; jobs printed while the program was
// not running are taken at its start.

#include "printinbox/InboxReader.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <set>
#include <string>

class TMainScreen;

namespace xbase {
class Table;
}

namespace app {

class PrintInbox : public QObject {
  Q_OBJECT

public:
  // Watches the inbox of the data folder (made when missing); faxes are
  // appended to `sent`, which must stay open while this lives.
  PrintInbox(xbase::Table& sent, QObject* parent);
  QString Folder() const { return m_folder; }

  // Takes every job waiting now. While a modal window is open (an editor,
  // the send dialog of the last printed fax) nothing is taken or shown: the
  // inbox is looked at again once it has closed.
  void Scan();

Q_SIGNALS:
  // A printed job is now the Sent record recNo. Emitted one at a time, never
  // while a modal window is open.
  void FaxStored(long recNo, const QString& number);
  // A job that gives no fax: the print backend refused it, or its pages
  // could not be read (the PDF then stays in the inbox).
  void JobRefused(const QString& title, const QString& reason);
  // A job that needs the user's attention but is not lost: its fax could not
  // be stored yet (it stays and is tried again), or it could not be removed
  // after its fax was stored.
  void JobWaiting(const QString& title, const QString& reason);

private:
  // Stores the job's fax as a new Sent record; *error says why not.
  enum class Taken { Stored, Unreadable, NotStored };
  Taken StoreJob(const printinbox::InboxEntry& entry, long* recNo, QString* error);
  void SetAside(const printinbox::InboxEntry& entry);
  void ShowNext();
  bool Blocked() const;

  xbase::Table& m_sent;
  QString m_folder;
  QFileSystemWatcher m_watcher;
  QTimer m_again;
  bool m_busy = false;
  struct Stored {
    long recNo;
    QString number;
  };
  std::deque<Stored> m_toShow;
  std::set<std::string> m_taken;
};

// Gives the main window its print inbox: each printed fax is listed under
// Sent and selected, and its send dialog opens with the number filled in
// (or sends at once when the preferences say so); a refused job is told in
// the status line and as a desktop notification.
void ConnectPrintInbox(TMainScreen& window);

} // namespace app

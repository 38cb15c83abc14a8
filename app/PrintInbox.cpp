#include "app/PrintInbox.h"

#include "compose/RichTextMemo.h"
#include "core/FaxStores.h"
#include "docimport/qt/ImportChoice.h"
#include "docimport/qt/PagePictures.h"
#include "platform/ProgramDir.h"
#include "richtext/RichEditor.h"
#include "widgets/WindowServices.h"
#include "xbase/Table.h"

#include <QApplication>
#include <QDir>
#include <QFile>

namespace app {

PrintInbox::PrintInbox(xbase::Table& sent, QObject* parent)
    : QObject(parent),
      m_sent(sent),
      m_folder(QString::fromStdString(platform::ProgramDir() + printinbox::kInboxFolder)) {
  // Made here as the backend makes it: for the user only.
  if (QDir().mkpath(m_folder))
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
  m_watcher.addPath(m_folder);
  connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &PrintInbox::Scan);
  m_again.setSingleShot(true);
  connect(&m_again, &QTimer::timeout, this, &PrintInbox::Scan);
  // The jobs printed while the program was not running.
  QTimer::singleShot(0, this, &PrintInbox::Scan);
}

bool PrintInbox::Blocked() const {
  return QApplication::activeModalWidget() != nullptr || !m_sent.isOpen() ||
         m_sent.state() != xbase::TableState::Browse;
}

void PrintInbox::Scan() {
  if (m_busy)
    return;
  if (Blocked()) {
    m_again.start(1000);
    return;
  }
  m_busy = true;
  for (const auto& entry : printinbox::ListInbox(m_folder.toStdString())) {
    if (m_taken.count(entry.jobFile))
      continue; // stored already, its files could not be removed
    const QString title = QString::fromStdString(entry.job.title);
    if (entry.refused) {
      std::string ignored;
      printinbox::RemoveInboxEntry(entry, &ignored);
      Q_EMIT JobRefused(title, QString::fromStdString(entry.job.reason));
      continue;
    }
    long recNo = 0;
    QString error;
    switch (StoreJob(entry, &recNo, &error)) {
    case Taken::Stored: {
      // A job that stays (a read-only inbox) is not taken a second time in
      // this run; the status line says where it is.
      std::string error;
      if (!printinbox::RemoveInboxEntry(entry, &error)) {
        m_taken.insert(entry.jobFile);
        Q_EMIT JobWaiting(title, QStringLiteral("it is in the Sent list, but its print job "
                                                "could not be removed from the inbox: ") +
                                     QString::fromStdString(error));
      }
      m_toShow.push_back({recNo, QString::fromStdString(entry.job.number)});
      break;
    }
    case Taken::Unreadable:
      SetAside(entry);
      Q_EMIT JobRefused(title, error);
      break;
    case Taken::NotStored:
      // The job stays and is tried again in a while (a full disk, say).
      Q_EMIT JobWaiting(title, QStringLiteral("it waits in the inbox and is tried again (") +
                                   error + QStringLiteral(")"));
      m_again.start(30000);
      break;
    }
  }
  m_busy = false;
  ShowNext();
}

// One stored fax at a time: its send dialog is modal, and the next waits
// until it has closed.
void PrintInbox::ShowNext() {
  while (!m_toShow.empty()) {
    if (Blocked()) {
      m_again.start(1000);
      return;
    }
    const Stored next = m_toShow.front();
    m_toShow.pop_front();
    Q_EMIT FaxStored(next.recNo, next.number);
  }
}

PrintInbox::Taken PrintInbox::StoreJob(const printinbox::InboxEntry& entry, long* recNo,
                                       QString* error) {
  richtext::TRichEditor cover;
  richtext::TRichEditor document;
  appwidgets::ApplyDefaultFont(cover);
  appwidgets::ApplyDefaultFont(document);
  const QString pdf = QString::fromStdString(entry.document);
  if (docimport::InsertPagesFromFile(document, pdf, error, docimport::RememberedHalftone()) == 0)
    return Taken::Unreadable;
  const QString title = QString::fromStdString(entry.job.title);
  try {
    WriteRecord(m_sent, [&] {
      m_sent.append();
      compose::SaveRichText(cover, m_sent, "RTFCOVER");
      compose::SaveRichText(document, m_sent, "RTFDOC");
      m_sent.setField("SUBJECT", appwidgets::ToAnsi(title.left(50)));
      m_sent.setField("PHONE", entry.job.number.substr(0, 25));
      m_sent.setLogical("SENT", false);
      m_sent.post();
    });
  } catch (const std::exception& e) {
    *error = QString::fromLocal8Bit(e.what());
    return Taken::NotStored;
  }
  *recNo = m_sent.recNo();
  return Taken::Stored;
}

// A job whose pages cannot be read is no longer taken, but its PDF stays in
// the inbox for the user to look at.
void PrintInbox::SetAside(const printinbox::InboxEntry& entry) {
  const QString job = QString::fromStdString(entry.jobFile);
  QFile::rename(job, job + QStringLiteral(".unreadable"));
}

} // namespace app

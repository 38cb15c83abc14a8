#include "app/FaxArchiveService.h"

#include "app/ForwardingPage.h"
#include "app/SecretStore.h"
#include "archive/ArchiveIndex.h"
#include "archive/ForwardSettings.h"
#include "archive/IsolatedOcr.h"
#include "archive/ForwardJournal.h"
#include "archive/ForwardQueue.h"
#include "archive/OcrLanguages.h"
#include "archive/OcrWorker.h"
#include "archive/SentFaxes.h"
#include "faximage/ApfFile.h"
#include "platform/ProgramDir.h"

#include <QTimer>

#include <filesystem>

namespace app {

FaxArchiveService::FaxArchiveService(QObject* parent) : QObject(parent) {
  QTimer::singleShot(StartDelayMs, this, &FaxArchiveService::StartReader);
}

FaxArchiveService::~FaxArchiveService() = default; // stops the reader and the forwarder

std::string FaxArchiveService::IndexPath() {
  return platform::ProgramDir() + "archive.sqlite";
}

archive::FaxFolders FaxArchiveService::Folders() {
  return {platform::ProgramDir() + "receive/", platform::ProgramDir() + "sent-text/"};
}

std::string FaxArchiveService::OcrLanguageWanted() {
  return archive::LoadOcrLanguage(platform::IniFileName());
}

std::string FaxArchiveService::OcrLanguage() {
  return archive::ChooseOcrLanguage(OcrLanguageWanted()).Language;
}

void FaxArchiveService::FaxSent(const std::string& file, const std::string& key) {
  if (!archive::KeepSentFaxPages(file, Folders().Sent, key))
    return; // the fax goes out all the same; only its text is not kept
  if (m_worker)
    m_worker->Enqueue(archive::SentFaxName(key));
}

void FaxArchiveService::StartReader() {
  if (m_worker)
    return;
  ResumeForwards();
  if (const auto choice = archive::ChooseOcrLanguage(OcrLanguageWanted()); !choice.Problem.empty())
    Q_EMIT StatusMessage(QString::fromLocal8Bit(choice.Problem.c_str()));
  // The language is looked up for each fax, so that a change in Preferences
  // applies to the next fax read.
  archive::OcrWorker::Options options{IndexPath(), Folders(), [] {
                                        return [](const std::string& path) {
                                          return archive::IsolatedOcrReader(OcrLanguage())(path);
                                        };
                                      }};
  // The listener runs on the reader's thread; what it reports reaches this
  // object through its event queue, and is dropped once the object is gone.
  m_worker = std::make_unique<archive::OcrWorker>(
      std::move(options), [this](const std::string& name, const std::string& problem) {
        const QString fax = QString::fromStdString(name);
        const QString text = QString::fromLocal8Bit(problem.c_str());
        QMetaObject::invokeMethod(
            this,
            [this, fax, text] {
              // A fax that cannot be read is no fax (the viewer says so);
              // trouble with the index is shown where the search is.
              if (text.isEmpty())
                Q_EMIT TextStored(fax);
              else if (fax.isEmpty())
                m_problem = text;
            },
            Qt::QueuedConnection);
      });
}

void FaxArchiveService::FaxArrived(const std::string& file) {
  if (m_worker)
    m_worker->Enqueue(std::filesystem::path(file).filename().string());
  // Before the reader starts, its first look at receive/ finds the fax.
  // Forwarding may ask the secret store, which answers through the event
  // loop: that happens once the receiving code has returned.
  QTimer::singleShot(0, this, [this, file] { Forward(file); });
}

int FaxArchiveService::ForwardsPending() const {
  return m_forwards ? m_forwards->Pending() : 0;
}

namespace {

QString forwardReport(const archive::ForwardQueue::Report& r) {
  const QString fax = QString::fromStdString(r.Fax);
  const bool folder = r.Step == "folder";
  if (r.Problem.empty())
    return folder ? QStringLiteral("Fax %1 saved as %2").arg(fax, QString::fromStdString(r.Result))
                  : QStringLiteral("Fax %1 mailed to %2").arg(fax, QString::fromStdString(r.Result));
  return QStringLiteral("Forwarding fax %1 %2 failed (attempt %3): %4 Next attempt in %5 s.")
      .arg(fax, folder ? QStringLiteral("to the folder") : QStringLiteral("by mail"))
      .arg(r.Attempt)
      .arg(QString::fromLocal8Bit(r.Problem.c_str()))
      .arg(qMax<qint64>(1, std::chrono::duration_cast<std::chrono::seconds>(r.RetryIn).count()));
}

// The first page's text for the mail: from the index, or read now.
std::string firstPageText(const archive::ForwardedFax& fax) {
  const std::string name = std::filesystem::path(fax.ApfPath).filename().string();
  try {
    archive::ArchiveIndex index(FaxArchiveService::IndexPath());
    if (std::string text = index.PageText(name, 1); !text.empty())
      return text;
  } catch (const std::exception&) {
  }
  try {
    const archive::FaxText text =
        archive::IsolatedOcrReader(FaxArchiveService::OcrLanguage())(fax.ApfPath);
    return text.Pages.empty() ? std::string() : text.Pages.front();
  } catch (const std::exception&) {
    return "(The text of the fax could not be read.)";
  }
}

} // namespace

std::string FaxArchiveService::JournalPath() {
  return platform::ProgramDir() + "forward-pending.txt";
}

archive::ForwardQueue& FaxArchiveService::Forwards() {
  if (!m_forwards) {
    archive::ForwardQueue::Options options{platform::ProgramDir(), std::chrono::seconds(30),
                                           std::chrono::minutes(30), firstPageText,
                                           JournalPath()};
    m_forwards = std::make_unique<archive::ForwardQueue>(
        std::move(options), [this](const archive::ForwardQueue::Report& r) {
          const QString text = forwardReport(r);
          QMetaObject::invokeMethod(
              this, [this, text] { Q_EMIT StatusMessage(text); }, Qt::QueuedConnection);
        });
  }
  return *m_forwards;
}

archive::ForwardRules FaxArchiveService::CurrentRules() {
  archive::ForwardRules rules = archive::LoadForwardRules(platform::IniFileName());
  if (rules.SendMail)
    rules.Mail.Password = ReadSecret(ForwardingPage::PasswordKey()).Value.toStdString();
  return rules;
}

void FaxArchiveService::Forward(const std::string& file) {
  const archive::ForwardRules rules = CurrentRules();
  if (!rules.Any())
    return;
  faximage::ApfFileHeader header;
  const bool read = faximage::readApfFileHeader(file, header) == 0;
  Forwards().Add({file, read ? header.stationId() : std::string(), std::time(nullptr),
                  read ? int(header.pageCount) : 0},
                 rules);
}

// Forwards left undone when the program last ended, with the rules as they
// are now (a rule turned off since drops its step).
void FaxArchiveService::ResumeForwards() {
  const std::vector<archive::PendingForward> pending = archive::ReadForwardJournal(JournalPath());
  if (pending.empty())
    return;
  const archive::ForwardRules rules = CurrentRules();
  archive::ForwardQueue& queue = Forwards();
  for (const archive::PendingForward& p : pending) {
    archive::ForwardRules left = rules;
    left.SaveToFolder = rules.SaveToFolder && p.Folder;
    left.SendMail = rules.SendMail && p.Mail;
    faximage::ApfFileHeader header;
    const bool read = faximage::readApfFileHeader(p.ApfPath, header) == 0;
    queue.Add({p.ApfPath, read ? header.stationId() : std::string(), p.When,
               read ? int(header.pageCount) : 0},
              left);
  }
  if (queue.Pending() == 0)
    archive::WriteForwardJournal(JournalPath(), {});
}

} // namespace app

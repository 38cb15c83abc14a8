#include "app/FaxArchiveService.h"

#include "archive/OcrModule.h"
#include "archive/OcrWorker.h"
#include "platform/ProgramDir.h"

#include <QTimer>

#include <filesystem>

namespace app {

FaxArchiveService::FaxArchiveService(QObject* parent) : QObject(parent) {
  QTimer::singleShot(StartDelayMs, this, &FaxArchiveService::StartReader);
}

FaxArchiveService::~FaxArchiveService() = default;

std::string FaxArchiveService::IndexPath() {
  return platform::ProgramDir() + "archive.sqlite";
}

void FaxArchiveService::StartReader() {
  if (m_worker)
    return;
  archive::OcrWorker::Options options{IndexPath(), platform::ProgramDir() + "receive/",
                                      [] { return archive::LoadOcrModuleReader("eng"); }};
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
}

} // namespace app

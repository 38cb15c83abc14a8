#pragma once
// The main window's link to the archive: the background reader that puts
// the text of every received and sent fax into the search index (started a few
// seconds after the window, so that it never competes with the start), the
// forwarding of each received fax by the rules in Preferences, and what the
// window hears of both, delivered on the GUI thread.

#include <QObject>
#include <QString>

#include <memory>
#include <string>

namespace archive {
struct FaxFolders;
class ForwardQueue;
class OcrWorker;
struct ForwardRules;
}

namespace app {

class FaxArchiveService final : public QObject {
  Q_OBJECT
  Q_DISABLE_COPY(FaxArchiveService)

public:
  // How long after the window is made the reader starts.
  static constexpr int StartDelayMs = 4000;

  explicit FaxArchiveService(QObject* parent = nullptr);
  ~FaxArchiveService() override;

  // The search index in the data folder, and the folders of the faxes it
  // holds the text of.
  static std::string IndexPath();
  static archive::FaxFolders Folders();
  // The OCR language of the preferences, and the one faxes are read in
  // (English when that one is not installed).
  static std::string OcrLanguageWanted();
  static std::string OcrLanguage();
  // A received fax's file (its path in receive/): read into the index, and
  // forwarded as the rules say.
  void FaxArrived(const std::string& file);
  // A sent fax's file, about to be sent and deleted afterwards (key: the
  // record's SentFaxKey): kept for the reader, and read without delaying
  // the call.
  void FaxSent(const std::string& file, const std::string& key);
  // Forwards pending or retrying (for tests).
  int ForwardsPending() const;
  // Starts the reader now (tests, and the first search).
  void StartReader();
  bool ReaderStarted() const { return static_cast<bool>(m_worker); }
  // The reader's last trouble with the OCR engine or the index, if any.
  QString Problem() const { return m_problem; }

Q_SIGNALS:
  // The text of a fax (its name in receive/) is in the index.
  void TextStored(const QString& name);
  // Something for the status line.
  void StatusMessage(const QString& text);

private:
  static std::string JournalPath();
  archive::ForwardQueue& Forwards();
  archive::ForwardRules CurrentRules();
  void Forward(const std::string& file);
  void ResumeForwards();

  std::unique_ptr<archive::OcrWorker> m_worker;
  std::unique_ptr<archive::ForwardQueue> m_forwards;
  QString m_problem;
};

} // namespace app

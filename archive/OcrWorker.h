#pragma once
// The background reader of faxes: one thread at the lowest priority that
// reads the text of every fax in the receive folder, and of every sent fax
// kept for it (SentFaxes.h), that the index does not hold yet (newest
// first), then waits for new faxes. Receiving and
// the windows never wait for it: Enqueue only adds a name to a list.

#include "archive/FaxText.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace archive {

class ArchiveIndex;

struct FaxFolders {
  std::string Receive; // ends with "/"
  std::string Sent;    // ends with "/"; empty: no sent faxes
};

class OcrWorker {
public:
  struct Options {
    std::string IndexPath; // archive.sqlite
    FaxFolders Folders;
    // Makes the reader on the worker thread (loading the OCR engine takes
    // a moment); a throw is reported and leaves the faxes unread.
    std::function<TextReader()> MakeReader;
  };
  // Called on the worker thread after a fax's text is stored (name in the
  // receive folder) and when something fails (name empty, message set).
  using Listener = std::function<void(const std::string& name, const std::string& problem)>;

  OcrWorker(Options options, Listener listener);
  // Stops after the page being read; what is not read yet is read at the
  // next start (the index tells what is missing).
  ~OcrWorker();
  OcrWorker(const OcrWorker&) = delete;
  OcrWorker& operator=(const OcrWorker&) = delete;

  // A fax file that arrived (its name in the receive folder), or a sent
  // fax kept for reading (its name in the index, SentFaxName).
  void Enqueue(const std::string& name);
  // Faxes stored so far by this worker (for tests and the status line).
  int Stored() const;
  // True when nothing is queued and nothing is being read.
  bool Idle() const;
  // Waits until idle or the timeout passes; true when idle.
  bool WaitIdle(int timeoutMs) const;

private:
  void Run();
  void Sync();
  std::deque<std::string> FindUnread();
  void ReadOne(const std::string& name);

  // Used by the worker thread only.
  std::unique_ptr<ArchiveIndex> m_index;
  TextReader m_reader;

  Options m_options;
  Listener m_listener;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_wake;
  std::deque<std::string> m_queue;
  bool m_stop = false;
  bool m_busy = true; // until the first sync has run
  int m_stored = 0;
  std::thread m_thread;
};

// The APF files of a folder (any letter case of ".apf"), newest first.
std::deque<std::string> FaxFilesIn(const std::string& dir);
// The faxes (index names) the index lacks or holds an older text of:
// received ones newest first, then sent ones. Drops the entries of faxes
// that are gone.
std::deque<std::string> UnreadFaxes(ArchiveIndex& index, const FaxFolders& folders);
// Reads one fax into the index unless it holds its current text; true when
// it was read.
bool ReadIntoIndex(ArchiveIndex& index, const TextReader& reader, const FaxFolders& folders,
                   const std::string& name);

} // namespace archive

#include "archive/OcrWorker.h"

#include "archive/ArchiveIndex.h"
#include "archive/FaxText.h"
#include "archive/SentFaxes.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_set>

namespace fs = std::filesystem;

namespace archive {

std::deque<std::string> FaxFilesIn(const std::string& dir) {
  std::vector<std::pair<int64_t, std::string>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext != ".apf" || !entry.is_regular_file(ec))
      continue;
    const std::string name = entry.path().filename().string();
    found.emplace_back(StampOf(dir + name).MTime, name);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a > b; });
  std::deque<std::string> names;
  for (auto& [when, name] : found)
    names.push_back(std::move(name));
  return names;
}

OcrWorker::OcrWorker(Options options, Listener listener)
    : m_options(std::move(options)), m_listener(std::move(listener)) {
  m_thread = std::thread([this] { Run(); });
}

OcrWorker::~OcrWorker() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void OcrWorker::Enqueue(const std::string& name) {
  {
    std::lock_guard lock(m_mutex);
    if (std::find(m_queue.begin(), m_queue.end(), name) == m_queue.end())
      m_queue.push_front(name);
  }
  m_wake.notify_all();
}

int OcrWorker::Stored() const {
  std::lock_guard lock(m_mutex);
  return m_stored;
}

bool OcrWorker::Idle() const {
  std::lock_guard lock(m_mutex);
  return !m_busy && m_queue.empty();
}

bool OcrWorker::WaitIdle(int timeoutMs) const {
  std::unique_lock lock(m_mutex);
  return m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return !m_busy && m_queue.empty(); });
}

void OcrWorker::Run() {
  // Only this thread drops to the lowest priority (Linux gives each thread
  // its own nice value), so a call in progress keeps its share of the CPU.
  // TOLVANE_OCR_NICE sets another value, for a machine kept busy by other
  // work where faxes should still be read soon (the tests are one).
  int nice = 19;
  if (const char* wanted = std::getenv("TOLVANE_OCR_NICE"); wanted && *wanted)
    nice = std::clamp(std::atoi(wanted), 0, 19);
  setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), nice);
  try {
    m_reader = m_options.MakeReader();
  } catch (const std::exception& e) {
    m_listener({}, e.what());
  }
  Sync();
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_busy = false;
    m_wake.notify_all();
    m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
    if (m_stop)
      break;
    const std::string name = m_queue.front();
    m_queue.pop_front();
    m_busy = true;
    lock.unlock();
    ReadOne(name);
    lock.lock();
  }
  lock.unlock();
  m_index.reset();
  m_reader = nullptr;
}

void OcrWorker::ReadOne(const std::string& name) {
  if (!m_reader)
    return;
  // An index file deleted while open: its entries went with it.
  if (!m_index || StampOf(m_options.IndexPath).Size < 0) {
    m_index.reset();
    Sync();
    if (!m_index)
      return;
  }
  try {
    if (!ReadIntoIndex(*m_index, m_reader, m_options.Folders, name))
      return;
    {
      std::lock_guard lock(m_mutex);
      ++m_stored;
    }
    m_listener(name, {});
  } catch (const IndexError& e) {
    m_listener({}, e.what());
    if (e.Damaged()) {
      // Everything in the index can be read again from the faxes: start a
      // new one and queue every fax.
      m_index.reset();
      ArchiveIndex::Discard(m_options.IndexPath);
      Sync();
    }
  } catch (const std::exception& e) {
    m_listener(name, e.what()); // a fax that cannot be read stays unread
  }
}

// Opens the index (checking it, and starting a new one when it is damaged),
// queues every fax it lacks or holds an older text of, and drops the entries
// of files that are gone.
void OcrWorker::Sync() {
  std::deque<std::string> missing;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      missing = FindUnread();
      break;
    } catch (const IndexError& e) {
      m_listener({}, e.what());
      m_index.reset();
      if (!e.Damaged())
        return;
      ArchiveIndex::Discard(m_options.IndexPath);
    }
  }
  std::lock_guard lock(m_mutex);
  for (std::string& name : missing)
    if (std::find(m_queue.begin(), m_queue.end(), name) == m_queue.end())
      m_queue.push_back(std::move(name));
}

std::deque<std::string> OcrWorker::FindUnread() {
  if (!m_index)
    m_index = std::make_unique<ArchiveIndex>(m_options.IndexPath, true);
  return UnreadFaxes(*m_index, m_options.Folders);
}

std::deque<std::string> UnreadFaxes(ArchiveIndex& index, const FaxFolders& folders) {
  const std::deque<std::string> files = FaxFilesIn(folders.Receive);
  const auto sent = folders.Sent.empty() ? std::map<std::string, SentFaxFiles>()
                                         : SentFaxesIn(folders.Sent);
  std::unordered_set<std::string> present(files.begin(), files.end());
  for (const auto& [key, kept] : sent)
    present.insert(SentFaxName(key));
  for (const std::string& name : index.Names())
    if (!present.count(name))
      index.Remove(name);
  std::deque<std::string> missing;
  for (const std::string& name : files)
    if (!index.IsCurrent(name, StampOf(folders.Receive + name)))
      missing.push_back(name);
  for (const auto& [key, kept] : sent)
    if (!kept.Text || kept.Pages ||
        !index.IsCurrent(SentFaxName(key), StampOf(folders.Sent + key + ".ocr")))
      missing.push_back(SentFaxName(key));
  return missing;
}

bool ReadIntoIndex(ArchiveIndex& index, const TextReader& reader, const FaxFolders& folders,
                   const std::string& name) {
  if (const std::string key = SentFaxKey(name); !key.empty())
    return !folders.Sent.empty() && ReadSentFax(index, reader, folders.Sent, key);
  const FileStamp stamp = StampOf(folders.Receive + name);
  if (stamp.Size < 0 || index.IsCurrent(name, stamp))
    return false;
  index.Store(name, stamp, reader(folders.Receive + name));
  return true;
}

} // namespace archive

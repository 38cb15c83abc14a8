#pragma once
// The forwarding of received faxes on a thread of its own: each fax is saved
// into the folder and/or mailed as its rules say, and a step that fails is
// tried again after a wait that doubles each time (up to a limit), for as
// long as the program runs. Nothing is dropped: the fax stays in the
// queue until every step has succeeded.

#include "archive/FaxForward.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace archive {

struct ForwardRules {
  bool SaveToFolder = false;
  std::string Folder;
  bool SendMail = false;
  MailSettings Mail;
  bool Any() const { return SaveToFolder || SendMail; }
};

class ForwardQueue {
public:
  using Clock = std::chrono::steady_clock;
  struct Options {
    std::string TempDir; // where the mail's PDF is written for the moment
    std::chrono::milliseconds FirstRetry{std::chrono::seconds(30)};
    std::chrono::milliseconds LongestRetry{std::chrono::minutes(30)};
    // The first page's text for the mail body (from the index, or read).
    std::function<std::string(const ForwardedFax&)> FirstPageText;
    // Where the steps not done yet are kept (ForwardJournal); empty: nowhere.
    std::string JournalPath;
  };
  struct Report {
    std::string Fax;     // the fax file's name
    std::string Step;    // "folder" or "mail"
    std::string Problem; // empty when the step succeeded
    std::string Result;  // the PDF written, or the addresses mailed
    int Attempt = 0;
    std::chrono::milliseconds RetryIn{0}; // when it failed
  };
  using Listener = std::function<void(const Report&)>; // on the queue's thread

  ForwardQueue(Options options, Listener listener);
  ~ForwardQueue(); // waits for the step under way
  ForwardQueue(const ForwardQueue&) = delete;
  ForwardQueue& operator=(const ForwardQueue&) = delete;

  void Add(const ForwardedFax& fax, const ForwardRules& rules);
  // Faxes with a step still to do.
  int Pending() const;
  // Waits until nothing is pending or the timeout passes.
  bool WaitEmpty(std::chrono::milliseconds timeout) const;

private:
  struct Job {
    ForwardedFax Fax;
    ForwardRules Rules;
    bool FolderDone = false;
    bool MailDone = false;
    int Attempts = 0;
    Clock::time_point Due;
  };
  void Run();
  void Work(Job& job);
  void SaveJournal() const; // with m_mutex held

  Options m_options;
  Listener m_listener;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_wake;
  std::vector<Job> m_jobs;
  bool m_stop = false;
  bool m_working = false;
  std::vector<Job> m_current; // the job being worked on, for the journal
  std::thread m_thread;
};

} // namespace archive

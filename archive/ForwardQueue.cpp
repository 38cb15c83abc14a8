#include "archive/ForwardQueue.h"

#include "archive/ForwardJournal.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace archive {

ForwardQueue::ForwardQueue(Options options, Listener listener)
    : m_options(std::move(options)), m_listener(std::move(listener)) {
  m_thread = std::thread([this] { Run(); });
}

ForwardQueue::~ForwardQueue() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void ForwardQueue::Add(const ForwardedFax& fax, const ForwardRules& rules) {
  if (!rules.Any())
    return;
  {
    std::lock_guard lock(m_mutex);
    m_jobs.push_back({fax, rules, !rules.SaveToFolder, !rules.SendMail, 0, Clock::now()});
    SaveJournal();
  }
  m_wake.notify_all();
}

int ForwardQueue::Pending() const {
  std::lock_guard lock(m_mutex);
  return int(m_jobs.size()) + (m_working ? 1 : 0);
}

bool ForwardQueue::WaitEmpty(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_wake.wait_for(lock, timeout, [this] { return m_jobs.empty() && !m_working; });
}

void ForwardQueue::Run() {
  std::unique_lock lock(m_mutex);
  while (!m_stop) {
    if (m_jobs.empty()) {
      m_wake.wait(lock);
      continue;
    }
    auto next = std::min_element(m_jobs.begin(), m_jobs.end(),
                                 [](const Job& a, const Job& b) { return a.Due < b.Due; });
    if (next->Due > Clock::now()) {
      m_wake.wait_until(lock, next->Due);
      continue;
    }
    Job job = std::move(*next);
    m_jobs.erase(next);
    m_working = true;
    m_current = {job};
    lock.unlock();
    Work(job);
    lock.lock();
    m_working = false;
    m_current.clear();
    if (!job.FolderDone || !job.MailDone)
      m_jobs.push_back(std::move(job));
    SaveJournal();
    m_wake.notify_all();
  }
}

void ForwardQueue::SaveJournal() const {
  if (m_options.JournalPath.empty())
    return;
  std::vector<PendingForward> pending;
  for (const auto* jobs : {&m_current, &m_jobs})
    for (const Job& j : *jobs)
      pending.push_back({j.Fax.ApfPath, !j.FolderDone, !j.MailDone, j.Fax.When});
  // A journal that cannot be written costs only the forwarding after a
  // restart; the queue itself goes on.
  WriteForwardJournal(m_options.JournalPath, pending);
}

// One attempt at every step still to do; a failure sets the next attempt's
// time, doubling the wait each time.
void ForwardQueue::Work(Job& job) {
  ++job.Attempts;
  auto wait = m_options.FirstRetry;
  for (int i = 1; i < job.Attempts && wait < m_options.LongestRetry; ++i)
    wait *= 2;
  wait = std::min(wait, m_options.LongestRetry);
  const std::string name = std::filesystem::path(job.Fax.ApfPath).filename().string();
  auto report = [&](const char* step, const std::string& problem, const std::string& result) {
    m_listener({name, step, problem, result, job.Attempts, problem.empty() ? decltype(wait){0} : wait});
  };
  if (!job.FolderDone) {
    try {
      report("folder", {}, SaveFaxPdf(job.Fax, job.Rules.Folder));
      job.FolderDone = true;
    } catch (const std::exception& e) {
      report("folder", e.what(), {});
    }
  }
  if (!job.MailDone) {
    const std::string pdf = m_options.TempDir + "forward-" + std::to_string(getpid()) + ".pdf";
    try {
      {
        const std::string made = SaveFaxPdf(job.Fax, m_options.TempDir);
        std::filesystem::rename(made, pdf);
      }
      const std::string text = m_options.FirstPageText ? m_options.FirstPageText(job.Fax) : "";
      SendFaxMail(job.Rules.Mail, job.Fax, pdf, text);
      job.MailDone = true;
      report("mail", {}, job.Rules.Mail.To);
    } catch (const std::exception& e) {
      report("mail", e.what(), {});
    }
    std::remove(pdf.c_str());
  }
  job.Due = Clock::now() + wait;
}

} // namespace archive

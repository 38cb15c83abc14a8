// Forwarding received faxes through a real mail server started here (STARTTLS
// with a certificate made by openssl, login required) and into folders: the
// attachment read back with poppler, the body with the page's text, retries
// while the server is down, and the messages of a folder that cannot be used.
#include "../faxview/FaxFiles.h"
#include "OcrPages.h"

#include "archive/ForwardQueue.h"
#include "archive/ocr/FaxOcr.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

// The mail server as a child process; stopped when this goes.
class MailServer {
public:
  MailServer(int port, const std::string& dir) {
    fs::create_directories(dir + "mail");
    m_pid = ::fork();
    if (m_pid == 0) {
      const std::string script = TOLVANE_SOURCE_DIR "/tests/archive/smtp_server.py";
      const std::string portText = std::to_string(port);
      const std::string cert = dir + "cert.pem", key = dir + "key.pem", out = dir + "mail";
      ::execl("/usr/bin/python3", "python3", script.c_str(), portText.c_str(), cert.c_str(),
              key.c_str(), out.c_str(), nullptr);
      ::_exit(127);
    }
  }
  ~MailServer() {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
  }

private:
  pid_t m_pid = -1;
};

struct Reports {
  std::mutex mutex;
  std::vector<archive::ForwardQueue::Report> all;
  archive::ForwardQueue::Listener listener() {
    return [this](const archive::ForwardQueue::Report& r) {
      std::lock_guard lock(mutex);
      all.push_back(r);
    };
  }
  std::vector<archive::ForwardQueue::Report> of(const std::string& step) {
    std::lock_guard lock(mutex);
    std::vector<archive::ForwardQueue::Report> found;
    for (const auto& r : all)
      if (r.Step == step)
        found.push_back(r);
    return found;
  }
};

int pdfPages(const std::string& pdf) {
  int status = 0;
  const std::string info = faxtest::capture("pdfinfo '" + pdf + "' 2>&1", &status);
  const auto at = info.find("Pages:");
  return status == 0 && at != std::string::npos ? std::stoi(info.substr(at + 6)) : -1;
}

// A two-page received fax: a letter at fine resolution and a page at standard.
archive::ForwardedFax twoPageFax(const std::string& dir) {
  const std::string path = dir + "FAX00001.APF";
  faxtest::writeApf(path, {archivetest::DrawTextPage("Invoice from Northfield Timber", 20),
                           archivetest::DrawTextPage("Second page", 20)});
  return {path, "NORTHFIELD 01202", std::time(nullptr), 2};
}

std::string scratchDir(const std::string& name) {
  const std::string dir = faxtest::scratch(name) + "/";
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(Forwarding, MailWaitsForTheServerAndArrivesWithThePdfAndTheText) {
  const std::string dir = scratchDir("mail");
  int status = 0;
  faxtest::capture("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                   "-addext subjectAltName=IP:127.0.0.1 -keyout '" + dir + "key.pem' -out '" +
                       dir + "cert.pem' 2>&1",
                   &status);
  ASSERT_EQ(status, 0);
  const archive::ForwardedFax fax = twoPageFax(dir);
  archive::ForwardRules rules;
  rules.SendMail = true;
  const int port = freePort();
  rules.Mail = {"127.0.0.1", port, "fax", "secret", "fax@example.org",
                "office@example.org, boss@example.org", dir + "cert.pem", true};
  Reports reports;
  archive::ForwardQueue queue(
      {dir, 300ms, 2s,
       [reader = archive::MakeTextReader("eng")](const archive::ForwardedFax& f) {
         return reader(f.ApfPath).Pages.at(0);
       }},
      reports.listener());
  queue.Add(fax, rules);

  // No server yet: tried, failed, tried again later with a longer wait.
  for (int i = 0; i < 600 && reports.of("mail").size() < 2; ++i)
    std::this_thread::sleep_for(100ms);
  auto failed = reports.of("mail");
  ASSERT_GE(failed.size(), 2u);
  EXPECT_FALSE(failed[0].Problem.empty());
  EXPECT_NE(failed[0].Problem.find("could not be sent"), std::string::npos) << failed[0].Problem;
  EXPECT_GT(failed[1].RetryIn, failed[0].RetryIn);
  EXPECT_EQ(queue.Pending(), 1);

  MailServer server(port, dir);
  ASSERT_TRUE(queue.WaitEmpty(120s));
  const auto last = reports.of("mail").back();
  EXPECT_TRUE(last.Problem.empty()) << last.Problem;
  const std::string mail = dir + "mail/1/";
  ASSERT_TRUE(fs::exists(mail + "session.txt"));
  EXPECT_FALSE(fs::exists(dir + "mail/2"));
  const std::string session = readAll(mail + "session.txt");
  EXPECT_NE(session.find("tls=True login=fax to=office@example.org,boss@example.org"),
            std::string::npos) << session;
  EXPECT_NE(session.find("subject=Fax from NORTHFIELD 01202, 2 page(s)"), std::string::npos);
  EXPECT_EQ(pdfPages(mail + archive::ForwardName(fax) + ".pdf"), 2);
  const std::string body = readAll(mail + "body.txt");
  EXPECT_NE(body.find("Invoice from Northfield Timber"), std::string::npos) << body;
  EXPECT_EQ(body.find("Second page"), std::string::npos);
}

TEST(Forwarding, FolderGetsAValidPdfAndAnUnusableFolderAMessage) {
  const std::string dir = scratchDir("folder");
  const archive::ForwardedFax fax = twoPageFax(dir);
  fs::create_directories(dir + "out");
  Reports reports;
  archive::ForwardQueue queue({dir, 200ms, 1s, {}}, reports.listener());
  archive::ForwardRules rules;
  rules.SaveToFolder = true;
  rules.Folder = dir + "out";
  queue.Add(fax, rules);
  queue.Add(fax, rules); // the same fax twice: the second file gets a number
  ASSERT_TRUE(queue.WaitEmpty(60s));
  const std::string first = dir + "out/" + archive::ForwardName(fax) + ".pdf";
  const std::string second = dir + "out/" + archive::ForwardName(fax) + " (2).pdf";
  EXPECT_EQ(pdfPages(first), 2);
  EXPECT_EQ(pdfPages(second), 2);
  EXPECT_EQ(fs::path(first).filename().string().substr(16), " NORTHFIELD 01202.pdf");

  // A folder that is gone, and one that cannot be written (root writes
  // anywhere but in /proc).
  rules.Folder = dir + "missing";
  queue.Add(fax, rules);
  std::string locked = dir + "locked";
  fs::create_directories(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() == 0)
    locked = "/proc";
  rules.Folder = locked;
  queue.Add(fax, rules);
  for (int i = 0; i < 300 && reports.of("folder").size() < 4; ++i)
    std::this_thread::sleep_for(100ms);
  const auto all = reports.of("folder");
  ASSERT_GE(all.size(), 4u);
  EXPECT_NE(all[2].Problem.find("does not exist"), std::string::npos) << all[2].Problem;
  EXPECT_NE(all[3].Problem.find(locked), std::string::npos) << all[3].Problem;
  EXPECT_EQ(queue.Pending(), 2); // kept, to be tried again
  fs::permissions(dir + "locked", fs::perms::owner_all);
}

} // namespace

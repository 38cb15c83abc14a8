// Forwarding received faxes through a real mail server started here (STARTTLS
// with a certificate made by openssl, login required) and into folders: the
// attachment read back with poppler, the body with the page's text, retries
// while the server is down, and the messages of a folder that cannot be used.
#include "../faxview/FaxFiles.h"
#include "MailServer.h"
#include "OcrPages.h"
#include "tests/support/LoopbackPort.h"

#include "archive/ForwardJournal.h"
#include "archive/ForwardQueue.h"
#include "archive/ocr/FaxOcr.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using namespace archivetest;

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
  ASSERT_TRUE(MakeCertificate(dir));
  const archive::ForwardedFax fax = twoPageFax(dir);
  archive::ForwardRules rules;
  rules.SendMail = true;
  const int port = testsupport::freeLoopbackPort();
  rules.Mail = {"127.0.0.1", port, "fax", "secret", "fax@example.org",
                "office@example.org, boss@example.org", dir + "cert.pem", true};
  Reports reports;
  archive::ForwardQueue queue(
      {dir, 300ms, 2s,
       [reader = archive::MakeTextReader("eng")](const archive::ForwardedFax& f) {
         return reader(f.ApfPath).Pages.at(0);
       },
       dir + "forward-pending.txt"},
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
  // Kept in the journal, for a start of the program after it ends now.
  EXPECT_EQ(archive::ReadForwardJournal(dir + "forward-pending.txt"),
            (std::vector<archive::PendingForward>{{fax.ApfPath, false, true, fax.When}}));

  MailServer server(port, dir);
  ASSERT_TRUE(queue.WaitEmpty(120s));
  const auto last = reports.of("mail").back();
  EXPECT_TRUE(last.Problem.empty()) << last.Problem;
  EXPECT_FALSE(fs::exists(dir + "forward-pending.txt"));
  const std::string mail = dir + "mail/1/";
  ASSERT_TRUE(fs::exists(mail + "session.txt"));
  EXPECT_FALSE(fs::exists(dir + "mail/2"));
  const std::string session = ReadFile(mail + "session.txt");
  EXPECT_NE(session.find("tls=True login=fax to=office@example.org,boss@example.org"),
            std::string::npos) << session;
  EXPECT_NE(session.find("subject=Fax from NORTHFIELD 01202, 2 page(s)"), std::string::npos);
  EXPECT_EQ(PdfPages(mail + archive::ForwardName(fax) + ".pdf"), 2);
  const std::string body = ReadFile(mail + "body.txt");
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
  EXPECT_EQ(PdfPages(first), 2);
  EXPECT_EQ(PdfPages(second), 2);
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

TEST(Forwarding, JournalKeepsItsLinesAndSkipsOthers) {
  const std::vector<archive::PendingForward> kept = {
      {"/data/receive/FAX00001.APF", true, true, 1700000000},
      {"/data/receive/a b\tc.APF", false, true, 0},
  };
  const std::string path = scratchDir("journal") + "forward-pending.txt";
  ASSERT_TRUE(archive::WriteForwardJournal(path, kept));
  EXPECT_EQ(archive::ReadForwardJournal(path), kept);
  EXPECT_EQ(archive::ParseForwardJournal("FM\t12\t/x.APF\nno tabs\n\t\t\nF\t-1\t/y\nX\t5\t/z\n"
                                         "M\t99999999999999999999\t/w\nF\t7\t\n"),
            (std::vector<archive::PendingForward>{{"/x.APF", true, true, 12}}));
  ASSERT_TRUE(archive::WriteForwardJournal(path, {}));
  EXPECT_FALSE(fs::exists(path));
}

} // namespace

// The fax queue of a private print server and the "tolvane" backend: what a
// printed job leaves in the user's inbox, and what it refuses to do.

#include "tests/printinbox/PrintServer.h"

#include "printinbox/InboxReader.h"

#include <gtest/gtest.h>


#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kLetter = TOLVANE_TEST_DATA "/printinbox/letter.pdf";
constexpr long kFaxQueueBit = 0x40000; // printer-type bit of a fax queue

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int modeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Names in a folder, hidden ones too.
std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Folder {
  std::string path;
  Folder() {
    char name[] = "/tmp/tolvane-printqueue-XXXXXX";
    path = ::mkdtemp(name);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

} // namespace

TEST(PrintQueue, JobsReachTheInboxOfAUserWithoutADataFolderAndBadOnesAreRefused) {
  Folder dir;
  const std::string home = dir.path + "/home";
  fs::create_directories(home);
  fs::create_directories(dir.path + "/cups");
  printtest::PrintServer server(dir.path + "/cups", home);
  ASSERT_TRUE(server.Ready()) << server.Problem();

  // A fax queue to print dialogs (they ask for the number).
  const long type = server.PrinterType();
  ASSERT_GT(type, 0);
  EXPECT_TRUE(type & kFaxQueueBit) << "printer-type " << type;

  // The first job makes the data folder and its inbox, for the user only.
  const std::string data = home + "/.local/share/tolvane";
  const std::string inbox = data + "/inbox";
  const int job = server.Print(kLetter, {"phone='555 0100'"}, "Letter to the clinic");
  ASSERT_GT(job, 0);
  ASSERT_EQ(server.WaitForEnd(job).state, "completed") << server.ErrorLog();
  EXPECT_EQ(modeOf(data), 0700);
  EXPECT_EQ(modeOf(inbox), 0700);
  auto entries = printinbox::ListInbox(inbox);
  ASSERT_EQ(entries.size(), 1u);
  const auto& entry = entries[0];
  EXPECT_FALSE(entry.refused);
  EXPECT_EQ(entry.job.number, "555 0100");
  EXPECT_EQ(entry.job.title, "Letter to the clinic");
  EXPECT_EQ(entry.job.pages, 2);
  EXPECT_EQ(entry.job.queueJob, job);
  EXPECT_EQ(bytesOf(entry.document), bytesOf(kLetter)) << "the PDF as printed";
  EXPECT_EQ(modeOf(entry.document), 0600);
  EXPECT_EQ(modeOf(entry.jobFile), 0600);

  // Two jobs at once: both arrive, each whole, nothing half-written left.
  const int a = server.Print(kLetter, {"phone=5550101"}, "First");
  const int b = server.Print(TOLVANE_TEST_DATA "/printinbox/ten-pages.pdf", {"phone=5550102"},
                             "Second");
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(server.WaitForEnd(a).state, "completed");
  EXPECT_EQ(server.WaitForEnd(b).state, "completed");
  entries = printinbox::ListInbox(inbox);
  ASSERT_EQ(entries.size(), 3u);
  std::map<std::string, int> pagesByNumber;
  for (const auto& e : entries)
    pagesByNumber[e.job.number] = e.job.pages;
  EXPECT_EQ(pagesByNumber["5550101"], 2);
  EXPECT_EQ(pagesByNumber["5550102"], 10);
  EXPECT_EQ(namesIn(inbox).size(), 6u) << "three PDFs and three job files, no temporary file";

  // A damaged PDF ends its job with the reason and keeps only the note.
  const int damaged = server.Print(TOLVANE_TEST_DATA "/printinbox/damaged.pdf", {"phone=1"});
  ASSERT_GT(damaged, 0);
  const auto refused = server.WaitForEnd(damaged);
  EXPECT_EQ(refused.state, "canceled");
  EXPECT_NE(refused.message.find("no readable PDF"), std::string::npos) << refused.message;
  entries = printinbox::ListInbox(inbox);
  ASSERT_EQ(entries.size(), 4u);
  const auto note = std::find_if(entries.begin(), entries.end(),
                                 [](const auto& e) { return e.refused; });
  ASSERT_NE(note, entries.end());
  EXPECT_NE(note->job.reason.find("no readable PDF"), std::string::npos);
  EXPECT_EQ(namesIn(inbox).size(), 7u) << "the damaged PDF is not kept";

  // A link planted where the inbox is: never followed, the job fails.
  const std::string elsewhere = dir.path + "/elsewhere";
  fs::create_directories(elsewhere);
  fs::rename(inbox, dir.path + "/old-inbox");
  fs::create_directory_symlink(elsewhere, inbox);
  const int linked = server.Print(kLetter, {"phone=5550100"});
  ASSERT_GT(linked, 0);
  const auto refusedLink = server.WaitForEnd(linked);
  EXPECT_EQ(refusedLink.state, "canceled");
  EXPECT_NE(refusedLink.message.find("symbolic link"), std::string::npos) << refusedLink.message;
  EXPECT_TRUE(namesIn(elsewhere).empty()) << "nothing written through the link";
  EXPECT_TRUE(fs::is_symlink(inbox));
}

// The full-text index over real SQLite files, and the OCR worker filling it
// from a receive folder of real fax files: words found by prefix and remote
// ID, user input that is not FTS syntax, and an index that is damaged or
// deleted made again from the faxes with nothing missing.
#include "../faxview/FaxFiles.h"
#include "OcrPages.h"

#include "archive/ArchiveIndex.h"
#include "archive/FaxText.h"
#include "archive/IsolatedOcr.h"
#include "archive/OcrWorker.h"
#include "archive/SentFaxes.h"
#include "archive/ocr/FaxOcr.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;

namespace {

using ::testing::ElementsAre;

std::string freshDir(const std::string& name) {
  const std::string dir = faxtest::scratch(name) + "/";
  fs::remove_all(dir);
  fs::create_directories(dir + "receive");
  return dir;
}

archive::FaxText text(std::string remote, std::vector<std::string> pages) {
  return {std::move(remote), std::move(pages)};
}

TEST(ArchiveIndex, FindsEveryWordByPrefixInTextAndRemoteId) {
  const std::string dir = freshDir("index-words");
  archive::ArchiveIndex index(dir + "archive.sqlite");
  index.Store("FAX00001.APF", {10, 1}, text("+44 1202 555", {"Invoice for oak boards", "Page two: walnut"}));
  index.Store("FAX00002.APF", {10, 2}, text("SUPPLIER", {"Delivery note, oak and Café Zürich"}));
  EXPECT_THAT(index.Search("oak"), ElementsAre("FAX00002.APF", "FAX00001.APF")); // newest first
  EXPECT_THAT(index.Search("OAK invoi"), ElementsAre("FAX00001.APF"));
  EXPECT_THAT(index.Search("walnut oak"), ElementsAre("FAX00001.APF")); // words on two pages
  EXPECT_THAT(index.Search("supplier"), ElementsAre("FAX00002.APF"));
  EXPECT_THAT(index.Search("cafe zurich"), ElementsAre("FAX00002.APF"));
  EXPECT_TRUE(index.Search("oak maple").empty());
  EXPECT_EQ(index.PageText("FAX00001.APF", 2), "Page two: walnut");
  EXPECT_EQ(index.PageText("FAX00001.APF", 3), "");

  // A file read again replaces its old text; a removed one is gone.
  index.Store("FAX00001.APF", {11, 3}, text("", {"Statement of account"}));
  EXPECT_TRUE(index.Search("invoice").empty());
  EXPECT_FALSE(index.IsCurrent("FAX00001.APF", {10, 1}));
  EXPECT_TRUE(index.IsCurrent("FAX00001.APF", {11, 3}));
  index.Remove("FAX00002.APF");
  EXPECT_THAT(index.Names(), ElementsAre("FAX00001.APF"));
}

TEST(ArchiveIndex, WhatTheUserTypesIsNeverQuerySyntax) {
  const std::string dir = freshDir("index-syntax");
  archive::ArchiveIndex index(dir + "archive.sqlite");
  index.Store("A.APF", {1, 1}, text("", {"near the order or not"}));
  for (const char* typed : {"\"", "near(", "order OR", "NOT", "*", "a:b", "order\"*", "-x", "^",
                            "{near}", "(", "or)", "''", "\xff\xfe", "NEAR/2"})
    EXPECT_NO_THROW(index.Search(typed)) << typed;
  EXPECT_THAT(index.Search("near( \"order\" OR"), ElementsAre("A.APF"));
  EXPECT_EQ(archive::MatchQuery(" ,;- "), "");
}

TEST(ArchiveIndex, KeepsWhereTheWordsStandAndFindsThemByPrefix) {
  const std::string dir = freshDir("index-boxes");
  archive::ArchiveIndex index(dir + "archive.sqlite");
  archive::FaxText fax = text("", {"Oak boards", "Walnut, sawn"});
  fax.Words = {{1728, 1100, {{100, 200, 90, 30, "Oak"}, {200, 200, 160, 30, "boards"}}},
               {1728, 1100, {{120, 400, 180, 32, "Walnut,"}, {320, 400, 100, 32, "sawn"}}}};
  index.Store("FAX00001.APF", {10, 1}, fax);
  // The Received table may spell the file's name in another case.
  const std::vector<archive::PageWords> pages = index.Words("fax00001.apf");
  ASSERT_EQ(pages.size(), 2u);
  const auto found = archive::MatchingWords(pages, {"waln", "oak"});
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].Page, 1);
  EXPECT_EQ(found[0].Box.Text, "Oak");
  EXPECT_EQ(found[1].Page, 2);
  EXPECT_EQ(found[1].Box.X, 120);
  EXPECT_EQ(found[1].Box.Width, 180);
  EXPECT_EQ(found[1].PageHeight, 1100);
  EXPECT_TRUE(index.Words("FAX00002.APF").empty());
}

TEST(ArchiveIndex, IndexOfAnOlderFormIsMadeAnew) {
  const std::string dir = freshDir("index-old");
  {
    // The tables as the first version of the program made them.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "archive.sqlite").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE faxes(id INTEGER PRIMARY KEY, name TEXT UNIQUE NOT NULL,"
                           " size INTEGER NOT NULL, mtime INTEGER NOT NULL, pages INTEGER NOT NULL);"
                           "INSERT INTO faxes VALUES(1, 'A.APF', 1, 1, 1);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  archive::ArchiveIndex index(dir + "archive.sqlite", true);
  EXPECT_TRUE(index.Rebuilt());
  EXPECT_EQ(index.Count(), 0);
  archive::ArchiveIndex again(dir + "archive.sqlite", true);
  EXPECT_FALSE(again.Rebuilt());
}

TEST(ArchiveIndex, DamagedFileIsReplacedByAnEmptyIndex) {
  const std::string dir = freshDir("index-garbage");
  {
    std::ofstream junk(dir + "archive.sqlite", std::ios::binary);
    junk << std::string(8192, 'x');
  }
  archive::ArchiveIndex index(dir + "archive.sqlite", true);
  EXPECT_TRUE(index.Rebuilt());
  EXPECT_EQ(index.Count(), 0);
  index.Store("A.APF", {1, 1}, text("", {"usable again"}));
  EXPECT_THAT(index.Search("usable"), ElementsAre("A.APF"));
}

// Damaged index files that fuzzing found: each is made anew and usable,
// and leaves no connection open behind (which the sanitizer build of the
// suite would find).
TEST(ArchiveIndex, DamagedFilesFoundByFuzzingAreMadeAnew) {
  const std::string dir = freshDir("index-fuzz");
  for (const auto& entry : fs::directory_iterator(std::string(TOLVANE_TEST_DATA) + "/archive/fuzz")) {
    fs::copy_file(entry.path(), dir + "archive.sqlite", fs::copy_options::overwrite_existing);
    archive::ArchiveIndex index(dir + "archive.sqlite", true);
    EXPECT_TRUE(index.Rebuilt()) << entry.path();
    index.Store("A.APF", {1, 1}, text("", {"usable again"}));
    EXPECT_THAT(index.Search("usable"), ElementsAre("A.APF"));
    archive::ArchiveIndex::Discard(dir + "archive.sqlite");
  }
}

// A receive folder of faxes each with one line of large text, quick to read.
void addFax(const std::string& dir, const std::string& name, const std::string& words) {
  faxtest::writeApf(dir + "receive/" + name, {archivetest::DrawTextPage(words, 28)});
}

struct Worker {
  explicit Worker(const std::string& dir)
      : worker({dir + "archive.sqlite", {dir + "receive/", dir + "sent-text/"},
                 [] { return archive::MakeTextReader("eng"); }},
                [this](const std::string& name, const std::string& problem) {
                  std::lock_guard lock(mutex);
                  if (!problem.empty())
                    problems.push_back(name + ": " + problem);
                }) {}
  std::mutex mutex;
  std::vector<std::string> problems;
  archive::OcrWorker worker;
};

std::vector<std::string> search(const std::string& dir, const std::string& words) {
  archive::ArchiveIndex index(dir + "archive.sqlite");
  return index.Search(words);
}

TEST(OcrWorker, DamagedOrDeletedIndexIsMadeAgainFromTheFaxes) {
  const std::string dir = freshDir("worker");
  addFax(dir, "FAX00001.APF", "Invoice from Northfield Timber");
  addFax(dir, "FAX00002.APF", "Quotation for walnut boards");
  {
    Worker w(dir);
    ASSERT_TRUE(w.worker.WaitIdle(120000));
    EXPECT_EQ(w.worker.Stored(), 2);
    EXPECT_THAT(search(dir, "northfield"), ElementsAre("FAX00001.APF"));
    EXPECT_THAT(search(dir, "walnut"), ElementsAre("FAX00002.APF"));
  }
  {
    // Every page after the first overwritten: the tables' pages are gone.
    std::fstream file(dir + "archive.sqlite", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096);
    file << std::string(4 * 4096, '\x5a');
  }
  {
    Worker w(dir);
    ASSERT_TRUE(w.worker.WaitIdle(120000));
    EXPECT_EQ(w.worker.Stored(), 2);
    EXPECT_THAT(search(dir, "invoice timber"), ElementsAre("FAX00001.APF"));
    EXPECT_THAT(search(dir, "quotation"), ElementsAre("FAX00002.APF"));

    // Deleted while the worker runs: the next fax brings the others back.
    archive::ArchiveIndex::Discard(dir + "archive.sqlite");
    addFax(dir, "FAX00003.APF", "Statement of account");
    w.worker.Enqueue("FAX00003.APF");
    ASSERT_TRUE(w.worker.WaitIdle(120000));
    EXPECT_THAT(search(dir, "statement"), ElementsAre("FAX00003.APF"));
    EXPECT_THAT(search(dir, "northfield"), ElementsAre("FAX00001.APF"));
    EXPECT_THAT(search(dir, "walnut"), ElementsAre("FAX00002.APF"));
  }
  // A fax file that is not APF is reported and the others stay found.
  {
    std::ofstream bad(dir + "receive/FAX00004.APF");
    bad << "not a fax";
  }
  Worker w(dir);
  ASSERT_TRUE(w.worker.WaitIdle(120000));
  EXPECT_EQ(w.worker.Stored(), 0);
  std::lock_guard lock(w.mutex);
  ASSERT_EQ(w.problems.size(), 1u);
  EXPECT_EQ(w.problems[0].rfind("FAX00004.APF", 0), 0u);
}

} // namespace

namespace {

TEST(OcrWorker, SentFaxIsFoundByItsTextAfterItsPagesAreGone) {
  const std::string dir = freshDir("worker-sent");
  const std::string pages = dir + "TOV_1.APF";
  faxtest::writeApf(pages, {archivetest::DrawTextPage("Quotation for larch cladding", 28)});
  const std::string key = "00aa11bb22cc33dd";
  ASSERT_TRUE(archive::KeepSentFaxPages(pages, dir + "sent-text/", key));
  EXPECT_FALSE(archive::KeepSentFaxPages(pages, dir + "sent-text/", "../x"));
  fs::remove(pages); // as after sending
  {
    Worker w(dir);
    ASSERT_TRUE(w.worker.WaitIdle(120000));
    EXPECT_EQ(w.worker.Stored(), 1);
    EXPECT_THAT(search(dir, "larch"), ElementsAre("sent/" + key));
  }
  EXPECT_FALSE(fs::exists(dir + "sent-text/" + key + ".apf")) << "read pages are let go";
  ASSERT_TRUE(fs::exists(dir + "sent-text/" + key + ".ocr"));

  // The index lost: the sent fax's text comes back from what was read.
  archive::ArchiveIndex::Discard(dir + "archive.sqlite");
  Worker w(dir);
  ASSERT_TRUE(w.worker.WaitIdle(120000));
  EXPECT_THAT(search(dir, "larch cladding"), ElementsAre("sent/" + key));
  archive::ArchiveIndex index(dir + "archive.sqlite");
  const auto found = archive::MatchingWords(index.Words("sent/" + key), {"larch"});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_GT(found[0].Box.Width, 50);
  std::lock_guard lock(w.mutex);
  EXPECT_TRUE(w.problems.empty()) << w.problems.front();
}

// The desktop program's reader: the OCR module in a child process per fax.
TEST(IsolatedOcr, ReadsInAChildAndBringsBackItsFailure) {
  const std::string dir = freshDir("isolated");
  addFax(dir, "FAX00001.APF", "Purchase order for cedar shingles");
  const archive::TextReader reader = archive::IsolatedOcrReader("eng");
  const archive::FaxText text = reader(dir + "receive/FAX00001.APF");
  ASSERT_EQ(text.Pages.size(), 1u);
  EXPECT_NE(text.Pages[0].find("cedar shingles"), std::string::npos) << text.Pages[0];
  EXPECT_EQ(text.RemoteId, "TEST");
  // Where each word stands comes back too, in the page's pixels.
  ASSERT_EQ(text.Words.size(), 1u);
  const auto cedar = archive::MatchingWords(text.Words, {"cedar"});
  ASSERT_EQ(cedar.size(), 1u);
  EXPECT_EQ(cedar[0].PageWidth, 1728);
  EXPECT_GT(cedar[0].Box.Width, 3 * cedar[0].Box.Height / 2);
  {
    std::ofstream bad(dir + "receive/BAD.APF");
    bad << "not a fax";
  }
  EXPECT_THROW(reader(dir + "receive/BAD.APF"), std::runtime_error);
  EXPECT_THROW(archive::IsolatedOcrReader("xx-none")(dir + "receive/FAX00001.APF"),
               std::runtime_error);
}

} // namespace

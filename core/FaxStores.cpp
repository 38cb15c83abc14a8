#include "core/FaxStores.h"

#include "faximage/ApfFile.h"
#include "xbase/Table.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace app {

namespace {
std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return text;
}
} // namespace

void WriteRecord(xbase::Table& table, const std::function<void()>& change) {
  try {
    change();
  } catch (...) {
    if (table.isOpen() && table.state() != xbase::TableState::Browse)
      table.cancel();
    throw;
  }
}

bool SendOutcome::Succeeded() const {
  const std::string u = upper(Result);
  return u == "SENT" || u == "OK";
}

void WriteSendOutcome(xbase::Table& sent, long recNo, const SendOutcome& outcome) {
  WriteRecord(sent, [&] {
    sent.go(recNo);
    sent.edit();
    sent.setNumber("PAGES", outcome.Pages);
    sent.setField("LASTRESULT", outcome.Result);
    if (outcome.Succeeded()) {
      sent.setLogical("SENT", true);
      sent.setDate("DATESENT", outcome.Date);
      sent.setField("TIMESENT", outcome.Time);
    }
    sent.post();
  });
}

void AppendReceivedFax(xbase::Table& received, const ReceivedFaxEntry& entry) {
  WriteRecord(received, [&] {
    received.append();
    received.setDate("DATEREC", entry.Date);
    received.setField("TIMEREC", entry.Time);
    received.setField("FROM", entry.From);
    received.setNumber("PAGES", entry.Pages);
    received.setField("FAXFILE", entry.FaxFile);
    if (!entry.Notes.empty())
      received.setField("NOTES", entry.Notes);
    received.post();
  });
}

void WriteReceivedNotes(xbase::Table& received, long recNo, const std::string& notes) {
  WriteRecord(received, [&] {
    received.go(recNo);
    received.edit();
    received.setField("NOTES", notes);
    received.post();
  });
}

std::vector<std::string> UnlistedReceivedFiles(xbase::Table& received,
                                               const std::string& receiveDir,
                                               const std::string& busyFile) {
  std::set<std::string> listed;
  const long keep = received.recNo();
  for (received.first(); !received.eof(); received.next())
    listed.insert(upper(received.fieldString("FAXFILE")));
  if (keep >= 1 && keep <= received.recCount())
    received.go(keep);
  const std::string busy = upper(fs::path(busyFile).filename().string());

  std::vector<std::pair<fs::file_time_type, std::string>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(receiveDir, ec)) {
    const std::string name = entry.path().filename().string();
    const std::string key = upper(name);
    if (key.size() < 5 || key.substr(key.size() - 4) != ".APF" || !entry.is_regular_file(ec))
      continue;
    if (listed.count(key) || key == busy)
      continue;
    found.emplace_back(entry.last_write_time(ec), entry.path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found)
    paths.push_back(std::move(f.second));
  return paths;
}

ReceivedFaxEntry EntryForReceivedFile(const std::string& path) {
  ReceivedFaxEntry entry;
  entry.FaxFile = fs::path(path).filename().string();
  std::error_code ec;
  const auto changed = fs::last_write_time(path, ec);
  const std::time_t when =
      ec ? std::time(nullptr)
         : std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(changed));
  std::tm local{};
  localtime_r(&when, &local);
  char date[9], time[6];
  std::strftime(date, sizeof date, "%Y%m%d", &local);
  std::strftime(time, sizeof time, "%H:%M", &local);
  entry.Date = date;
  entry.Time = time;

  uint8_t bytes[faximage::kApfFileHeaderSize];
  std::ifstream in(path, std::ios::binary);
  if (in.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
    const auto header = faximage::ApfFileHeader::fromBytes(bytes);
    if (header.hasSignature()) {
      entry.Pages = header.pageCount;
      entry.From = header.stationId();
      while (!entry.From.empty() && entry.From.back() == ' ')
        entry.From.pop_back();
    }
  }
  return entry;
}

} // namespace app

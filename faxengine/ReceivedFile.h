#pragma once
// A received fax as an APF file, written page by page, and the default
// names of received files.

#include "faxengine/PageData.h"
#include "faximage/ApfFile.h"
#include "faximage/FaxCoding.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace faxengine {

// Names of received files: DestinationDir + "FAX0001.APF" ... (mode 1),
// MMDD0001.APF ... (mode 2), "noname.apf" otherwise; "NONAME.APF" past 9999.
std::string DefaultReceiveName(const std::string& destinationDir, const std::string& ext,
                               int namingMode);

// A received APF file, written page by page: the 64-byte header at creation,
// a 16-byte page header per page, and on each finished page the counts and
// headers rewritten, so a failed call leaves a file with the pages so far.
class ReceivedFile {
public:
  ReceivedFile() = default;
  ~ReceivedFile() { Close(); }
  ReceivedFile(const ReceivedFile&) = delete;
  ReceivedFile& operator=(const ReceivedFile&) = delete;

  int Create(const std::string& path, const std::string& remoteId);
  bool IsOpen() const { return m_file != nullptr; }
  // Pages are kept in memory until they finish, then decoded (to count the
  // rows spoilt on the line) and stored in MH: APF pages are MH.
  int StartPage(bool fine, bool wide, faximage::FaxCoding coding = faximage::FaxCoding::Mh);
  bool PageOpen() const { return m_pageOpen; }
  // Stores data bytes; with reverseBits each byte's bit order is reversed.
  // The page ends with its RTC: bits after it in the RTC's last byte are
  // cleared and later bytes (fill, and line noise as the carrier drops)
  // are not stored, so no reader takes them for another row.
  int Put(const uint8_t* data, std::size_t size, bool reverseBits);
  // The page's RTC has been stored.
  bool PageEnded() const { return m_rtc.Found(); }
  // Page data is missing here (error correction frames given up): the rows
  // it held are lost, and at least the one it cuts into is counted bad.
  void DataLost() { ++m_lostRuns; }
  int FinishPage(const std::string& remoteId);
  // Rows of the last finished page, and those of them that did not decode.
  int Rows() const { return m_rows; }
  int BadRows() const { return m_badRows; }
  // Truncates the file at the start of the current page.
  int DropPage();
  void Close();
  int PageCount() const { return m_header.pageCount; }
  const std::string& Path() const { return m_path; }

private:
  int FlushBuffer();
  int StorePage();
  int WriteAt(long offset, const uint8_t* data, std::size_t size);

  std::FILE* m_file = nullptr;
  std::string m_path;
  faximage::ApfFileHeader m_header;
  long m_pageHeaderPos = 0;
  long m_pageBytes = 0;
  uint16_t m_pageFlags = 0;
  bool m_pageOpen = false;
  faximage::FaxCoding m_coding = faximage::FaxCoding::Mh;
  std::vector<uint8_t> m_coded; // the page as it came
  int m_rows = 0, m_badRows = 0;
  int m_lostRuns = 0; // places where page data is missing
  RtcScanner m_rtc;
  uint8_t m_buffer[4096];
  std::size_t m_used = 0;
};

} // namespace faxengine

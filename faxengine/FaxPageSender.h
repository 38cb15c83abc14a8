#pragma once
// Page data for sending, shared by every class: the fax file and cover
// (APF or plain text) page by page, the blank lines and header line at the
// top of each page, DLE doubling, rows filled to the minimum bytes per scan
// line, and output paced by the port's output-space notifications.

#include "faxengine/FaxSession.h"
#include "faximage/ApfFile.h"
#include "faximage/FaxFont.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace faxengine {

// Appends `data` to `out` with every DLE (0x10) doubled.
void AppendDleDoubled(std::vector<uint8_t>& out, const uint8_t* data, std::size_t size);
// Appends `size` bytes of row data and zero bytes up to `minBytes`.
void AppendRowFilled(std::vector<uint8_t>& out, const uint8_t* row, std::size_t size, int minBytes);
// The minimum bytes per scan line for a scan-time code, resolution and speed.
int MinBytesPerLine(int scanTimeCode, bool fine, int bps);

class PageSender {
public:
  enum class Progress { More, PageDone, Failed };

  explicit PageSender(FaxSession& session);
  ~PageSender();

  // Send-job setup (state 1): opens the fax file (when named) and takes its
  // page count. Returns 0, -6010 when neither file nor cover is named,
  // -8001 for a file that is not APF, or a file error.
  int OpenJob();
  // Page selection before dialling (state 2): cover counts and the first
  // page's resolution into the protocol record's wanted flags.
  int PrepareFirstPage();
  // Blank lines and the header line (state 23).
  int StartPage();
  bool CoverPending() const { return m_rec.sendingCover; }
  // Opens the cover (state 24). textCover tells which way it goes on.
  int OpenCover(bool& textCover);
  // Starts the current APF page (state 26).
  int BeginApfPage();
  // One output-space notification of page data (states 25 and 27).
  Progress SendApfData();
  Progress SendTextCoverData();
  // Next page (state 42): returns 0 or an error; call only when MorePages().
  int AdvancePage();
  bool MorePages() const;
  // Sends the current page again (after a rejected page).
  int RestartPage();
  void CloseAll();

  bool CurrentFine() const { return m_pageHeader.fine(); }
  bool CurrentWide() const { return m_pageHeader.wide(); }
  // The error code of the last failure.
  int LastError() const { return m_error; }

private:
  int SeekPage(std::FILE* f, unsigned page);
  int OpenApf(const std::string& name, std::FILE*& f);
  void CheckResolution();
  HeaderValues MacroValues() const;
  void QueueRow(const uint8_t* raster, int width);
  void QueueText(const std::string& text, const faximage::FaxFontFace& font, int x0);
  // Sends as much of the pending output as the port takes; true when none is left.
  bool Flush();
  bool Room() const;
  int ReadApfBlock();
  bool ZeroQueuedLast() const;
  std::string WithExtension(const std::string& name) const;

  FaxSession& m_session;
  FaxRecord& m_rec;
  std::FILE* m_fax = nullptr;   // the fax file
  std::FILE* m_cover = nullptr; // an APF cover
  std::FILE* m_text = nullptr;  // a text cover
  std::FILE* m_cur = nullptr;   // the APF file whose page is being sent
  bool m_coverIsApf = false;
  unsigned m_filePage = 0;
  uint32_t m_firstPage = 64;
  faximage::ApfPageHeader m_pageHeader;
  int m_previousFine = -1;
  long m_remaining = 0;
  std::vector<uint8_t> m_out; // DLE-doubled bytes not yet taken by the port
  std::size_t m_outPos = 0;
  bool m_sentZeroLast = false; // the last byte handed to the port was 0x00
  int m_error = 0;
};

// Ends a failed send attempt the same way in every class: files closed,
// "transmit failed" logged, modem hung up, idle speed restored. Returns the
// state to go on in: 47 (job over, finish posted) when the job must stop,
// otherwise 1 to start on the next fax.
int EndFailedSend(FaxSession& session, PageSender& pages, bool aborted);

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
  int StartPage(bool fine, bool wide);
  bool PageOpen() const { return m_pageOpen; }
  // Stores data bytes; with reverseBits each byte's bit order is reversed.
  int Put(const uint8_t* data, std::size_t size, bool reverseBits);
  int FinishPage(const std::string& remoteId);
  // Truncates the file at the start of the current page.
  int DropPage();
  void Close();
  int PageCount() const { return m_header.pageCount; }
  const std::string& Path() const { return m_path; }

private:
  int FlushBuffer();
  int WriteAt(long offset, const uint8_t* data, std::size_t size);

  std::FILE* m_file = nullptr;
  std::string m_path;
  faximage::ApfFileHeader m_header;
  long m_pageHeaderPos = 0;
  long m_pageBytes = 0;
  uint16_t m_pageFlags = 0;
  bool m_pageOpen = false;
  uint8_t m_buffer[4096];
  std::size_t m_used = 0;
};

// Decoder of DLE-framed page data from the modem: DLE DLE is one 0x10,
// DLE ETX ends the page, DLE with another byte stands for that byte.
class DleDecoder {
public:
  // Decodes `in` into `out`; returns the bytes of `in` used. Sets `ended`
  // when DLE ETX was seen (the bytes after it are not used).
  std::size_t Decode(const uint8_t* in, std::size_t size, std::vector<uint8_t>& out, bool& ended);
  void Reset() { m_dle = false; }

private:
  bool m_dle = false;
};

uint8_t ReverseBits(uint8_t b);

} // namespace faxengine

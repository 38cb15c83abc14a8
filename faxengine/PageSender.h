#pragma once
// Page data for sending, shared by every class: the fax file and cover
// (APF or plain text) page by page, the blank lines and header line at the
// top of each page, the page coded again in MR or MMR where the call agreed
// on it, DLE doubling, rows filled to the minimum bytes per scan
// line, and output paced by the port's output-space notifications.

#include "faxengine/EcmPage.h"
#include "faxengine/FaxSession.h"
#include "faxengine/PageData.h"
#include "faximage/ApfFile.h"
#include "faximage/FaxFont.h"
#include "faximage/PageEncoder.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace faxengine {

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

  // With error correction the coded page goes out in ECM blocks: the
  // current block's frames (those of `wanted`, a PPR map; all when null)
  // are queued as the page data the port takes next.
  EcmPage& Ecm() { return m_ecm; }
  void QueueEcmBlock(const uint8_t* wanted);

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
  void StartEncoder(int width);
  void QueueEncodedPage();
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
  // When the call agreed on MR or MMR, the page's rows (blank rows, header
  // line, page) go through this encoder and the page goes out whole once
  // coded; in MH rows go out as they are read.
  std::unique_ptr<faximage::PageEncoder> m_encoder;
  EcmPage m_ecm;
  int m_error = 0;
};

} // namespace faxengine

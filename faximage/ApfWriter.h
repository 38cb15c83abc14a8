#pragma once
// Writes APF files: the converter's pages of row records with length words,
// and the receiver's plain pages. Output goes through a 4096-byte buffer.

#include "faximage/ApfFile.h"
#include "faximage/FxFile.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace faximage {

class ApfWriter {
public:
  static constexpr std::size_t kBufferSize = 4096;

  ApfWriter() = default;
  ~ApfWriter() { abandon(); }
  ApfWriter(const ApfWriter&) = delete;
  ApfWriter& operator=(const ApfWriter&) = delete;

  // Creates (or truncates) the file and writes the initial 64-byte header.
  int create(const std::string& path);

  // Writes one length-prefixed record (at most 4096 bytes) of the current
  // page; the page header (ImageLength 0 for now) goes first when this page
  // has none yet. `pageFlags` is PageFlagLengthWords plus fine/wide bits.
  int writeRecord(const uint8_t* data, std::size_t size, uint16_t pageFlags);
  // Ends the page with the end-of-page record, counts it and rewrites the
  // page header with its final ImageLength.
  int endPage(uint16_t pageFlags);

  // A whole page without length words, as the fax receiver stores it.
  int writePlainPage(uint16_t pageFlags, const uint8_t* data, std::size_t size);

  // Stores station text and date, rewrites the file header and closes.
  int finish(std::string_view stationId, std::time_t when);
  // As finish, but with the receiver's space-padded station identifier.
  int finishPadded(std::string_view stationId, std::time_t when);
  // Closes and deletes a file that was not finished.
  void abandon();

  bool isOpen() const { return m_file.isOpen(); }
  uint16_t pageCount() const { return m_header.pageCount; }

private:
  int put(const void* data, std::size_t size);
  int flush();
  int beginPage(uint16_t pageFlags);
  int rewriteAt(uint64_t position, const uint8_t* data, std::size_t size);
  int finishWith(std::time_t when);

  FxFile m_file;
  std::string m_path;
  uint8_t m_buffer[kBufferSize];
  std::size_t m_used = 0;
  uint64_t m_end = 0; // logical end of file, buffered bytes included
  ApfFileHeader m_header;
  ApfPageHeader m_page;
  bool m_pageStarted = false;
  uint64_t m_pageHeaderPos = 0;
};

} // namespace faximage

#pragma once
// Reads one page of an APF file for the unpacker: the 64-byte file header,
// the walk to page n's 16-byte header, and then the page's coded data in
// blocks of at most 4096 bytes, never past the page's ImageLength. Pages with
// length words are read record by record and handed on as one bit stream.

#include "faximage/ApfFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace faximage {

class UnpackerInput {
public:
  static constexpr std::size_t kBlockBytes = 4096;

  UnpackerInput() = default;
  ~UnpackerInput() { close(); }
  UnpackerInput(const UnpackerInput&) = delete;
  UnpackerInput& operator=(const UnpackerInput&) = delete;

  // Opens the file and reads its header: -2 for an empty name, the negative
  // I/O code when it cannot be opened or read, -8001 for a wrong signature.
  int openFile(const std::string& fileName);
  // Walks to page n (1-based) and reads its header; -8001 when n is outside
  // 1..PageCount or the file ends before the header.
  int seekPage(int page);
  void close();

  // The next block of page data. Returns 1 with data, 0 at the page's end,
  // or a negative code (-8001 when the file ends before the page does).
  int nextBlock(const uint8_t*& data, std::size_t& length);

  const std::array<uint8_t, 64>& fileHeader() const { return m_fileHeader; }
  const std::array<uint8_t, 16>& pageHeader() const { return m_pageHeader; }
  uint16_t pageCount() const;
  uint32_t imageLength() const;
  uint16_t pageFlags() const;
  uint32_t bytesRead() const { return m_bytesRead; }

private:
  int readExactly(void* buffer, std::size_t length);
  std::size_t readSome(uint8_t* buffer, std::size_t length, int& error);

  std::FILE* m_file = nullptr;
  std::array<uint8_t, 64> m_fileHeader{};
  std::array<uint8_t, 16> m_pageHeader{};
  std::array<uint8_t, kBlockBytes> m_block{};
  uint32_t m_bytesRead = 0;
};

} // namespace faximage

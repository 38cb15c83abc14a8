#pragma once
// APF fax image files: a 64-byte file header, then pages, each a 16-byte page
// header and Modified Huffman coded image data, all integers little-endian.
// Operations return 0 or a negative error code (platform/FxErrors.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace faximage {

inline constexpr std::size_t kApfFileHeaderSize = 64;
inline constexpr std::size_t kApfPageHeaderSize = 16;
inline constexpr std::size_t kApfStationIdSize = 20;
inline constexpr uint8_t kApfSignature[6] = {'A', 'P', 'F', '1', '0', 0x1A};

inline constexpr uint16_t PageFlagFine = 1;
inline constexpr uint16_t PageFlagWide = 2;
inline constexpr uint16_t PageFlagLengthWords = 4;

// The end-of-page record's 12 bytes: EOL with four fill bits, six more EOLs,
// eight 0 bits.
inline constexpr uint8_t kApfEndOfPage[12] = {0x00, 0x80, 0x00, 0x08, 0x80, 0x00,
                                              0x08, 0x80, 0x00, 0x08, 0x80, 0x00};

struct ApfFileHeader {
  uint8_t signature[6] = {};
  uint32_t fileDate = 0;
  uint8_t stationIdLength = 0;
  char stationIdText[kApfStationIdSize] = {};
  uint16_t pageCount = 0;
  uint32_t firstPageOffset = 0;

  // The header a writer starts with: signature, first page at 64, rest 0.
  static ApfFileHeader fresh();
  static ApfFileHeader fromBytes(const uint8_t* bytes);
  void toBytes(uint8_t* bytes) const; // 64 bytes, reserved fields 0

  bool hasSignature() const;
  // The significant characters (at most 20).
  std::string stationId() const;
  // Stores at most 20 characters with their true length, spaces after them.
  void setStationId(std::string_view text);
  // The fax receiver's form: padded with spaces to 20, length byte 20.
  void setStationIdPadded(std::string_view text);
};

struct ApfPageHeader {
  uint32_t imageLength = 0;
  uint16_t pageFlags = 0;

  static ApfPageHeader fromBytes(const uint8_t* bytes);
  void toBytes(uint8_t* bytes) const; // 16 bytes, reserved fields 0
  bool fine() const { return pageFlags & PageFlagFine; }
  bool wide() const { return pageFlags & PageFlagWide; }
  bool lengthWords() const { return pageFlags & PageFlagLengthWords; }
  int rowWidth() const { return wide() ? 2048 : 1728; }
};

// MS-DOS packed local date and time (date in the high 16 bits); 0 when the
// year lies outside 1980-2099.
uint32_t dosDateTime(std::time_t when);

bool isApfSignature(const uint8_t* bytes, std::size_t size);

// Reads and checks the file header: -2 for an empty name, I/O codes, -8001
// when the signature is wrong or the file is shorter than a header.
int readApfFileHeader(const std::string& path, ApfFileHeader& header);

// Where page n (from 1) lies: its header and the offset of its image data.
struct ApfPageLocation {
  ApfPageHeader header;
  uint64_t dataOffset = 0;
};
// -8001 when the file is not APF or n is 0 or beyond PageCount; a page header
// cut off by the end of the file is a read error (-100).
int locateApfPage(const std::string& path, unsigned page, ApfPageLocation& location);

// The coded bit stream of page n with the length words removed (plain pages
// are returned as stored), never more than the page's ImageLength bytes.
int readApfPageData(const std::string& path, unsigned page, std::vector<uint8_t>& data,
                    ApfPageHeader* header = nullptr);

// Appends every page of `source` to `dest` and adds the page counts; the
// other fields of dest's header stay. Both must be APF files.
int appendApfPages(const std::string& dest, const std::string& source);

} // namespace faximage

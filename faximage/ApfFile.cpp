#include "faximage/ApfFile.h"

#include "faximage/FxFile.h"
#include "platform/FxErrors.h"

#include <algorithm>
#include <cstring>

namespace faximage {

namespace {

uint16_t get16(const uint8_t* p) {
  return uint16_t(p[0] | (p[1] << 8));
}
uint32_t get32(const uint8_t* p) {
  return uint32_t(get16(p)) | (uint32_t(get16(p + 2)) << 16);
}
void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, uint16_t(v));
  put16(p + 2, uint16_t(v >> 16));
}

} // namespace

ApfFileHeader ApfFileHeader::fresh() {
  ApfFileHeader h;
  std::memcpy(h.signature, kApfSignature, sizeof h.signature);
  h.firstPageOffset = kApfFileHeaderSize;
  return h;
}

ApfFileHeader ApfFileHeader::fromBytes(const uint8_t* b) {
  ApfFileHeader h;
  std::memcpy(h.signature, b, 6);
  h.fileDate = get32(b + 6);
  h.stationIdLength = b[10];
  std::memcpy(h.stationIdText, b + 11, kApfStationIdSize);
  h.pageCount = get16(b + 32);
  h.firstPageOffset = get32(b + 34);
  return h;
}

void ApfFileHeader::toBytes(uint8_t* b) const {
  std::memset(b, 0, kApfFileHeaderSize);
  std::memcpy(b, signature, 6);
  put32(b + 6, fileDate);
  b[10] = stationIdLength;
  std::memcpy(b + 11, stationIdText, kApfStationIdSize);
  put16(b + 32, pageCount);
  put32(b + 34, firstPageOffset);
}

bool ApfFileHeader::hasSignature() const {
  return isApfSignature(signature, 6);
}

std::string ApfFileHeader::stationId() const {
  return std::string(stationIdText, std::min<std::size_t>(stationIdLength, kApfStationIdSize));
}

void ApfFileHeader::setStationId(std::string_view text) {
  text = text.substr(0, kApfStationIdSize);
  std::memset(stationIdText, ' ', kApfStationIdSize);
  std::memcpy(stationIdText, text.data(), text.size());
  stationIdLength = uint8_t(text.size());
}

void ApfFileHeader::setStationIdPadded(std::string_view text) {
  setStationId(text);
  stationIdLength = uint8_t(kApfStationIdSize);
}

ApfPageHeader ApfPageHeader::fromBytes(const uint8_t* b) {
  return ApfPageHeader{get32(b), get16(b + 4)};
}

void ApfPageHeader::toBytes(uint8_t* b) const {
  std::memset(b, 0, kApfPageHeaderSize);
  put32(b, imageLength);
  put16(b + 4, pageFlags);
}

uint32_t dosDateTime(std::time_t when) {
  std::tm t{};
  if (!localtime_r(&when, &t))
    return 0;
  const int year = t.tm_year + 1900;
  if (year < 1980 || year > 2099)
    return 0;
  const uint32_t date = uint32_t(t.tm_mday | ((t.tm_mon + 1) << 5) | ((year - 1980) << 9));
  const uint32_t time = uint32_t((t.tm_sec / 2) | (t.tm_min << 5) | (t.tm_hour << 11));
  return (date << 16) | time;
}

bool isApfSignature(const uint8_t* bytes, std::size_t size) {
  return size >= 6 && std::memcmp(bytes, kApfSignature, 6) == 0;
}

namespace {

int readHeaderFrom(FxFile& file, ApfFileHeader& header) {
  uint8_t bytes[kApfFileHeaderSize];
  std::size_t got = 0;
  if (int rc = file.read(bytes, sizeof bytes, got); rc < 0)
    return rc;
  if (got < sizeof bytes || !isApfSignature(bytes, got))
    return ecFaxBadFormat;
  header = ApfFileHeader::fromBytes(bytes);
  return ecOK;
}

int locateIn(FxFile& file, unsigned page, ApfPageLocation& location) {
  ApfFileHeader header;
  if (int rc = readHeaderFrom(file, header); rc < 0)
    return rc;
  if (page == 0 || page > header.pageCount)
    return ecFaxBadFormat;
  uint64_t pos = header.firstPageOffset;
  for (unsigned n = 1;; ++n) {
    uint8_t bytes[kApfPageHeaderSize];
    if (int rc = file.seek(pos); rc < 0)
      return rc;
    if (int rc = file.readExact(bytes, sizeof bytes); rc < 0)
      return rc;
    location.header = ApfPageHeader::fromBytes(bytes);
    location.dataOffset = pos + kApfPageHeaderSize;
    if (n == page)
      return ecOK;
    pos = location.dataOffset + location.header.imageLength;
  }
}

// Copies the records' contents of a page with length words, stopping at the
// page's end even when a length word claims more.
int readRecords(FxFile& file, uint32_t imageLength, std::vector<uint8_t>& data) {
  std::vector<uint8_t> stored(imageLength);
  std::size_t got = 0;
  if (int rc = file.read(stored.data(), stored.size(), got); rc < 0)
    return rc;
  std::size_t pos = 0;
  while (pos + 2 <= got) {
    const std::size_t n = std::min<std::size_t>(get16(&stored[pos]), 4096);
    pos += 2;
    const std::size_t take = std::min(n, got - pos);
    data.insert(data.end(), stored.begin() + long(pos), stored.begin() + long(pos + take));
    pos += take;
  }
  return ecOK;
}

} // namespace

int readApfFileHeader(const std::string& path, ApfFileHeader& header) {
  FxFile file;
  if (int rc = file.openRead(path); rc < 0)
    return rc;
  return readHeaderFrom(file, header);
}

int locateApfPage(const std::string& path, unsigned page, ApfPageLocation& location) {
  FxFile file;
  if (int rc = file.openRead(path); rc < 0)
    return rc;
  return locateIn(file, page, location);
}

int readApfPageData(const std::string& path, unsigned page, std::vector<uint8_t>& data,
                    ApfPageHeader* header) {
  data.clear();
  FxFile file;
  if (int rc = file.openRead(path); rc < 0)
    return rc;
  ApfPageLocation loc;
  if (int rc = locateIn(file, page, loc); rc < 0)
    return rc;
  if (header)
    *header = loc.header;
  uint64_t size = 0;
  if (int rc = file.size(size); rc < 0)
    return rc;
  // Never trust ImageLength beyond what the file holds.
  const uint32_t length = uint32_t(std::min<uint64_t>(
      loc.header.imageLength, size > loc.dataOffset ? size - loc.dataOffset : 0));
  if (loc.header.lengthWords())
    return readRecords(file, length, data);
  data.resize(length);
  std::size_t got = 0;
  int rc = file.read(data.data(), length, got);
  data.resize(got);
  return rc;
}

int appendApfPages(const std::string& dest, const std::string& source) {
  FxFile src, dst;
  ApfFileHeader srcHeader, dstHeader;
  if (int rc = src.openRead(source); rc < 0)
    return rc;
  if (int rc = readHeaderFrom(src, srcHeader); rc < 0)
    return rc;
  if (int rc = dst.openReadWrite(dest); rc < 0)
    return rc;
  if (int rc = readHeaderFrom(dst, dstHeader); rc < 0)
    return rc;
  if (uint32_t(dstHeader.pageCount) + srcHeader.pageCount > 0xFFFF)
    return ecBadArgument;
  // Copy what the source holds now, so that appending a file to itself
  // cannot chase its own growing end.
  uint64_t srcSize = 0, end = 0;
  if (int rc = src.size(srcSize); rc < 0)
    return rc;
  if (int rc = dst.seekEnd(end); rc < 0)
    return rc;
  if (int rc = src.seek(srcHeader.firstPageOffset); rc < 0)
    return rc;
  uint64_t left = srcSize > srcHeader.firstPageOffset ? srcSize - srcHeader.firstPageOffset : 0;
  std::vector<uint8_t> buffer(65536);
  while (left > 0) {
    std::size_t got = 0;
    if (int rc = src.read(buffer.data(), std::min<uint64_t>(left, buffer.size()), got); rc < 0)
      return rc;
    if (got == 0)
      return ecDiskRead;
    if (int rc = dst.writeAll(buffer.data(), got); rc < 0)
      return rc;
    left -= got;
  }
  // Only PageCount changes; every other header byte of dest stays as it was.
  uint8_t count[2];
  put16(count, uint16_t(dstHeader.pageCount + srcHeader.pageCount));
  if (int rc = dst.seek(32); rc < 0)
    return rc;
  return dst.writeAll(count, sizeof count);
}

} // namespace faximage

#include "xbase/MemoFile.h"

#include "xbase/XBaseError.h"

#include <cstring>

namespace xbase {

namespace {
constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kBlockHeader = 8;
constexpr uint32_t kTextMemo = 1;

[[noreturn]] void bad(const std::string& why) {
  throw XBaseError(ErrorCode::BadMemo, why);
}
} // namespace

void MemoFile::create(File& file, uint32_t blockSize) {
  uint8_t header[kHeaderSize] = {};
  putBe32(header, (kHeaderSize + blockSize - 1) / blockSize);
  putBe16(header + 6, uint16_t(blockSize));
  file.truncate(0);
  file.writeAt(0, header, sizeof header);
}

void MemoFile::open(File&& file) {
  m_file = std::move(file);
  uint8_t header[8];
  m_file.readAt(0, header, sizeof header);
  m_blockSize = getBe16(header + 6);
  if (m_blockSize == 0)
    bad("memo file has block size 0: " + m_file.path());
  m_nextFree = getBe32(header);
  // A next-free pointer inside the header or behind the end of the file would
  // make the next write clobber data or leave a hole; trust the file length.
  uint64_t size = m_file.size();
  uint64_t endBlock = (std::max<uint64_t>(size, kHeaderSize) + m_blockSize - 1) / m_blockSize;
  if (uint64_t(m_nextFree) * m_blockSize < kHeaderSize || m_nextFree < endBlock)
    m_nextFree = uint32_t(endBlock);
}

void MemoFile::checkBlock(uint32_t block) const {
  if (block != 0)
    lengthAt(block);
}

uint32_t MemoFile::lengthAt(uint32_t block) const {
  uint64_t offset = uint64_t(block) * m_blockSize;
  uint64_t size = m_file.size();
  if (offset < kHeaderSize || offset + kBlockHeader > size)
    bad("memo block " + std::to_string(block) + " lies outside " + m_file.path());
  uint8_t head[kBlockHeader];
  m_file.readAt(offset, head, sizeof head);
  uint32_t length = getBe32(head + 4);
  if (length > size - offset - kBlockHeader)
    bad("memo block " + std::to_string(block) + " runs past the end of " + m_file.path());
  return length;
}

std::string MemoFile::read(uint32_t block) const {
  if (block == 0)
    return {};
  uint32_t length = lengthAt(block);
  std::string bytes(length, '\0');
  m_file.readAt(uint64_t(block) * m_blockSize + kBlockHeader, bytes.data(), length);
  return bytes;
}

uint32_t MemoFile::write(const std::string& bytes) {
  if (bytes.empty())
    return 0;
  if (bytes.size() > 0xFFFFFFFFull - kBlockHeader)
    throw XBaseError(ErrorCode::Range, "memo too large");
  uint64_t span = (kBlockHeader + bytes.size() + m_blockSize - 1) / m_blockSize;
  if (uint64_t(m_nextFree) + span > 0xFFFFFFFFull)
    throw XBaseError(ErrorCode::Range, "memo file full: " + m_file.path());
  std::string image(span * m_blockSize, '\0');
  auto* p = reinterpret_cast<uint8_t*>(image.data());
  putBe32(p, kTextMemo);
  putBe32(p + 4, uint32_t(bytes.size()));
  std::memcpy(p + kBlockHeader, bytes.data(), bytes.size());
  uint32_t block = m_nextFree;
  // Data first, then the header pointer: a crash in between only leaves
  // unreferenced blocks that the next write reuses.
  m_file.writeAt(uint64_t(block) * m_blockSize, image.data(), image.size());
  m_nextFree = uint32_t(block + span);
  uint8_t next[4];
  putBe32(next, m_nextFree);
  m_file.writeAt(0, next, sizeof next);
  return block;
}

uint32_t parseMemoPointer(const char* field, int width) {
  uint64_t value = 0;
  bool digits = false;
  for (int i = 0; i < width; ++i) {
    char c = field[i];
    if (c == ' ' || c == '\0') {
      if (digits && i + 1 < width && field[i + 1] != ' ' && field[i + 1] != '\0')
        bad("memo pointer with embedded blank");
      continue;
    }
    if (c < '0' || c > '9')
      bad("memo pointer is not a block number");
    value = value * 10 + uint64_t(c - '0');
    digits = true;
    if (value > 0xFFFFFFFFull)
      bad("memo pointer out of range");
  }
  return uint32_t(value);
}

void formatMemoPointer(uint32_t block, char* field, int width) {
  std::memset(field, ' ', size_t(width));
  if (block == 0)
    return;
  std::string digits = std::to_string(block);
  if (int(digits.size()) > width)
    throw XBaseError(ErrorCode::Range, "memo block number too large for its field");
  std::memcpy(field + width - int(digits.size()), digits.data(), digits.size());
}

} // namespace xbase

#pragma once
// The FPT memo file: a 512-byte header (next free block and block size, both
// big-endian) followed by blocks; each memo starts on a block with an 8-byte
// header (type, length, big-endian) and runs on over as many blocks as needed.
//
// Memos are never overwritten in place: a changed memo goes to fresh blocks
// at the end and the record is pointed at it afterwards, so a process killed
// mid-edit leaves the old text intact. Pack reclaims the dead blocks.

#include "xbase/FileIo.h"

#include <cstdint>
#include <string>

namespace xbase {

constexpr uint32_t kMemoBlockSize = 64;

class MemoFile {
public:
  static void create(File& file, uint32_t blockSize = kMemoBlockSize);

  void open(File&& file);
  void close() { m_file.close(); }
  bool isOpen() const { return m_file.isOpen(); }
  File& file() { return m_file; }
  uint32_t blockSize() const { return m_blockSize; }

  // Block 0 means "no memo" and gives "". Damaged pointers throw BadMemo.
  std::string read(uint32_t block) const;
  // Checks that a memo starting at block lies wholly inside the file, without
  // reading its bytes. Throws BadMemo like read().
  void checkBlock(uint32_t block) const;
  // Returns the first block of the stored bytes; "" is stored as block 0.
  uint32_t write(const std::string& bytes);

private:
  uint32_t lengthAt(uint32_t block) const; // the memo's length; checks it fits

  File m_file;
  uint32_t m_blockSize = kMemoBlockSize;
  uint32_t m_nextFree = 0;
};

// Parses the memo pointer of a DBF memo field (ASCII block number, blanks
// when empty). Throws BadMemo for anything else.
uint32_t parseMemoPointer(const char* field, int width);
// Formats a block number into a memo field of the given width.
void formatMemoPointer(uint32_t block, char* field, int width);

} // namespace xbase

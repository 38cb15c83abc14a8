#pragma once
// Layout of a dictionary file (main and user dictionaries alike):
//   a text preamble of any length ended by the byte 26,
//   then sections: a 17-byte header followed by 3-byte nodes.
// Header: nodes in use (u32), node slots (u32), words (u32), a zero byte,
// the header's own file offset (u32), kind (non-zero: main dictionary).
// Node: child node number (u16, 0 none, 65000 free slot) and a flag byte:
// low 6 bits letter code, 64 last of its sibling list, 128 a word ends here.
// Numbers are little-endian.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace spell {

constexpr unsigned char kPreambleEnd = 26;
constexpr std::size_t kHeaderSize = 17;
constexpr std::size_t kNodeSize = 3;
constexpr std::uint16_t kNoChild = 0;
constexpr std::uint16_t kFreeSlot = 65000;
constexpr std::uint8_t kLastSibling = 64;
constexpr std::uint8_t kWordEnd = 128;
constexpr std::uint8_t kLetterMask = 63;
// A section never holds more nodes than this, so that every node number
// fits in 16 bits below the free-slot mark.
constexpr std::uint32_t kMaxNodes = 63999;
constexpr std::size_t kMaxWordLength = 25;
// Kinds of main dictionary sections (any non-zero kind is a main section):
// ordinary words, and the names, abbreviations and possessives after them.
constexpr std::uint8_t kPlainWordsKind = 1;
constexpr std::uint8_t kOtherWordsKind = 2;
// Another section follows while more than this many bytes remain.
constexpr std::uint64_t kSectionGap = 20;

struct Node {
  std::uint16_t child = kNoChild;
  std::uint8_t flags = 0;

  int Letter() const { return flags & kLetterMask; }
  bool IsLast() const { return (flags & kLastSibling) != 0; }
  bool EndsWord() const { return (flags & kWordEnd) != 0; }
  // A child list to descend into (a free-slot mark in a used node is none).
  bool HasChild() const { return child != kNoChild && child != kFreeSlot; }
};

struct SectionHeader {
  std::uint32_t inUse = 0;
  std::uint32_t capacity = 0;
  std::uint32_t words = 0;
  std::uint8_t reserved = 0;
  std::uint32_t offset = 0;
  std::uint8_t kind = 0;

  bool IsMain() const { return kind != 0; }
};

Node DecodeNode(const unsigned char* p);
void EncodeNode(const Node& node, unsigned char* p);
SectionHeader DecodeHeader(const unsigned char* p);
void EncodeHeader(const SectionHeader& h, unsigned char* p);

// Why a section header cannot be used where it stands in a file of the given
// size (nullopt when it can). nodesStart is the offset just after the header.
std::optional<std::string> CheckHeader(const SectionHeader& h, std::uint64_t nodesStart,
                                       std::uint64_t fileSize);

// Writes the bytes to path through a temporary file in the same folder and a
// rename, so that a crash leaves either the old file or the new one whole.
// False with a reason in error when it fails (the old file is untouched).
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

} // namespace spell

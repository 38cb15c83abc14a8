#pragma once
// HDLC framing of ECM page data, done by the program because a Class 1
// modem carries page data (+FTM/+FRM) as a plain bit stream: flags, zero
// bits stuffed after five ones, and the 16-bit frame check sequence
// (T.30 Annex A, ISO/IEC 13239). Bits go on the line least significant
// bit of each byte first, as the modem sends page data.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace faxengine::hdlc {

// The frame check sequence of `data` (CRC-16 of ITU-T V.41, bits in line
// order), to be appended least significant byte first.
uint16_t Fcs(const uint8_t* data, std::size_t size);

// Builds the bit stream: flags, then frames each followed by a flag.
class Encoder {
public:
  // Opening flags (T.30 asks for at least one; more give the receiver time).
  void Flags(int count);
  // One frame: its bytes, the FCS, bit stuffing, and the closing flag.
  void Frame(const uint8_t* data, std::size_t size);
  // The stream so far, padded with ones to a whole byte (a flag's tail is
  // idle line, and a receiver ignores it), ready for DLE doubling.
  std::vector<uint8_t> Take();
  // The whole bytes of the stream so far, without padding: the bits of a
  // byte not yet full stay for what follows (a stream handed on in pieces).
  std::vector<uint8_t> TakeWhole();

private:
  void PutBit(int bit);
  void PutByteStuffed(uint8_t b);
  std::vector<uint8_t> m_out;
  uint32_t m_acc = 0;
  int m_bits = 0;
  int m_ones = 0;
};

// Finds frames in a received bit stream: everything between two flags
// whose stuffing is sound, of at least 4 bytes, with a good FCS. Frames with
// a bad FCS are counted and dropped (ECM asks again for what is missing).
class Decoder {
public:
  // Takes received bytes; complete good frames go to `frames` (FCS removed).
  void Put(const uint8_t* data, std::size_t size, std::vector<std::vector<uint8_t>>& frames);
  long BadFrames() const { return m_bad; }

private:
  static constexpr std::size_t kMaxFrame = 1024; // longer is noise
  void EndFrame(std::vector<std::vector<uint8_t>>& frames);
  std::vector<uint8_t> m_frame;
  uint32_t m_acc = 0;
  int m_accBits = 0;
  int m_ones = 0;
  bool m_inFrame = false;
  bool m_aborted = false;
  long m_bad = 0;
};

} // namespace faxengine::hdlc

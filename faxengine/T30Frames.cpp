// T.30 frame building and reading for the Class 1 machines.

#include "faxengine/T30Frames.h"

#include <algorithm>

namespace faxengine::t30 {

namespace {

constexpr int kSpeeds[kMaxIndex + 1] = {0, 2400, 4800, 7200, 9600, 12000, 14400};
constexpr const char* kCodes[kMaxIndex + 1] = {"", "24", "48", "72", "96", "121", "145"};
// Speed bits of FIF byte 2 (T.30 bits 11 to 14 are 0x04, 0x08, 0x10, 0x20),
// by index. Offered in a DIS: V.27ter 4800 (bit 12), V.27ter and V.29
// (bits 11, 12), V.27ter, V.29 and V.17 (bits 11, 12, 14).
constexpr uint8_t kDisSpeedBits[kMaxIndex + 1] = {0, 0x00, 0x08, 0x0C, 0x0C, 0x2C, 0x2C};
// Chosen in a DCS: 2400 and 4800 V.27ter, 7200 and 9600 V.29, 12000 and 14400 V.17.
constexpr uint8_t kDcsSpeedBits[kMaxIndex + 1] = {0, 0x00, 0x08, 0x0C, 0x04, 0x28, 0x20};
// Scan-time bits of FIF byte 3 by scan-time index, normal and fine.
constexpr uint8_t kScanNormal[8] = {0x70, 0x10, 0x20, 0x20, 0x00, 0x00, 0x40, 0x40};
constexpr uint8_t kScanFine[8] = {0x70, 0x10, 0x10, 0x20, 0x20, 0x00, 0x00, 0x40};
constexpr std::size_t kIdentLength = 20;

uint8_t FifByte(const uint8_t* fif, std::size_t size, std::size_t i) {
  return i < size ? fif[i] : 0;
}

// Bit 16 of FIF byte 2: two-dimensional coding. FIF byte 4 holds bit 27
// (ECM), bit 28 (frame size: 64 octets when set, in a DCS) and bit 31 (T.6).
constexpr uint8_t kBit16 = 0x80, kBit27 = 0x04, kBit28 = 0x08, kBit31 = 0x40;

uint8_t CodingByte4(bool ecm, bool frame64, bool mmr) {
  return static_cast<uint8_t>((ecm ? kBit27 : 0) | (frame64 ? kBit28 : 0) | (mmr ? kBit31 : 0));
}

// Byte 4 counts only when byte 3 says the field goes on (its extend bit).
CodingSet ReadCoding(const uint8_t* fif, std::size_t size) {
  CodingSet c;
  c.mr = (FifByte(fif, size, 1) & kBit16) != 0;
  const uint8_t b4 = (FifByte(fif, size, 2) & 0x80) ? FifByte(fif, size, 3) : 0;
  c.ecm = (b4 & kBit27) != 0;
  c.frame64 = c.ecm && (b4 & kBit28) != 0;
  // T.6 goes only with error correction (T.30 5.3.6.1.8).
  c.mmr = c.ecm && (b4 & kBit31) != 0;
  return c;
}

void AppendEscaped(std::vector<uint8_t>& out, uint8_t b) {
  out.push_back(b);
  if (b == kDle)
    out.push_back(kDle);
}

} // namespace

FrameKind KindOfFcf(uint8_t fcf) {
  if (fcf >= 0x40 && fcf <= 0x43)
    return FrameKind::Ident;
  switch (fcf) {
  case 0x44:
  case 0x45:
    return FrameKind::Ftt;
  case 0x4C:
  case 0x4D:
    return FrameKind::Rtn;
  case 0x80:
  case 0x81:
    return FrameKind::Dis;
  case 0x82:
  case 0x83:
    return FrameKind::Dcs;
  case 0x84:
  case 0x85:
    return FrameKind::Cfr;
  case 0x4E:
  case 0x4F:
    return FrameKind::Mps;
  case 0x8C:
  case 0x8D:
    return FrameKind::Mcf;
  case 0xCC:
  case 0xCD:
    return FrameKind::Rtp;
  case 0xFA:
  case 0xFB:
    return FrameKind::Dcn;
  case 0xBE:
  case 0xBF:
    return FrameKind::Pps;
  case 0xBC:
  case 0xBD:
    return FrameKind::Ppr;
  case 0x6E:
  case 0x6F:
    return FrameKind::Rr;
  case 0xEC:
  case 0xED:
    return FrameKind::Rnr;
  case 0x12:
  case 0x13:
    return FrameKind::Ctc;
  case 0xC4:
  case 0xC5:
    return FrameKind::Ctr;
  case 0xCE:
  case 0xCF:
    return FrameKind::Eor;
  case 0x1C:
  case 0x1D:
    return FrameKind::Err;
  default:
    return FrameKind::Other;
  }
}

int SpeedOfIndex(int index) {
  return index >= 1 && index <= kMaxIndex ? kSpeeds[index] : 0;
}

const char* CodeOfIndex(int index) {
  return index >= 1 && index <= kMaxIndex ? kCodes[index] : "";
}

const char* PageCodeOfIndex(int index) {
  if (index == 5)
    return "122";
  if (index == 6)
    return "146";
  return CodeOfIndex(index);
}

int SpeedSet::Highest() const {
  for (int i = kMaxIndex; i >= 1; --i)
    if (has[i])
      return i;
  return 0;
}

int SpeedSet::Best(const SpeedSet& other, int maxBps) const {
  for (int i = kMaxIndex; i >= 1; --i)
    if (has[i] && other.has[i] && kSpeeds[i] <= maxBps)
      return i;
  return 0;
}

int SpeedSet::Below(const SpeedSet& other, int index) const {
  for (int i = std::min(index, kMaxIndex + 1) - 1; i >= 1; --i)
    if (has[i] && other.has[i])
      return i;
  return 0;
}

SpeedSet ParseModulations(const std::string& answer) {
  SpeedSet set;
  std::size_t start = 0;
  while (start < answer.size()) {
    std::size_t end = answer.find_first_of("\r\n", start);
    if (end == std::string::npos)
      end = answer.size();
    const std::string line = answer.substr(start, end - start);
    start = end + 1;
    if (line.find(',') == std::string::npos)
      continue;
    // Codes are compared as whole comma-separated items, so "145" does not
    // also count as "14" or "45".
    std::string item;
    for (std::size_t i = 0; i <= line.size(); ++i) {
      if (i < line.size() && line[i] != ',' && line[i] != ' ') {
        item += line[i];
        continue;
      }
      for (int idx = 3; idx <= kMaxIndex; ++idx)
        if (item == kCodes[idx])
          set.has[idx] = true;
      item.clear();
    }
  }
  return set;
}

std::vector<uint8_t> BuildFrame(uint8_t fcf, const std::vector<uint8_t>& fif, bool final) {
  std::vector<uint8_t> out{kAddress, final ? kControlFinal : kControlNonFinal};
  AppendEscaped(out, fcf);
  for (uint8_t b : fif)
    AppendEscaped(out, b);
  out.push_back(kDle);
  out.push_back(kEtx);
  return out;
}

std::vector<uint8_t> BuildIdentFrame(uint8_t fcf, const std::string& stationId) {
  const std::string id = stationId.substr(0, kIdentLength);
  std::vector<uint8_t> fif(kIdentLength - id.size(), ' ');
  for (auto it = id.rbegin(); it != id.rend(); ++it)
    fif.push_back(static_cast<uint8_t>(*it));
  return BuildFrame(fcf, fif, false);
}

std::string ReadIdent(const uint8_t* fif, std::size_t size) {
  std::string id;
  for (std::size_t i = std::min(size, kIdentLength); i-- > 0;) {
    const uint8_t c = fif[i];
    id += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : ' ';
  }
  return id;
}

CodingSet ChooseCoding(const CodingSet& local, const CodingSet& remote) {
  CodingSet chosen;
  chosen.ecm = local.ecm && remote.ecm;
  chosen.mmr = chosen.ecm && local.mmr && remote.mmr;
  chosen.mr = !chosen.mmr && local.mr && remote.mr;
  return chosen;
}

faximage::FaxCoding PageCoding(const CodingSet& chosen) {
  if (chosen.mmr)
    return faximage::FaxCoding::Mmr;
  return chosen.mr ? faximage::FaxCoding::Mr : faximage::FaxCoding::Mh;
}

std::vector<uint8_t> BuildDisFif(int highestIndex, const CodingSet& offer) {
  const int idx = std::clamp(highestIndex, 1, kMaxIndex);
  const uint8_t b2 =
      static_cast<uint8_t>(0x02 | 0x40 | kDisSpeedBits[idx] | (offer.mr ? kBit16 : 0));
  return {0x00, b2, 0xF9, CodingByte4(offer.ecm, false, offer.ecm && offer.mmr)};
}

std::vector<uint8_t> BuildDcsFif(int index, bool fine, bool wide, int scanTime,
                                 const CodingSet& chosen) {
  const int idx = std::clamp(index, 1, kMaxIndex);
  const uint8_t b2 = static_cast<uint8_t>(0x02 | (fine ? 0x40 : 0) | kDcsSpeedBits[idx] |
                                          (chosen.mr && !chosen.mmr ? kBit16 : 0));
  const uint8_t b3 = static_cast<uint8_t>(0x88 | ScanTimeBits(scanTime, fine) | (wide ? 1 : 0));
  return {0x00, b2, b3,
          CodingByte4(chosen.ecm, chosen.ecm && chosen.frame64, chosen.ecm && chosen.mmr)};
}

std::vector<uint8_t> BuildCtcFif(int index) {
  return {0x00, kDcsSpeedBits[std::clamp(index, 1, kMaxIndex)]};
}

uint8_t ScanTimeBits(int scanTime, bool fine) {
  const int i = std::clamp(scanTime, 0, 7);
  return fine ? kScanFine[i] : kScanNormal[i];
}

int ScanTimeFromBits(uint8_t byte3) {
  static constexpr int kIndex[8] = {5, 1, 3, 4, 7, 6, 2, 0};
  return kIndex[(byte3 & 0x70) >> 4];
}

Capabilities ReadDis(const uint8_t* fif, std::size_t size) {
  const uint8_t b2 = FifByte(fif, size, 1), b3 = FifByte(fif, size, 2);
  Capabilities c;
  c.fine = (b2 & 0x40) != 0;
  c.wide = (b3 & 3) == 1;
  // Bits 11 to 14 as a number, bit 11 lowest: 0 2400 only, 2 V.27ter,
  // 1 V.29, 3 V.27ter and V.29, 11 (and other values with bit 14) V.17 too.
  const int rate = (b2 >> 2) & 0x0F;
  c.speeds.has[2] = rate != 0;
  if (rate & 0x01)
    c.speeds.has[3] = c.speeds.has[4] = true;
  if (rate & 0x08)
    c.speeds.has[3] = c.speeds.has[4] = c.speeds.has[5] = c.speeds.has[6] = true;
  c.index = c.speeds.Highest();
  c.scanTime = ScanTimeFromBits(b3);
  c.coding = ReadCoding(fif, size);
  c.coding.frame64 = false; // bit 28 is not a capability in a DIS
  return c;
}

Capabilities ReadDcs(const uint8_t* fif, std::size_t size) {
  const uint8_t b2 = FifByte(fif, size, 1), b3 = FifByte(fif, size, 2);
  Capabilities c;
  // Bits 11 to 14 as a number, bit 11 lowest (T.30 DCS codes); the V.17
  // codes for 9600 and 7200 are taken at the same speed.
  static constexpr int kIndexOfRate[16] = {1, 4, 2, 3, 5, 4, 2, 3, 6, 4, 5, 3, 6, 4, 5, 3};
  c.index = kIndexOfRate[(b2 >> 2) & 0x0F];
  c.fine = (b2 & 0x40) != 0;
  c.wide = (b3 & 3) == 1;
  c.scanTime = ScanTimeFromBits(b3);
  c.coding = ReadCoding(fif, size);
  // A DCS naming T.6 means MMR, whatever bit 16 says.
  if (c.coding.mmr)
    c.coding.mr = false;
  return c;
}

FrameReader::Result FrameReader::Put(uint8_t b) {
  if (m_dle) {
    m_dle = false;
    if (b == kEtx)
      return Result::Done;
    // DLE DLE is one 0x10; DLE with anything else stands for that byte.
    if (m_bytes.size() < kMaxBytes)
      m_bytes.push_back(b);
    return Result::More;
  }
  if (b == kDle) {
    m_dle = true;
    return Result::More;
  }
  if (m_bytes.size() < kMaxBytes)
    m_bytes.push_back(b);
  return Result::More;
}

bool FrameReader::Take(Frame& frame) {
  frame = Frame{};
  // Anything before the address byte is line noise or a stray result code.
  auto start = std::find(m_bytes.begin(), m_bytes.end(), kAddress);
  const std::size_t n = static_cast<std::size_t>(m_bytes.end() - start);
  bool ok = false;
  if (n >= 3) {
    frame.final = (start[1] & 0x10) != 0;
    frame.fcf = start[2];
    // The modem passes the two FCS bytes on after the FIF.
    const std::size_t fifLen = n > 5 ? n - 5 : 0;
    frame.fif.assign(start + 3, start + 3 + static_cast<long>(fifLen));
    ok = true;
  }
  Reset();
  return ok;
}

void FrameReader::Reset() {
  m_bytes.clear();
  m_dle = false;
}

std::size_t TrainingBytes(int bps) {
  return std::min<std::size_t>(static_cast<std::size_t>(bps) / 100 * 18, 8192);
}

} // namespace faxengine::t30

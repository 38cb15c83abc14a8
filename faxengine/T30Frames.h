#pragma once
// T.30 frames as a Class 1 modem carries them: frame building with DLE ETX,
// intake of received frames, the DIS/DCS bit fields, station identifiers,
// the modem's modulation list, the training check and speed fall-back.
// Nothing here touches a port: the Class 1 machines feed bytes in and send
// the bytes that come out.

#include "faximage/FaxCoding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace faxengine::t30 {

constexpr uint8_t kDle = 0x10, kEtx = 0x03;
constexpr uint8_t kAddress = 0xFF;
constexpr uint8_t kControlFinal = 0x13, kControlNonFinal = 0x03;

// FCF values as this program sends them.
enum Fcf : uint8_t {
  fcfDis = 0x80,
  fcfCsi = 0x40,
  fcfTsi = 0x43,
  fcfDcs = 0x83,
  fcfCfr = 0x84,
  fcfFtt = 0x44,
  fcfRtn = 0x4C,
  fcfMps = 0x4F,
  fcfEop = 0x2F,
  fcfMcf = 0x8C,
  fcfRtp = 0xCC,
  fcfDcn = 0xFB,
  // Error correction (T.30 Annex A).
  fcfPps = 0xBF,
  fcfPpr = 0xBC,
  fcfRr = 0x6F,
  fcfCtc = 0x13,
  fcfCtr = 0xC4,
  fcfEor = 0xCF,
  fcfErr = 0x1C,
};

// What a received FCF stands for (the calling station's X bit ignored).
enum class FrameKind {
  Ident,
  Ftt,
  Rtn,
  Dis,
  Dcs,
  Cfr,
  Mps,
  Mcf,
  Rtp,
  Dcn,
  Pps,
  Ppr,
  Rr,
  Rnr,
  Ctc,
  Ctr,
  Eor,
  Err,
  Other
};
FrameKind KindOfFcf(uint8_t fcf);

// Modulations 1..6 of a Class 1 modem.
constexpr int kMaxIndex = 6;
int SpeedOfIndex(int index);        // 2400 .. 14400; 0 outside 1..6
const char* CodeOfIndex(int index); // "24" .. "145"; "" outside 1..6
// The code for page data: V.17 (12000, 14400) with short training, "122" and
// "146"; the others as CodeOfIndex.
const char* PageCodeOfIndex(int index);

// Speeds a station can use, indexed 1..6 (element 0 unused).
struct SpeedSet {
  bool has[kMaxIndex + 1] = {false, true, true, false, false, false, false};
  int Highest() const;
  // The highest index present in both sets whose speed is not above maxBps.
  int Best(const SpeedSet& other, int maxBps) const;
  // The next index below `index` present in both sets; 0 when none.
  int Below(const SpeedSet& other, int index) const;
};

// Marks 3..6 from an "AT+FTM=?" / "AT+FRM=?" answer: a line with a comma
// that names the codes ("3,24,48,72,73,74,96,97,98,121,122,145,146").
SpeedSet ParseModulations(const std::string& answer);

// A whole frame as sent: address, control, FCF, FIF, DLE ETX; DLE bytes in
// the FIF are doubled so that the modem does not take them as framing.
std::vector<uint8_t> BuildFrame(uint8_t fcf, const std::vector<uint8_t>& fif, bool final);
// TSI or CSI: 20 FIF bytes, the ID right-aligned and reversed.
std::vector<uint8_t> BuildIdentFrame(uint8_t fcf, const std::string& stationId);
// The remote ID from a received identifier FIF: up to 20 bytes read from the
// last to the first; bytes that are not printable become spaces.
std::string ReadIdent(const uint8_t* fif, std::size_t size);

// The page codings and error correction a DIS offers or a DCS chooses
// (T.30 DIS/DCS bits 16, 27, 28 and 31). MH is always there.
struct CodingSet {
  bool mr = false;      // T.4 two-dimensional coding
  bool mmr = false;     // T.6 coding (only with error correction)
  bool ecm = false;     // error correction mode, T.30 Annex A
  bool frame64 = false; // DCS: ECM frames of 64 octets instead of 256

  bool operator==(const CodingSet&) const = default;
};
// What the sender chooses from what both sides offer: ECM when both have
// it, MMR only with ECM, otherwise MR when both have it, else MH.
CodingSet ChooseCoding(const CodingSet& local, const CodingSet& remote);
faximage::FaxCoding PageCoding(const CodingSet& chosen);

// The parameters a DIS offers or a DCS chooses.
struct Capabilities {
  bool fine = false;
  bool wide = false;
  SpeedSet speeds; // DIS: the speeds offered
  int index = 1;   // DCS: the chosen speed
  int scanTime = 0;
  CodingSet coding;
};
// FIF of a DIS offering speeds up to `highestIndex` and the codings of `offer`.
std::vector<uint8_t> BuildDisFif(int highestIndex, const CodingSet& offer = {});
// FIF of a DCS choosing `index` with the page's resolution and width.
std::vector<uint8_t> BuildDcsFif(int index, bool fine, bool wide, int scanTime,
                                 const CodingSet& chosen = {});
// FIF of a CTC: the speed of the retransmissions that follow, as a DCS says it.
std::vector<uint8_t> BuildCtcFif(int index);
// Short FIFs (under 3 bytes) read as zero bits.
Capabilities ReadDis(const uint8_t* fif, std::size_t size);
Capabilities ReadDcs(const uint8_t* fif, std::size_t size);
int ScanTimeFromBits(uint8_t byte3);
uint8_t ScanTimeBits(int scanTime, bool fine);

// A received frame as the modem delivered it, FCS bytes still on the end.
struct Frame {
  bool final = false;
  uint8_t fcf = 0;
  std::vector<uint8_t> fif; // without the two FCS bytes
};

// Collects the bytes of one received frame up to DLE ETX.
class FrameReader {
public:
  enum class Result { More, Done };
  // Takes one byte; Done when DLE ETX has ended the frame.
  Result Put(uint8_t b);
  // The frame collected (call after Done); false when it holds no address,
  // control and FCF. Resets the reader.
  bool Take(Frame& frame);
  void Reset();

private:
  static constexpr std::size_t kMaxBytes = 512; // longer frames are cut
  std::vector<uint8_t> m_bytes;
  bool m_dle = false;
};

// Training check: the zero bytes for `bps` (speed / 100 * 18, at most 8192).
std::size_t TrainingBytes(int bps);
// The receive side's tally of the check.
struct TrainingCheck {
  long total = 0, nonZero = 0;
  void Count(uint8_t b) {
    ++total;
    nonZero += b != 0;
  }
  // Passed when fewer than 10 % of the bytes are non-zero.
  bool Passed() const { return total > 0 && nonZero * 100 / total < 10; }
};

} // namespace faxengine::t30

#pragma once
// The T.30 session parameters as Class 2 and Class 2.0 report and set them:
// the eight values VR, BR, WD, LN, DF, EC, BF, ST of +FDCC / +FDIS / +FDCS
// (+FCC / +FIS / +FCS), and their translation from T.30 DIS / DCS frames.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::sim {

struct FaxParams {
  int vr = 0; // vertical resolution: 0 normal (98 lpi), 1 fine (196 lpi)
  int br = 3; // bit rate: 0 2400, 1 4800, 2 7200, 3 9600, 4 12000, 5 14400
  int wd = 0; // page width: 0 1728, 1 2048, 2 2432 pixels
  int ln = 2; // page length: 0 A4, 1 B4, 2 unlimited
  int df = 0; // data format: 0 one-dimensional MH, 1 two-dimensional MR, 3 T.6 MMR
  int ec = 0; // error correction: 0 none, 1 T.30 Annex A
  int bf = 0; // binary file transfer: 0 none
  int st = 0; // minimum scan time code 0..7

  bool operator==(const FaxParams&) const = default;
};

// Upper bounds of each value as this simulator can run them.
constexpr FaxParams kFaxParamLimits{1, 5, 2, 2, 3, 2, 1, 7};

// Parses "1,5,0,2,0,0,0,0" onto base: empty fields keep the base value, as
// in "AT+FDIS=,3". Returns nothing for text that is not such a list or a
// value out of range.
std::optional<FaxParams> parseFaxParams(std::string_view text, const FaxParams& base);
// "1,5,0,2,0,0,0,0"
std::string formatFaxParams(const FaxParams& p);
// The ranges a modem answers to "=?": "(0,1),(0-5),(0-2),(0-2),(0,1,3),(0,1),(0),(0-7)";
// a data format of 3 (MMR) leaves out 2, uncompressed mode, which no modem
// here does.
std::string formatFaxParamRanges(const FaxParams& limits);

// Pixels per row for a WD value.
int pageWidthPixels(int wd);

// Reads a DIS (what the far end can do) or a DCS (what the sender chose)
// from a T.30 frame as spandsp hands it over: address, control, FCF, FIF.
FaxParams paramsFromDis(const uint8_t* frame, int len);
FaxParams paramsFromDcs(const uint8_t* frame, int len);

// What a sender with these wishes will use against that far end: each value
// the lower of the two, the scan time the far end's.
FaxParams negotiate(const FaxParams& wanted, const FaxParams& remoteDis);

// Hang-up cause reported in +FHNG / +FHS for a T.30 completion code of
// spandsp, seen from the calling (transmitting) or answering side.
int hangupCodeFor(int t30Completion, bool transmitting);

} // namespace tolvane::sim

#pragma once
// Pieces of the Class 2 / 2.0 dialogue that need no modem: speed codes,
// parameter strings, and the parsing of +F report lines.

#include <string>

namespace faxengine {

// The BR digit of a line speed (9600 for anything unlisted) and back.
char BrCodeFor(int bps);
int BpsForCode(char code);

// Parameters of a +FDIS / +FDCS / +FIS / +FCS line.
struct Class2Params {
  bool fine = false;
  int bps = 9600;
  char bpsCode = '3';
  bool wide = false;
  bool ecm = false;
  char df = '0'; // data format: 0 MH, 1 MR, 3 MMR
  int scanTime = 0;
};
// Everything up to the first ':' (or '=') removed, then blanks and control
// characters at both ends.
std::string StripReportPrefix(const std::string& line);
Class2Params ParseClass2Params(const std::string& line);

// The remote identifier of a +FCSI / +FTSI (+FCI / +FTI) line, at most 20
// characters, without quotes and trailing filler.
std::string ParseRemoteId(const std::string& line);
// The first character after ':' (0 when there is none).
char ReportCode(const std::string& line);
// The hang-up code of a +FHNG / +FHS line: up to 3 characters after ':'.
std::string ParseHangupCode(const std::string& line);

// What the program offers in the DF and EC fields of its capabilities:
// only what the modem reports it can do (its answer to AT+FCC=? or
// AT+FDCC=?, "(0,1),(0-5),(0-2),(0-2),(0-3),(0-2),(0),(0-7)"), and MMR only
// with error correction. An empty or unreadable answer offers MH without
// error correction.
struct Class2Offer {
  char df = '0'; // 0 MH, 1 MR, 3 MMR
  bool ecm = false;
};
Class2Offer ChooseClass2Offer(const std::string& modemRanges, bool want2D, bool wantEcm);

// "=VR,BR,WD,2,DF,EC,0,0" for the send side's local capabilities.
std::string LocalCapsParams(bool fine, bool wide, int desiredBps, const Class2Offer& offer);
// "=1,BR,0,2,DF,EC,0,0" for the receive side's modem capabilities.
std::string ModemCapsParams(int desiredBps, const Class2Offer& offer);

} // namespace faxengine

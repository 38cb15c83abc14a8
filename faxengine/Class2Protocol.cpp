// Class 2 / 2.0 speed codes, parameter strings and report-line parsing.

#include "faxengine/Class2Protocol.h"

#include <cctype>

namespace faxengine {

char BrCodeFor(int bps) {
  switch (bps) {
  case 2400:
    return '0';
  case 4800:
    return '1';
  case 7200:
    return '2';
  case 12000:
    return '4';
  case 14400:
    return '5';
  default:
    return '3';
  }
}

int BpsForCode(char code) {
  switch (code) {
  case '0':
    return 2400;
  case '1':
    return 4800;
  case '2':
    return 7200;
  case '4':
    return 12000;
  case '5':
    return 14400;
  default:
    return 9600;
  }
}

namespace {
bool Blank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && Blank(s[b]))
    ++b;
  while (e > b && Blank(s[e - 1]))
    --e;
  return s.substr(b, e - b);
}

// The text after the first ':', or "" when there is none.
std::string AfterColon(const std::string& line) {
  const size_t colon = line.find(':');
  return colon == std::string::npos ? std::string() : line.substr(colon + 1);
}
} // namespace

std::string StripReportPrefix(const std::string& line) {
  size_t cut = line.find(':');
  if (cut == std::string::npos)
    cut = line.find('=');
  return Trim(cut == std::string::npos ? line : line.substr(cut + 1));
}

Class2Params ParseClass2Params(const std::string& line) {
  const std::string p = StripReportPrefix(line);
  // 1-based positions 1, 3, 5, 11 and 15 of "VR,BR,WD,LN,DF,EC,BF,ST".
  auto at = [&p](size_t pos) { return pos <= p.size() ? p[pos - 1] : '\0'; };
  Class2Params r;
  r.fine = at(1) == '1';
  r.bpsCode = at(3);
  r.bps = BpsForCode(r.bpsCode);
  r.bpsCode = BrCodeFor(r.bps);
  r.wide = at(5) == '1';
  r.ecm = at(11) == '1' || at(11) == '2';
  r.df = at(9) == '1' || at(9) == '3' ? at(9) : '0';
  const char st = at(15);
  r.scanTime = st >= '0' && st <= '7' ? st - '0' : 0;
  return r;
}

std::string ParseRemoteId(const std::string& line) {
  std::string id = StripReportPrefix(line);
  if (!id.empty() && id.front() == '"')
    id.erase(0, 1);
  while (!id.empty() && !std::isalnum(static_cast<unsigned char>(id.back())))
    id.pop_back();
  id = Trim(id);
  return id.substr(0, 20);
}

char ReportCode(const std::string& line) {
  const std::string rest = AfterColon(line);
  size_t i = 0;
  while (i < rest.size() && rest[i] == ' ')
    ++i;
  return i < rest.size() ? rest[i] : '\0';
}

std::string ParseHangupCode(const std::string& line) {
  return Trim(Trim(AfterColon(line)).substr(0, 3));
}

namespace {
// The values a "(0-3)", "(0,1)" or "0" field allows (digits only).
std::string AllowedValues(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c < '0' || c > '9')
      continue;
    if (i + 2 < field.size() && field[i + 1] == '-' && field[i + 2] >= c && field[i + 2] <= '9') {
      for (char v = c; v <= field[i + 2]; ++v)
        out += v;
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// The n-th (from 0) field of a range list: parenthesised groups or plain values.
std::string RangeField(const std::string& ranges, int n) {
  const std::string list = StripReportPrefix(ranges);
  int index = 0, depth = 0;
  std::string field;
  for (const char c : list) {
    if (c == '(')
      ++depth;
    else if (c == ')')
      --depth;
    if (c == ',' && depth == 0) {
      if (index++ == n)
        return field;
      field.clear();
    } else {
      field += c;
    }
  }
  return index == n ? field : std::string();
}

std::string CapsTail(const Class2Offer& offer) {
  std::string s = ",2,";
  s += offer.df;
  s += ',';
  s += offer.ecm ? '1' : '0';
  s += ",0,0";
  return s;
}
} // namespace

Class2Offer ChooseClass2Offer(const std::string& modemRanges, bool want2D, bool wantEcm) {
  const std::string df = AllowedValues(RangeField(modemRanges, 4));
  const std::string ec = AllowedValues(RangeField(modemRanges, 5));
  Class2Offer offer;
  offer.ecm = wantEcm && (ec.find('1') != std::string::npos || ec.find('2') != std::string::npos);
  if (want2D && offer.ecm && df.find('3') != std::string::npos)
    offer.df = '3';
  else if (want2D && df.find('1') != std::string::npos)
    offer.df = '1';
  return offer;
}

std::string LocalCapsParams(bool fine, bool wide, int desiredBps, const Class2Offer& offer) {
  std::string s = "=";
  s += fine ? '1' : '0';
  s += ',';
  s += BrCodeFor(desiredBps);
  s += ',';
  s += wide ? '1' : '0';
  return s + CapsTail(offer);
}

std::string ModemCapsParams(int desiredBps, const Class2Offer& offer) {
  std::string s = "=1,";
  s += BrCodeFor(desiredBps);
  s += ",0";
  return s + CapsTail(offer);
}

} // namespace faxengine

#include "sim/class2/FaxParams.h"

#include <algorithm>
#include <array>

#include <spandsp.h>

namespace tolvane::sim {
namespace {

int* field(FaxParams& p, int i) {
  std::array<int*, 8> f{&p.vr, &p.br, &p.wd, &p.ln, &p.df, &p.ec, &p.bf, &p.st};
  return f[static_cast<size_t>(i)];
}

int fieldOf(const FaxParams& p, int i) {
  return *field(const_cast<FaxParams&>(p), i);
}

// T.30 numbers FIF bits from 1, least significant bit of the first FIF octet
// first; the frame starts with address, control and FCF.
bool bit(const uint8_t* frame, int len, int n) {
  int byte = 3 + (n - 1) / 8;
  return byte < len && ((frame[byte] >> ((n - 1) % 8)) & 1) != 0;
}

int widthFrom(const uint8_t* frame, int len) {
  bool b17 = bit(frame, len, 17), b18 = bit(frame, len, 18);
  if (b18 && !b17)
    return 2;
  return b17 && !b18 ? 1 : 0;
}

int lengthFrom(const uint8_t* frame, int len) {
  bool b19 = bit(frame, len, 19), b20 = bit(frame, len, 20);
  if (b20 && !b19)
    return 2;
  return b19 && !b20 ? 1 : 0;
}

// Bits 21-23: the minimum scan time, mapped onto the Class 2 ST codes.
int scanTimeFrom(const uint8_t* frame, int len) {
  int code =
      (bit(frame, len, 21) ? 4 : 0) | (bit(frame, len, 22) ? 2 : 0) | (bit(frame, len, 23) ? 1 : 0);
  // index: b21 b22 b23 -> 20ms, 40ms, 10ms, 10/5ms, 5ms, 40/20ms, 20/10ms, 0ms
  static const int kSt[8] = {5, 7, 3, 2, 1, 6, 4, 0};
  return kSt[code];
}

} // namespace

std::optional<FaxParams> parseFaxParams(std::string_view text, const FaxParams& base) {
  FaxParams p = base;
  int index = 0;
  size_t pos = 0;
  while (true) {
    if (index >= 8)
      return std::nullopt;
    size_t comma = text.find(',', pos);
    std::string_view item =
        text.substr(pos, comma == std::string_view::npos ? text.npos : comma - pos);
    if (!item.empty()) {
      if (item.size() > 3)
        return std::nullopt;
      int value = 0;
      for (char c : item) {
        if (c < '0' || c > '9')
          return std::nullopt;
        value = value * 10 + (c - '0');
      }
      if (value > fieldOf(kFaxParamLimits, index))
        return std::nullopt;
      *field(p, index) = value;
    }
    ++index;
    if (comma == std::string_view::npos)
      break;
    pos = comma + 1;
  }
  return p;
}

std::string formatFaxParams(const FaxParams& p) {
  std::string s;
  for (int i = 0; i < 8; ++i) {
    if (i)
      s += ',';
    s += std::to_string(fieldOf(p, i));
  }
  return s;
}

std::string formatFaxParamRanges(const FaxParams& limits) {
  std::string s;
  for (int i = 0; i < 8; ++i) {
    int top = fieldOf(limits, i);
    if (i)
      s += ',';
    if (i == 4 && top == 3) {
      s += "(0,1,3)";
      continue;
    }
    s += top == 0 ? "(0)" : top == 1 ? "(0,1)" : "(0-" + std::to_string(top) + ")";
  }
  return s;
}

int pageWidthPixels(int wd) {
  return wd == 2 ? 2432 : wd == 1 ? 2048 : 1728;
}

FaxParams paramsFromDis(const uint8_t* frame, int len) {
  FaxParams p;
  bool v29 = bit(frame, len, 11), v27 = bit(frame, len, 12), v17 = bit(frame, len, 14);
  p.br = v17 && v29 && v27 ? 5 : v29 ? 3 : v27 ? 1 : 0;
  p.vr = bit(frame, len, 15) ? 1 : 0;
  p.wd = widthFrom(frame, len);
  p.ln = lengthFrom(frame, len);
  p.ec = bit(frame, len, 27) ? 1 : 0;
  // T.6 coding (bit 31) only counts with error correction, which it needs.
  p.df = bit(frame, len, 31) && p.ec ? 3 : bit(frame, len, 16) ? 1 : 0;
  p.st = scanTimeFrom(frame, len);
  return p;
}

FaxParams paramsFromDcs(const uint8_t* frame, int len) {
  FaxParams p = paramsFromDis(frame, len);
  // In a DCS bits 11-14 name one rate (T.30 table 2).
  int rate = (bit(frame, len, 11) ? 8 : 0) | (bit(frame, len, 12) ? 4 : 0) |
             (bit(frame, len, 13) ? 2 : 0) | (bit(frame, len, 14) ? 1 : 0);
  switch (rate) {
  case 0b0100:
    p.br = 1;
    break;
  case 0b1000:
    p.br = 3;
    break;
  case 0b1100:
    p.br = 2;
    break;
  case 0b0001:
    p.br = 5;
    break;
  case 0b0101:
    p.br = 4;
    break;
  case 0b1001:
    p.br = 3;
    break;
  case 0b1101:
    p.br = 2;
    break;
  default:
    p.br = 0;
    break;
  }
  return p;
}

FaxParams negotiate(const FaxParams& wanted, const FaxParams& remote) {
  FaxParams p;
  p.vr = wanted.vr && remote.vr ? 1 : 0;
  p.br = std::min(wanted.br, remote.br);
  p.wd = std::min(wanted.wd, remote.wd);
  p.ln = std::min(wanted.ln, remote.ln);
  p.ec = std::min(wanted.ec, remote.ec) > 0 ? 1 : 0;
  // MMR where both take it (it needs error correction), else MR where both
  // take that.
  p.df = p.ec && wanted.df == 3 && remote.df == 3 ? 3 : std::min({wanted.df, remote.df, 1});
  p.bf = 0;
  p.st = remote.st;
  return p;
}

int hangupCodeFor(int code, bool tx) {
  switch (code) {
  case T30_ERR_OK:
    return 0;
  case T30_ERR_CEDTONE:
  case T30_ERR_T0_EXPIRED:
  case T30_ERR_T1_EXPIRED:
    return tx ? 11 : 70;
  case T30_ERR_CANNOT_TRAIN:
    return 27;
  case T30_ERR_INCOMPATIBLE:
  case T30_ERR_RX_INCAPABLE:
  case T30_ERR_TX_INCAPABLE:
  case T30_ERR_NORESSUPPORT:
  case T30_ERR_NOSIZESUPPORT:
    return 21;
  case T30_ERR_UNEXPECTED:
    return tx ? 23 : 72;
  case T30_ERR_TX_BADDCS:
    return 28;
  case T30_ERR_TX_PHBDEAD:
    return 25;
  case T30_ERR_TX_GOTDCN:
  case T30_ERR_TX_NODIS:
    return 20;
  case T30_ERR_TX_PHDDEAD:
    return 52;
  case T30_ERR_TX_INVALRSP:
  case T30_ERR_TX_BADPG:
    return 53;
  case T30_ERR_RX_NOCARRIER:
  case T30_ERR_RX_DCNDATA:
    return 90;
  case T30_ERR_RX_NOEOL:
    return 91;
  case T30_ERR_RX_NOFAX:
  case T30_ERR_RX_T2EXPFAX:
  case T30_ERR_RX_T2EXPMPS:
    return 73;
  case T30_ERR_RX_T2EXP:
  case T30_ERR_RX_DCNWHY:
  case T30_ERR_RX_GOTDCS:
    return 70;
  case T30_ERR_RX_INVALCMD:
    return 102;
  case T30_ERR_CALLDROPPED:
  case T30_ERR_FILEERROR:
  case T30_ERR_NOPAGE:
  case T30_ERR_BADTIFF:
    return tx ? 40 : 90;
  default:
    return tx ? 50 : 100;
  }
}

} // namespace tolvane::sim

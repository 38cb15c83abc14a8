#include "sipline/T38Ifp.h"

namespace tolvane::sipline {

std::optional<IfpPacket> parseIfp(const uint8_t* buf, size_t len, int version) {
  if (len < 1)
    return std::nullopt;
  IfpPacket p;
  const bool dataFieldPresent = buf[0] & 0x80;
  p.indicator = (buf[0] & 0x40) == 0;
  const bool extended = buf[0] & 0x20;
  size_t ptr = 1;
  if (extended) {
    // Types added after version 0 (V.8, V.34, V.33) carry an extension bit.
    if (len < 2 || version == 0)
      return std::nullopt;
    p.value = 16 + (((buf[0] << 2) & 0x3C) | ((buf[1] >> 6) & 0x3));
    ptr = 2;
  } else {
    p.value = (buf[0] >> 1) & 0x0F;
  }
  if (p.indicator) {
    if (dataFieldPresent || len != ptr)
      return std::nullopt;
    return p;
  }
  if (!dataFieldPresent)
    return len == ptr ? std::optional<IfpPacket>(p) : std::nullopt;
  if (ptr >= len)
    return std::nullopt;
  const size_t count = buf[ptr++];
  bool halfOctet = false; // version 0: a field without data takes four bits
  for (size_t i = 0; i < count; ++i) {
    if (ptr >= len)
      return std::nullopt;
    IfpField f;
    bool hasData = false;
    if (version == 0) {
      if (halfOctet) {
        hasData = (buf[ptr] >> 3) & 1;
        f.type = buf[ptr] & 0x7;
        ++ptr;
        halfOctet = false;
      } else {
        hasData = (buf[ptr] >> 7) & 1;
        f.type = (buf[ptr] >> 4) & 0x7;
        if (hasData)
          ++ptr;
        else
          halfOctet = true;
      }
    } else {
      hasData = (buf[ptr] >> 7) & 1;
      if (buf[ptr] & 0x40) {
        if (ptr + 2 > len)
          return std::nullopt;
        f.type = 8 + (((buf[ptr] << 2) & 0x3C) | ((buf[ptr + 1] >> 6) & 0x3));
        ptr += 2;
      } else {
        f.type = (buf[ptr++] >> 3) & 0x7;
      }
    }
    if (hasData) {
      if (ptr + 2 > len)
        return std::nullopt;
      f.length = static_cast<size_t>((buf[ptr] << 8) | buf[ptr + 1]) + 1;
      f.offset = ptr + 2;
      ptr += 2 + f.length;
      if (ptr > len)
        return std::nullopt;
    } else {
      f.offset = ptr;
    }
    p.fields.push_back(f);
  }
  // A packet may end in the middle of an octet (version 0), never later.
  if (ptr != len && !(version == 0 && halfOctet && ptr == len - 1))
    return std::nullopt;
  return p;
}

std::vector<uint8_t> encodeIfpData(int dataType, const std::vector<IfpFieldOut>& fields,
                                   int version) {
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(0x80 | 0x40 | ((dataType & 0x0F) << 1)));
  out.push_back(static_cast<uint8_t>(fields.size()));
  for (const IfpFieldOut& f : fields) {
    const bool hasData = !f.data.empty();
    // Version 0 puts a field type in four bits, after it the next field's;
    // spandsp and tshark read it so. As only the last field may lack
    // octets, that field's octet is never shared.
    if (version == 0)
      out.push_back(static_cast<uint8_t>((hasData ? 0x80 : 0) | ((f.type & 0x7) << 4)));
    else
      out.push_back(static_cast<uint8_t>((hasData ? 0x80 : 0) | ((f.type & 0x7) << 3)));
    if (hasData) {
      const size_t n = f.data.size() - 1;
      out.push_back(static_cast<uint8_t>(n >> 8));
      out.push_back(static_cast<uint8_t>(n & 0xFF));
      out.insert(out.end(), f.data.begin(), f.data.end());
    }
  }
  return out;
}

bool reverseNonEcmImageData(std::vector<uint8_t>& packet, int version) {
  auto p = parseIfp(packet.data(), packet.size(), version);
  if (!p || p->indicator)
    return false;
  bool changed = false;
  for (const IfpField& f : p->fields) {
    if ((f.type != kT4NonEcmData && f.type != kT4NonEcmSigEnd) || f.length == 0)
      continue;
    for (size_t i = f.offset; i < f.offset + f.length; ++i) {
      uint8_t b = packet[i];
      b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
      b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
      b = static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
      packet[i] = b;
    }
    changed = true;
  }
  return changed;
}

} // namespace tolvane::sipline

#include "sipline/Udptl.h"

namespace tolvane::sipline {
namespace {

// Aligned-PER length determinant (X.691 10.9): one octet below 128, two
// octets below 16384. Fragmented lengths never occur in a datagram.
class Reader {
public:
  Reader(const uint8_t* d, size_t n) : m_d(d), m_n(n) {}
  bool byte(uint8_t& v) {
    if (m_pos >= m_n)
      return false;
    v = m_d[m_pos++];
    return true;
  }
  bool length(size_t& len) {
    uint8_t a = 0, b = 0;
    if (!byte(a))
      return false;
    if ((a & 0x80) == 0) {
      len = a;
      return true;
    }
    if ((a & 0xC0) != 0x80 || !byte(b))
      return false;
    len = (static_cast<size_t>(a & 0x3F) << 8) | b;
    return true;
  }
  bool octets(Bytes& out) {
    size_t len = 0;
    if (!length(len) || len > m_n - m_pos)
      return false;
    out.assign(m_d + m_pos, m_d + m_pos + len);
    m_pos += len;
    return true;
  }
  bool atEnd() const { return m_pos == m_n; }

private:
  const uint8_t* m_d;
  size_t m_n;
  size_t m_pos = 0;
};

void putLength(Bytes& out, size_t len) {
  if (len < 0x80) {
    out.push_back(static_cast<uint8_t>(len));
  } else {
    out.push_back(static_cast<uint8_t>(0x80 | (len >> 8)));
    out.push_back(static_cast<uint8_t>(len & 0xFF));
  }
}

void putOctets(Bytes& out, const Bytes& b) {
  putLength(out, b.size());
  out.insert(out.end(), b.begin(), b.end());
}

size_t encodedSize(const Bytes& b) {
  return b.size() + (b.size() < 0x80 ? 1 : 2);
}

} // namespace

std::optional<UdptlPacket> parseUdptl(const uint8_t* data, size_t len) {
  Reader r(data, len);
  UdptlPacket p;
  uint8_t hi = 0, lo = 0, choice = 0;
  if (!r.byte(hi) || !r.byte(lo) || !r.octets(p.primary) || p.primary.empty() || !r.byte(choice))
    return std::nullopt;
  p.seq = static_cast<uint16_t>(hi << 8 | lo);
  if (choice == 0x00) {
    size_t count = 0;
    if (!r.length(count))
      return std::nullopt;
    for (size_t i = 0; i < count; ++i) {
      Bytes ifp;
      if (!r.octets(ifp) || ifp.empty())
        return std::nullopt;
      p.secondaries.push_back(std::move(ifp));
    }
  } else if (choice == 0x80) {
    // fec-info: fec-npackets, then a SEQUENCE OF OCTET STRING.
    size_t npackets = 0, entries = 0;
    if (!r.length(npackets) || !r.length(entries))
      return std::nullopt;
    for (size_t i = 0; i < entries; ++i) {
      Bytes fec;
      if (!r.octets(fec))
        return std::nullopt;
    }
    p.fec = true;
  } else {
    return std::nullopt;
  }
  if (!r.atEnd())
    return std::nullopt;
  return p;
}

Bytes encodeUdptl(const UdptlPacket& p) {
  Bytes out{static_cast<uint8_t>(p.seq >> 8), static_cast<uint8_t>(p.seq & 0xFF)};
  putOctets(out, p.primary);
  out.push_back(0x00); // secondary-ifp-packets
  putLength(out, p.secondaries.size());
  for (const Bytes& s : p.secondaries)
    putOctets(out, s);
  return out;
}

Bytes UdptlSender::next(const uint8_t* ifp, size_t len) {
  UdptlPacket p;
  p.seq = m_seq++;
  p.primary.assign(ifp, ifp + len);
  // Header: sequence number, choice octet and the count of secondaries.
  size_t size = 2 + encodedSize(p.primary) + 2;
  for (const Bytes& old : m_history) {
    if (size + encodedSize(old) > m_maxDatagram)
      break;
    size += encodedSize(old);
    p.secondaries.push_back(old);
  }
  m_history.push_front(p.primary);
  if (m_history.size() > static_cast<size_t>(m_redundancy))
    m_history.pop_back();
  return encodeUdptl(p);
}

bool UdptlReceiver::datagram(const uint8_t* data, size_t len) {
  auto p = parseUdptl(data, len);
  if (!p)
    return false;
  if (m_started) {
    auto ahead = static_cast<uint16_t>(p->seq - m_next);
    if (ahead >= 0x10000 - kWindow)
      return true; // a repeat, or a little older than what was delivered
    if (ahead < kWindow) {
      // Fill the gap from the secondaries, oldest first.
      for (uint16_t back = ahead; back >= 1; --back) {
        auto seq = static_cast<uint16_t>(p->seq - back);
        if (back <= p->secondaries.size()) {
          const Bytes& s = p->secondaries[back - 1];
          m_deliver(s.data(), s.size(), seq);
          ++m_recovered;
        } else {
          ++m_lost;
        }
      }
    }
    // Further away either way: the far end started a new stream; take it
    // from here.
  }
  m_started = true;
  m_next = static_cast<uint16_t>(p->seq + 1);
  m_deliver(p->primary.data(), p->primary.size(), p->seq);
  return true;
}

} // namespace tolvane::sipline

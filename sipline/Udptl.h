#pragma once
// UDPTL, the UDP transport of T.38 IFP packets (T.38 clause 9.1): the
// packet layout in ASN.1 aligned PER, a sender that repeats the previous
// IFP packets as secondaries (redundancy error recovery), and a receiver that
// puts lost packets back from the secondaries of later ones.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace tolvane::sipline {

using Bytes = std::vector<uint8_t>;

struct UdptlPacket {
  uint16_t seq = 0;
  Bytes primary;
  // Secondary IFP packets, the most recent first (seq - 1, seq - 2, ...).
  std::vector<Bytes> secondaries;
  // Forward error correction instead of secondaries: accepted and ignored.
  bool fec = false;
};

// Returns nothing for a datagram that is not one well-formed UDPTL packet.
std::optional<UdptlPacket> parseUdptl(const uint8_t* data, size_t len);
// Encodes a packet; IFP packets must be shorter than 16384 bytes.
Bytes encodeUdptl(const UdptlPacket& packet);

class UdptlSender {
public:
  // redundancy: how many earlier IFP packets each datagram repeats, as far
  // as they fit within maxDatagram bytes.
  UdptlSender(int redundancy, size_t maxDatagram)
      : m_redundancy(redundancy), m_maxDatagram(maxDatagram) {}
  void setMaxDatagram(size_t bytes) { m_maxDatagram = bytes; }
  // The datagram that carries this IFP packet next.
  Bytes next(const uint8_t* ifp, size_t len);
  uint16_t nextSeq() const { return m_seq; }

private:
  int m_redundancy;
  size_t m_maxDatagram;
  uint16_t m_seq = 0;
  std::deque<Bytes> m_history; // most recent first
};

class UdptlReceiver {
public:
  using Deliver = std::function<void(const uint8_t* ifp, size_t len, uint16_t seq)>;
  explicit UdptlReceiver(Deliver deliver) : m_deliver(std::move(deliver)) {}
  // Passes on the IFP packets this datagram brings that were not seen yet,
  // in sequence order; repeats and stale packets are dropped. Returns false
  // for a datagram that is no UDPTL packet.
  bool datagram(const uint8_t* data, size_t len);
  // IFP packets that neither arrived nor could be recovered.
  long lost() const { return m_lost; }
  long recovered() const { return m_recovered; }

private:
  // Sequence numbers this close behind are late or repeated packets, this
  // close ahead a gap to fill; anything further is a new stream.
  static constexpr uint16_t kWindow = 256;
  Deliver m_deliver;
  bool m_started = false;
  uint16_t m_next = 0;
  long m_lost = 0;
  long m_recovered = 0;
};

} // namespace tolvane::sipline

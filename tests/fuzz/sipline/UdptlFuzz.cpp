// Fuzzes the UDPTL reader with arbitrary datagrams: a packet it accepts
// must encode back to the same packet, and a receiver fed the datagrams in
// turn must never deliver a sequence number again, or one a little older
// than the last it delivered (a far jump is a new stream and allowed).

#include "sipline/Udptl.h"

#include <cstdlib>

using namespace tolvane::sipline;

int fuzzUdptl(const uint8_t* data, size_t size) {
  if (auto p = parseUdptl(data, size); p && !p->fec) {
    // Short length forms are the only ones the encoder writes; a datagram
    // using a long form for a short length reads fine and is not compared.
    Bytes again = encodeUdptl(*p);
    auto q = parseUdptl(again.data(), again.size());
    if (!q || q->seq != p->seq || q->primary != p->primary || q->secondaries != p->secondaries)
      std::abort();
  }
  bool started = false;
  uint16_t last = 0;
  UdptlReceiver receiver([&](const uint8_t*, size_t len, uint16_t seq) {
    if (len == 0 || (started && static_cast<uint16_t>(last - seq) < 0x100))
      std::abort();
    started = true;
    last = seq;
  });
  // The input as a run of datagrams, each led by its length octet.
  size_t i = 0;
  while (i < size) {
    size_t n = data[i++];
    if (n > size - i)
      n = size - i;
    receiver.datagram(data + i, n);
    i += n;
  }
  return 0;
}

#ifndef TOLVANE_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzUdptl(data, size);
}
#endif

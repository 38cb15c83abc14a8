// Fuzzes the UDPTL reader with arbitrary datagrams: a packet it accepts
// must encode back to the same packet, and a receiver fed the datagrams in
// turn must never deliver a sequence number again, or one a little older
// than the last it delivered (a far jump is a new stream and allowed).
// The same datagrams then reach spandsp's T.31 modem through the SIP modem's
// media line, as a far end's T.38 stream does in a call.

#include "sim/AtParser.h"
#include "sipline/MediaLine.h"
#include "sipline/Udptl.h"

#include <cstdlib>

using namespace tolvane;
using namespace tolvane::sipline;

namespace {

// The input from `from` on as a run of datagrams, each led by its length
// octet.
template <typename Datagram>
void forEachDatagram(const uint8_t* data, size_t size, size_t from, Datagram datagram) {
  size_t i = from;
  while (i < size) {
    size_t n = data[i++];
    if (n > size - i)
      n = size - i;
    datagram(data + i, n);
    i += n;
  }
}

// The first octet picks the T.38 version and what the modem's DTE is doing:
// nothing (frames are queued), waiting for the far end's frames after
// dialling, sending its own after answering, or waiting for page data
// (error correction frames reach it as a bit stream).
void intoModem(const uint8_t* data, size_t size) {
  if (size == 0)
    return;
  MediaLine* line = nullptr;
  sim::Class1Engine engine(
      [](const uint8_t*, size_t) {}, [](const std::string&) {}, [] {}, [] {},
      [&](const uint8_t* ifp, int len, int count) { line->sendIfp(ifp, len, count); });
  MediaLine media(engine, "127.0.0.1");
  line = &media;
  engine.selectClass("1");
  T38Attributes t38;
  t38.version = data[0] & 0x80 ? 2 : 0;
  media.useT38("127.0.0.1", 0, t38); // port 0: nothing is sent
  switch (data[0] % 4) {
  case 1:
    engine.command(sim::AtCommand{"D", "T502"});
    engine.callEvent(sim::CallEvent::Connected);
    break;
  case 2:
    engine.command(sim::AtCommand{"A", ""});
    engine.callEvent(sim::CallEvent::Answered);
    break;
  case 3:
    engine.command(sim::AtCommand{"D", "T502"});
    engine.callEvent(sim::CallEvent::Connected);
    engine.escape();
    engine.command(sim::AtCommand{"+FRM", "=146"});
    break;
  default:
    break;
  }
  forEachDatagram(data, size, 1, [&](const uint8_t* d, size_t n) {
    media.datagramIn(d, n);
    media.tick();
  });
}

} // namespace

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
  forEachDatagram(data, size, 0, [&](const uint8_t* d, size_t n) { receiver.datagram(d, n); });
  intoModem(data, size);
  return 0;
}

#ifndef TOLVANE_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzUdptl(data, size);
}
#endif

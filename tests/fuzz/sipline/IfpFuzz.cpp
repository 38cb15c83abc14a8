// Fuzzes the T.38 IFP reader in both encodings (version 0 and later): every
// field it reports lies within the packet, and the bit-order repair of
// non-ECM image data changes only those fields' octets. The error
// correction bridge takes the input as a packet from the line and as a
// DTE's page bit stream: what it makes must be packets the reader takes,
// with frames no longer than error correction allows.

#include "sipline/T38EcmBridge.h"
#include "sipline/T38Ifp.h"

#include <cstdlib>
#include <vector>

using namespace tolvane::sipline;

namespace {

void throughBridge(const uint8_t* data, size_t size, int version) {
  T38EcmBridge bridge(version);
  if (auto out = bridge.fromLine(data, size, 0)) {
    auto p = parseIfp(out->data(), out->size(), version);
    if (!p || p->indicator || p->fields.size() != 1 ||
        (p->fields[0].type != kT4NonEcmData && p->fields[0].type != kT4NonEcmSigEnd))
      std::abort();
  }
  // A DCS asking for error correction, the training check, then the input
  // as the page burst a DTE sends at 14400 bit/s.
  size_t frameOctets = 0;
  auto check = [&](const uint8_t* ifp, size_t len, int) {
    auto p = parseIfp(ifp, len, version);
    if (!p)
      std::abort();
    for (const IfpField& f : p->fields) {
      frameOctets = f.type == kHdlcData ? frameOctets + f.length : 0;
      if (frameOctets > T38EcmBridge::kMaxFrame)
        std::abort();
    }
  };
  auto send = [&](int type, std::vector<uint8_t> octets) {
    auto packet = encodeIfpData(type, {{kT4NonEcmSigEnd, std::move(octets)}}, version);
    bridge.toLine(packet.data(), packet.size(), 1, check);
  };
  const std::vector<uint8_t> dcs{0xFF, 0xC8, 0xC1, 0x00, 0x62, 0x1E, 0x22};
  auto packet = encodeIfpData(0, {{kHdlcData, dcs}, {kHdlcFcsOk, {}}}, version);
  bridge.toLine(packet.data(), packet.size(), 1, check);
  if (!bridge.ecmAgreed())
    std::abort();
  send(8, std::vector<uint8_t>(100, 0));
  const uint8_t training = 15 << 1;
  bridge.toLine(&training, 1, 1, check);
  send(8, std::vector<uint8_t>(data, data + size));
}

} // namespace

int fuzzIfp(const uint8_t* data, size_t size) {
  for (int version : {0, 2}) {
    auto p = parseIfp(data, size, version);
    if (!p)
      continue;
    std::vector<bool> image(size, false);
    for (const IfpField& f : p->fields) {
      if (f.offset > size || f.length > size - f.offset)
        std::abort();
      if (f.type == kT4NonEcmData || f.type == kT4NonEcmSigEnd)
        for (size_t i = f.offset; i < f.offset + f.length; ++i)
          image[i] = true;
    }
    std::vector<uint8_t> copy(data, data + size);
    reverseNonEcmImageData(copy, version);
    for (size_t i = 0; i < size; ++i)
      if (!image[i] && copy[i] != data[i])
        std::abort();
    // Reversing twice gives the packet back.
    reverseNonEcmImageData(copy, version);
    if (copy != std::vector<uint8_t>(data, data + size))
      std::abort();
  }
  for (int version : {0, 2})
    throughBridge(data, size, version);
  return 0;
}

#ifndef TOLVANE_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzIfp(data, size);
}
#endif

// Drives the Class 1 send and receive machines with arbitrary modem bytes
// through a real port on a pseudo-terminal, and runs the same bytes through
// the T.30 frame intake and field readers. The first byte picks direction and
// options; the rest is split at 0xFE bytes (0xFF starts frames) into pieces
// the "modem" sends, each followed by the notification named by the byte
// after the 0xFE (input, timeout, output space, output used, abort).

#include "faxengine/T30Frames.h"
#include "tests/fuzz/faxengine/MachineFuzzRig.h"

#include <cstdint>
#include <string>

using namespace faxengine;

namespace {

constexpr uint8_t kSplit = 0xFE;

void Frames(const uint8_t* data, size_t size) {
  t30::FrameReader reader;
  for (size_t i = 0; i < size; ++i) {
    if (reader.Put(data[i]) != t30::FrameReader::Result::Done)
      continue;
    t30::Frame f;
    if (!reader.Take(f))
      continue;
    t30::ReadDis(f.fif.data(), f.fif.size());
    t30::ReadDcs(f.fif.data(), f.fif.size());
    t30::ReadIdent(f.fif.data(), f.fif.size());
    t30::BuildFrame(f.fcf, f.fif, f.final);
  }
  t30::ParseModulations(std::string(reinterpret_cast<const char*>(data), size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static faxfuzz::MachineFuzzRig rig("/tmp/tolvane-c1fuzz-XXXXXX", 16384);
  if (size < 1)
    return 0;
  Frames(data, size);
  const uint8_t mode = data[0];
  const bool sending = mode & 1;
  FaxRecord rec;
  ProtocolRecord proto;
  rec.faxClass = fcClass1;
  rec.exitOnError = (mode & 4) != 0;
  rec.softwareFlow = (mode & 8) != 0;
  rec.oneFax = true;
  rec.stationID = "FUZZ \x01\x7F";
  proto.desiredBPS = (mode & 16) ? 14400 : 9600;
  proto.class1CapsAnswer = (mode & 32) ? "24,48,72,96,121,145" : "24,48";
  faxfuzz::UseUnallocatedTriggers(rec);
  faxfuzz::OneFaxSink sink(rec, rig);
  {
    FaxSession session(rig.port, rec, proto, sink, sending);
    auto machine = sending ? MakeClass1SendMachine(session) : MakeClass1ReceiveMachine(session);
    rig.Drive(*machine, rec, data, size, kSplit);
  }
  rig.Reset();
  return 0;
}

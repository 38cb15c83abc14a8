// Drives the Class 2 / 2.0 send and receive machines with arbitrary modem
// bytes through a real port on a pseudo-terminal. The input's first byte
// picks direction, dialect and options; the rest is split at 0xFF bytes into
// pieces the "modem" sends, each followed by the notification named by the
// byte after the 0xFF (input, timeout, output space, output used, abort).

#include "tests/fuzz/faxengine/MachineFuzzRig.h"

#include <cstdint>
#include <string>

using namespace faxengine;

namespace {

faxfuzz::MachineFuzzRig& TheRig() {
  static faxfuzz::MachineFuzzRig rig("/tmp/tolvane-faxfuzz-XXXXXX", 8192);
  return rig;
}

} // namespace

// The folder where the machines' files land (for the replay test).
std::string FaxFuzzWorkDir() {
  return TheRig().dir;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  faxfuzz::MachineFuzzRig& rig = TheRig();
  if (size < 1)
    return 0;
  const uint8_t mode = data[0];
  const bool sending = mode & 1;
  FaxRecord rec;
  ProtocolRecord proto;
  rec.faxClass = (mode & 2) ? fcClass2_0 : fcClass2;
  rec.exitOnError = (mode & 4) != 0;
  rec.headerLine = (mode & 8) ? "$D $T Page $P of $N $I" : "";
  rec.dialAttempts = (mode & 16) ? 0 : 2;
  proto.dialect = MakeDialect(rec.faxClass);
  faxfuzz::UseUnallocatedTriggers(rec);
  faxfuzz::OneFaxSink sink(rec, rig, (mode & 32) ? rig.dir + "/missing-cover.txt" : rig.apf);
  {
    FaxSession session(rig.port, rec, proto, sink, sending);
    auto machine = sending ? MakeClass2SendMachine(session) : MakeClass2ReceiveMachine(session);
    rig.Drive(*machine, rec, data, size, 0xFF);
  }
  rig.Reset();
  return 0;
}

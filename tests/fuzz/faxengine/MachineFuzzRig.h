#pragma once
// What the fax machine fuzz targets share: a real port on a pseudo-terminal
// whose other end plays the modem, a folder with a small plain page to send,
// an event sink that hands out one fax, and the driving of a machine with
// the input split into pieces the "modem" sends, each followed by the
// notification named by the byte after the split byte (input, timeout,
// output space, output used, abort).

#include "faxengine/FaxSession.h"
#include "platform/MainThreadDispatcher.h"
#include "serial/ComPort.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace faxfuzz {

struct MachineFuzzRig {
  // `dirPattern` is a mkdtemp pattern; `outSize` the port's output buffer.
  MachineFuzzRig(const char* dirPattern, int outSize);

  // Discards what the machine sent to the "modem".
  void Drain();
  // Writes the piece and waits until the port has it.
  void Feed(const uint8_t* data, size_t size);
  // Runs the machine over data[1..size) split at `split`, and aborts it if
  // it is still running at the end.
  void Drive(faxengine::FaxMachine& machine, const faxengine::FaxRecord& rec, const uint8_t* data,
             size_t size, uint8_t split);
  // After the session is gone: runs its posted events and empties the port.
  void Reset();

  int master = -1;
  serial::ComPort port;
  platform::PlainEventLoop loop;
  std::string dir, apf;
};

// Handles of triggers that were never allocated: arming them fails, which
// the machines must survive; the numbers only tell notifications apart.
void UseUnallocatedTriggers(faxengine::FaxRecord& rec);

// Hands out one fax (the rig's page, to a fixed number) and names the
// received file; `coverFile`, when given, goes with the fax.
class OneFaxSink : public faxengine::FaxEventSink {
public:
  OneFaxSink(faxengine::FaxRecord& rec, const MachineFuzzRig& rig, std::string coverFile = {})
      : m_rec(rec), m_rig(rig), m_cover(std::move(coverFile)) {}
  void FaxStatusEvent(bool, bool) override {}
  void FaxLogEvent(int) override {}
  void FaxErrorEvent(int) override {}
  void FaxFinishEvent(int) override {}
  bool FaxNextEvent() override;
  void FaxNameEvent() override { m_rec.faxFile = m_rig.dir + "/received.apf"; }

private:
  faxengine::FaxRecord& m_rec;
  const MachineFuzzRig& m_rig;
  std::string m_cover;
  bool m_given = false;
};

} // namespace faxfuzz

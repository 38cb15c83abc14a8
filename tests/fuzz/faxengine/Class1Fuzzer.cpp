// Drives the Class 1 send and receive machines with arbitrary modem bytes
// through a real port on a pseudo-terminal, and runs the same bytes through
// the T.30 frame intake and field readers. The first byte picks direction and
// options; the rest is split at 0xFE bytes (0xFF starts frames) into pieces
// the "modem" sends, each followed by the notification named by the byte
// after the 0xFE (input, timeout, output space, output used, abort).

#include "faxengine/FaxPageSender.h"
#include "faxengine/FaxSession.h"
#include "faxengine/T30Frames.h"
#include "platform/MainThreadDispatcher.h"
#include "serial/ComPort.h"
#include "serial/ComTypes.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace faxengine;

namespace {

constexpr uint8_t kSplit = 0xFE;

struct Rig {
  int master = -1;
  serial::ComPort port;
  platform::PlainEventLoop loop;
  std::string dir, apf;

  Rig() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    termios t{};
    tcgetattr(master, &t);
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);
    fcntl(master, F_SETFL, O_NONBLOCK);
    serial::PortConfig cfg;
    cfg.devicePath = ptsname(master);
    cfg.inSize = 8192;
    cfg.outSize = 16384;
    if (port.open(cfg) < 0)
      std::abort();
    platform::setMainThreadDispatcher(&loop);
    FaxSession::EnableDelays(false);
    char name[] = "/tmp/tolvane-c1fuzz-XXXXXX";
    dir = mkdtemp(name);
    apf = dir + "/send.apf";
    ReceivedFile f;
    f.Create(apf, "FUZZ");
    f.StartPage(false, false);
    const uint8_t rows[] = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00, 0x10, 0x10, 0x00, 0x80};
    f.Put(rows, sizeof rows, false);
    f.FinishPage("FUZZ");
    f.Close();
  }
  void Drain() {
    uint8_t buf[4096];
    while (read(master, buf, sizeof buf) > 0) {
    }
  }
  void Feed(const uint8_t* data, size_t size) {
    port.discardInput();
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(master, data + done, size - done);
      if (n <= 0)
        break;
      done += size_t(n);
    }
    for (int i = 0; i < 200 && port.inputCount() < int(done); ++i)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
};

class Sink : public FaxEventSink {
public:
  Sink(FaxRecord& rec, const Rig& rig) : m_rec(rec), m_rig(rig) {}
  void FaxStatusEvent(bool, bool) override {}
  void FaxLogEvent(int) override {}
  void FaxErrorEvent(int) override {}
  void FaxFinishEvent(int) override {}
  bool FaxNextEvent() override {
    if (m_given)
      return false;
    m_given = true;
    m_rec.phoneNumber = "5551234";
    m_rec.faxFile = m_rig.apf;
    return true;
  }
  void FaxNameEvent() override { m_rec.faxFile = m_rig.dir + "/received.apf"; }

private:
  FaxRecord& m_rec;
  const Rig& m_rig;
  bool m_given = false;
};

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
  static Rig rig;
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
  rec.timeoutTrigger = 30;
  rec.statusTrigger = 31;
  rec.outSpaceTrigger = 32;
  rec.outUsedTrigger = 33;
  rec.modemTrigger = 34;
  Sink sink(rec, rig);
  {
    FaxSession session(rig.port, rec, proto, sink, sending);
    auto machine = sending ? MakeClass1SendMachine(session) : MakeClass1ReceiveMachine(session);
    machine->Handle(0, 0, 0);
    size_t i = 1;
    while (i < size && !machine->Done()) {
      size_t end = i;
      while (end < size && data[end] != kSplit)
        ++end;
      rig.Feed(data + i, end - i);
      const uint8_t what = end + 1 < size ? data[end + 1] % 5 : 0;
      i = end + 2;
      if (what == 0)
        machine->Handle(TriggerAvailMsg, rig.port.inputCount(), 0);
      else if (what == 1)
        machine->Handle(TriggerTimerMsg, rec.timeoutTrigger, 0);
      else if (what == 2)
        machine->Handle(TriggerStatusMsg, rec.outSpaceTrigger, 0);
      else if (what == 3)
        machine->Handle(TriggerStatusMsg, rec.outUsedTrigger, 0);
      else
        machine->Handle(kFaxAbortMsg, 0, 0);
      rig.Drain();
    }
    if (!machine->Done())
      machine->Handle(kFaxAbortMsg, 0, 0);
  }
  rig.loop.processPending();
  rig.port.discardInput();
  rig.port.discardOutput();
  rig.Drain();
  return 0;
}

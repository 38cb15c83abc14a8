// Drives the Class 2 / 2.0 send and receive machines with arbitrary modem
// bytes through a real port on a pseudo-terminal. The input's first byte
// picks direction, dialect and options; the rest is split at 0xFF bytes into
// pieces the "modem" sends, each followed by the notification named by the
// byte after the 0xFF (input, timeout, output space, output used, abort).

#include "faxengine/FaxPageSender.h"
#include "faxengine/FaxSession.h"
#include "platform/MainThreadDispatcher.h"
#include "serial/ComPort.h"
#include "serial/ComTypes.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace faxengine;

namespace {

struct Rig {
  int master = -1;
  serial::ComPort port;
  platform::PlainEventLoop loop;
  std::string dir;
  std::string apf;

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
    cfg.outSize = 8192;
    if (port.open(cfg) < 0)
      std::abort();
    platform::setMainThreadDispatcher(&loop);
    FaxSession::EnableDelays(false);
    char name[] = "/tmp/tolvane-faxfuzz-XXXXXX";
    dir = mkdtemp(name);
    apf = dir + "/send.apf";
    ReceivedFile f; // a small plain page to send
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

  // Writes the piece and waits until the port has it.
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
  Sink(FaxRecord& rec, const Rig& rig, bool textCover)
      : m_rec(rec), m_rig(rig), m_text(textCover) {}
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
    m_rec.coverFile = m_text ? m_rig.dir + "/missing-cover.txt" : m_rig.apf;
    return true;
  }
  void FaxNameEvent() override { m_rec.faxFile = m_rig.dir + "/received.apf"; }
  bool FaxAcceptEvent() override { return true; }

private:
  FaxRecord& m_rec;
  const Rig& m_rig;
  bool m_text;
  bool m_given = false;
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

} // namespace

// The folder where the machines' files land (for the replay test).
std::string FaxFuzzWorkDir() {
  return TheRig().dir;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Rig& rig = TheRig();
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
  // Handles of triggers that were never allocated: arming them fails, which
  // the machines must survive; the numbers only tell notifications apart.
  rec.timeoutTrigger = 30;
  rec.statusTrigger = 31;
  rec.outSpaceTrigger = 32;
  rec.outUsedTrigger = 33;
  rec.modemTrigger = 34;
  Sink sink(rec, rig, (mode & 32) != 0);
  {
    FaxSession session(rig.port, rec, proto, sink, sending);
    auto machine = sending ? MakeClass2SendMachine(session) : MakeClass2ReceiveMachine(session);
    machine->Handle(0, 0, 0);
    size_t i = 1;
    while (i < size && !machine->Done()) {
      size_t end = i;
      while (end < size && data[end] != 0xFF)
        ++end;
      rig.Feed(data + i, end - i);
      const uint8_t what = end + 1 < size ? data[end + 1] % 5 : 0;
      i = end + 2;
      switch (what) {
      case 0:
        machine->Handle(TriggerAvailMsg, rig.port.inputCount(), 0);
        break;
      case 1:
        machine->Handle(TriggerTimerMsg, rec.timeoutTrigger, 0);
        break;
      case 2:
        machine->Handle(TriggerStatusMsg, rec.outSpaceTrigger, 0);
        break;
      case 3:
        machine->Handle(TriggerStatusMsg, rec.outUsedTrigger, 0);
        break;
      default:
        machine->Handle(kFaxAbortMsg, 0, 0);
        break;
      }
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

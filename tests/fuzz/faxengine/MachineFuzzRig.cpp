#include "tests/fuzz/faxengine/MachineFuzzRig.h"

#include "faxengine/ReceivedFile.h"
#include "serial/ComTypes.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace faxengine;

namespace faxfuzz {

MachineFuzzRig::MachineFuzzRig(const char* dirPattern, int outSize) {
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
  cfg.outSize = outSize;
  if (port.open(cfg) < 0)
    std::abort();
  platform::setMainThreadDispatcher(&loop);
  FaxSession::EnableDelays(false);
  std::string pattern = dirPattern;
  dir = mkdtemp(pattern.data());
  apf = dir + "/send.apf";
  ReceivedFile f; // a small plain page to send
  f.Create(apf, "FUZZ");
  f.StartPage(false, false);
  const uint8_t rows[] = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00, 0x10, 0x10, 0x00, 0x80};
  f.Put(rows, sizeof rows, false);
  f.FinishPage("FUZZ");
  f.Close();
}

void MachineFuzzRig::Drain() {
  uint8_t buf[4096];
  while (read(master, buf, sizeof buf) > 0) {
  }
}

void MachineFuzzRig::Feed(const uint8_t* data, size_t size) {
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

void MachineFuzzRig::Drive(FaxMachine& machine, const FaxRecord& rec, const uint8_t* data,
                           size_t size, uint8_t split) {
  machine.Handle(0, 0, 0);
  size_t i = 1;
  while (i < size && !machine.Done()) {
    size_t end = i;
    while (end < size && data[end] != split)
      ++end;
    Feed(data + i, end - i);
    const uint8_t what = end + 1 < size ? data[end + 1] % 5 : 0;
    i = end + 2;
    switch (what) {
    case 0:
      machine.Handle(TriggerAvailMsg, port.inputCount(), 0);
      break;
    case 1:
      machine.Handle(TriggerTimerMsg, rec.timeoutTrigger, 0);
      break;
    case 2:
      machine.Handle(TriggerStatusMsg, rec.outSpaceTrigger, 0);
      break;
    case 3:
      machine.Handle(TriggerStatusMsg, rec.outUsedTrigger, 0);
      break;
    default:
      machine.Handle(kFaxAbortMsg, 0, 0);
      break;
    }
    Drain();
  }
  if (!machine.Done())
    machine.Handle(kFaxAbortMsg, 0, 0);
}

void MachineFuzzRig::Reset() {
  loop.processPending();
  port.discardInput();
  port.discardOutput();
  Drain();
}

void UseUnallocatedTriggers(FaxRecord& rec) {
  rec.timeoutTrigger = 30;
  rec.statusTrigger = 31;
  rec.outSpaceTrigger = 32;
  rec.outUsedTrigger = 33;
  rec.modemTrigger = 34;
}

bool OneFaxSink::FaxNextEvent() {
  if (m_given)
    return false;
  m_given = true;
  m_rec.phoneNumber = "5551234";
  m_rec.faxFile = m_rig.apf;
  if (!m_cover.empty())
    m_rec.coverFile = m_cover;
  return true;
}

} // namespace faxfuzz

// Trigger delivery over a real pseudo-terminal: avail, time and state
// triggers, the hold flag, handler removal, and window handlers on the main
// thread.

#include "tests/serial/PortTestSupport.h"

#include "platform/MainThreadDispatcher.h"
#include "platform/TickClock.h"

#include <mutex>

using testsupport::eventually;

namespace {

struct Delivery {
  uint32_t msg;
  uint32_t wParam;
  int32_t lParam;
  uint32_t tick;
};

// Records every trigger a procedure handler receives.
class Recorder {
public:
  TriggerProc proc() {
    return [this](uint32_t msg, uint32_t w, int32_t l) {
      std::lock_guard lock(m_mutex);
      m_list.push_back({msg, w, l, platform::tickCount()});
    };
  }
  std::vector<Delivery> of(uint32_t msg) {
    std::lock_guard lock(m_mutex);
    std::vector<Delivery> out;
    for (auto& d : m_list)
      if (d.msg == msg)
        out.push_back(d);
    return out;
  }

private:
  std::mutex m_mutex;
  std::vector<Delivery> m_list;
};

class ComPortTriggers : public testsupport::PortTest {};

void quiet(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST_F(ComPortTriggers, AvailFiresOncePerArrival) {
  port.SetOpen(true);
  Recorder rec;
  port.AddTriggerHandler(rec.proc());
  pty.write("hello");
  ASSERT_TRUE(eventually([&] { return !rec.of(TriggerAvailMsg).empty(); }));
  quiet(200);
  auto avail = rec.of(TriggerAvailMsg);
  ASSERT_EQ(avail.size(), 1u);
  EXPECT_EQ(avail[0].wParam, 5u);
  EXPECT_EQ(avail[0].lParam, port.PortHandle() << 16);
  pty.write("world"); // unread input grows: a second notice with the whole count
  ASSERT_TRUE(eventually([&] { return rec.of(TriggerAvailMsg).size() == 2; }));
  EXPECT_EQ(rec.of(TriggerAvailMsg)[1].wParam, 10u);
  // A threshold above what is waiting holds the notice back until it is reached.
  port.SetTriggerLength(14);
  pty.write("ab");
  quiet(150);
  EXPECT_EQ(rec.of(TriggerAvailMsg).size(), 2u);
  pty.write("cd");
  ASSERT_TRUE(eventually([&] { return rec.of(TriggerAvailMsg).size() == 3; }));
  EXPECT_EQ(rec.of(TriggerAvailMsg)[2].wParam, 14u);
  port.DropTrigger(1); // handle 1 is the avail trigger: threshold 0 turns it off
  EXPECT_EQ(port.TriggerLength(), 0);
  pty.write("more");
  quiet(150);
  EXPECT_EQ(rec.of(TriggerAvailMsg).size(), 3u);
}

TEST_F(ComPortTriggers, TimeTriggersExpireWithinOneTickOfTheirCount) {
  port.SetOpen(true);
  Recorder rec;
  port.AddTriggerHandler(rec.proc());
  const int counts[] = {2, 5, 9};
  int handles[3];
  for (int i = 0; i < 3; ++i)
    handles[i] = port.AddTimeTrigger();
  // A busy machine can delay a thread by more than a tick now and then, so
  // a round whose timing is off is tried again (at most three rounds).
  bool onTime = false;
  for (int round = 0; round < 3 && !onTime; ++round) {
    const size_t before = rec.of(TriggerTimerMsg).size();
    const uint32_t armedAt = platform::tickCount();
    for (int i = 0; i < 3; ++i)
      port.ArmTimeTrigger(handles[i], counts[i], true);
    ASSERT_TRUE(eventually([&] { return rec.of(TriggerTimerMsg).size() == before + 3; }));
    quiet(100);
    auto fired = rec.of(TriggerTimerMsg);
    ASSERT_EQ(fired.size(), before + 3); // each fires once
    onTime = true;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(fired[before + i].wParam, static_cast<uint32_t>(handles[i]));
      const uint32_t ticks = fired[before + i].tick - armedAt;
      EXPECT_GE(ticks, static_cast<uint32_t>(counts[i])); // never early
      onTime &= ticks <= static_cast<uint32_t>(counts[i] + 1);
    }
  }
  EXPECT_TRUE(onTime);
  // 0 ticks re-arms with the last count; disabling stops a countdown.
  const size_t before = rec.of(TriggerTimerMsg).size();
  port.ArmTimeTrigger(handles[0], 0, true);
  port.ArmTimeTrigger(handles[1], 1, true);
  port.ArmTimeTrigger(handles[1], 0, false);
  ASSERT_TRUE(eventually([&] { return rec.of(TriggerTimerMsg).size() == before + 1; }));
  quiet(150);
  ASSERT_EQ(rec.of(TriggerTimerMsg).size(), before + 1);
  EXPECT_EQ(rec.of(TriggerTimerMsg)[before].wParam, static_cast<uint32_t>(handles[0]));
}

TEST_F(ComPortTriggers, OutputStateTriggersFireAtTheirLevels) {
  port.SetOpen(true);
  Recorder rec;
  port.AddTriggerHandler(rec.proc());
  // Fill the kernel's buffer while the far end reads nothing, until the
  // ring itself has stayed full for a while.
  std::vector<uint8_t> block(1024, 'z');
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  auto lastRoom = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - lastRoom < std::chrono::milliseconds(300) &&
         std::chrono::steady_clock::now() < end) {
    if (port.OutputSpace() >= block.size()) {
      port.SendBlock(block.data(), block.size());
      lastRoom = std::chrono::steady_clock::now();
    } else {
      quiet(5);
    }
  }
  ASSERT_GE(port.OutputCount(), 6000);
  const int freeH = port.AddStateTrigger(stOutbuffFree);
  const int usedH = port.AddStateTrigger(stOutbuffUsed);
  const int sentH = port.AddStateTrigger(stOutSent);
  port.ArmStateTrigger(freeH, 8000, true);
  port.ArmStateTrigger(usedH, 100, true);
  port.ArmStateTrigger(sentH, 0, true);
  quiet(150);
  for (const Delivery& d : rec.of(TriggerStatusMsg))
    ADD_FAILURE() << "fired early: " << d.wParam << " data " << (d.lParam & 0xFFFF) << " count "
                  << port.OutputCount(); // nothing drains yet
  std::thread far([&] {
    while (pty.readFor(300).size()) {
    }
  });
  ASSERT_TRUE(eventually([&] { return rec.of(TriggerStatusMsg).size() == 3; }, 10000));
  far.join();
  for (const Delivery& d : rec.of(TriggerStatusMsg)) {
    const uint16_t data = static_cast<uint16_t>(d.lParam & 0xFFFF);
    if (d.wParam == static_cast<uint32_t>(freeH))
      EXPECT_GE(data, 8000);
    else if (d.wParam == static_cast<uint32_t>(usedH))
      EXPECT_LE(data, 100);
    else
      EXPECT_EQ(d.wParam, static_cast<uint32_t>(sentH));
  }
  quiet(100);
  EXPECT_EQ(rec.of(TriggerStatusMsg).size(), 3u); // each fired once, then disarmed
}

TEST_F(ComPortTriggers, HoldDispatchSuppressesDelivery) {
  port.SetOpen(true);
  Recorder rec;
  port.AddTriggerHandler(rec.proc());
  EXPECT_FALSE(port.HoldDispatch(true));
  const int t = port.AddTimeTrigger();
  port.ArmTimeTrigger(t, 1, true);
  pty.write("x");
  quiet(250);
  EXPECT_TRUE(rec.of(TriggerAvailMsg).empty());
  EXPECT_TRUE(rec.of(TriggerTimerMsg).empty());
  EXPECT_TRUE(port.HoldDispatch(false));
  ASSERT_TRUE(eventually(
      [&] { return rec.of(TriggerAvailMsg).size() == 1 && rec.of(TriggerTimerMsg).size() == 1; }));
}

TEST_F(ComPortTriggers, HandlersRemovedDuringDeliveryAreSkippedAndUnlinked) {
  port.SetOpen(true);
  std::atomic<int> aCalls{0}, bCalls{0};
  std::atomic<int> a{0};
  const int b = port.AddTriggerHandler([&](uint32_t, uint32_t, int32_t) { ++bCalls; });
  // Added later, so called first: it removes the other handler and itself.
  a = port.AddTriggerHandler([&](uint32_t, uint32_t, int32_t) {
    ++aCalls;
    port.RemoveTriggerHandler(b);
    port.RemoveTriggerHandler(a.load());
  });
  pty.write("1");
  ASSERT_TRUE(eventually([&] { return aCalls == 1; }));
  pty.write("2");
  quiet(200);
  EXPECT_EQ(aCalls, 1);
  EXPECT_EQ(bCalls, 0);
}

TEST_F(ComPortTriggers, RemovalFromAnotherThreadWaitsForARunningHandler) {
  port.SetOpen(true);
  std::atomic<bool> entered{false}, finished{false};
  const int h = port.AddTriggerHandler([&](uint32_t, uint32_t, int32_t) {
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    finished = true;
  });
  pty.write("x");
  ASSERT_TRUE(eventually([&] { return entered.load(); }));
  port.RemoveTriggerHandler(h);
  EXPECT_TRUE(finished.load()); // whatever the handler used may be freed now
}

TEST_F(ComPortTriggers, WindowHandlersRunOnTheMainThreadWithinTheLimit) {
  platform::PlainEventLoop loop;
  platform::setMainThreadDispatcher(&loop);
  std::vector<uint16_t> counts;
  std::thread::id ranOn;
  port.OnTriggerAvail = [&](TFxCustomComPort&, uint16_t count) {
    counts.push_back(count);
    ranOn = std::this_thread::get_id();
  };
  port.SetOpen(true);
  pty.write("abc");
  loop.runFor(std::chrono::milliseconds(300));
  ASSERT_EQ(counts.size(), 1u);
  EXPECT_EQ(counts[0], 3);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // A main thread that does not answer within 1000 ms loses the message;
  // the dispatcher goes on and the handler never runs late.
  std::atomic<int> timers{0};
  port.AddTriggerHandler(
      [&](uint32_t msg, uint32_t, int32_t) { timers += msg == TriggerTimerMsg; });
  pty.write("d");
  const int t = port.AddTimeTrigger();
  std::this_thread::sleep_for(std::chrono::milliseconds(200)); // avail now waits on us
  port.ArmTimeTrigger(t, 1, true);
  EXPECT_TRUE(eventually([&] { return timers == 1; }, 3000));
  loop.runFor(std::chrono::milliseconds(100));
  EXPECT_EQ(counts.size(), 1u);
  port.SetOpen(false);
  platform::setMainThreadDispatcher(nullptr);
}

// The far end gone (the pseudo-terminal's master closed, as an unplugged
// USB modem's port goes): one device-lost notice with the error, whether
// the port was idle or writing; output is refused from then on, a wait for
// input takes its time instead of returning at once, and the port still
// closes.
TEST_F(ComPortTriggers, AVanishedDeviceIsReportedOnceAndRefusesOutput) {
  for (const bool writing : {false, true}) {
    testsupport::PtyPair far;
    TFxComPort p;
    p.SetDevicePath(far.slavePath());
    p.SetOpen(true);
    Recorder rec;
    p.AddTriggerHandler(rec.proc());
    serial::ComPort& layer = p.Port();
    if (writing) { // fill the pseudo-terminal so that output waits in the queue
      const std::vector<uint8_t> block(4000, 'x');
      for (int i = 0; i < 10; ++i)
        layer.sendBlock(block.data(), block.size());
      quiet(100);
    }
    EXPECT_FALSE(layer.deviceLost());
    far.hangUp();
    ASSERT_TRUE(eventually([&] { return !rec.of(TriggerDeviceLostMsg).empty(); }, 5000))
        << (writing ? "writing" : "idle");
    quiet(200);
    const auto lost = rec.of(TriggerDeviceLostMsg);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].lParam & 0xFFFF, EIO);
    EXPECT_TRUE(layer.deviceLost());
    const uint8_t at[3] = {'A', 'T', '\r'};
    EXPECT_EQ(layer.sendBlock(at, sizeof at), ecDeviceWrite);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(layer.waitForInput(100));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
    p.SetOpen(false);
    EXPECT_FALSE(p.Open());
  }
}

} // namespace

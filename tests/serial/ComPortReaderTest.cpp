// Readers of the dispatch buffer: a full buffer is refilled once readers
// make room, readers on several threads share the input without losing or
// repeating a byte, and input is picked up whether or not a reader waits.

#include "tests/serial/PortTestSupport.h"

#include <numeric>
#include <string>

using testsupport::eventually;

namespace {

class ComPortReader : public testsupport::PortTest {};

TEST_F(ComPortReader, FullBufferRefillsAfterHalfIsReadAndKeepsOrder) {
  constexpr size_t kTotal = 40000; // several buffers' worth, held in the driver
  constexpr size_t kBuffer = serial::kDispatchBufferSize;
  port.SetOpen(true);
  std::vector<uint8_t> data(kTotal);
  for (size_t i = 0; i < kTotal; ++i)
    data[i] = static_cast<uint8_t>(i * 13 + i / 256);
  std::thread far([&] { pty.writeAll(data.data(), data.size()); });
  serial::ComPort& p = port.Port();
  ASSERT_TRUE(eventually([&] { return p.inputCount() == static_cast<int>(kBuffer); }));

  // Just short of half read: the buffer stays as it is.
  size_t received = 0;
  bool inOrder = true;
  uint8_t b = 0;
  auto take = [&](size_t n) {
    for (size_t i = 0; i < n && p.readByte(b) == 0; ++i)
      inOrder &= b == data[received++];
  };
  take(kBuffer / 2 - 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(p.inputCount(), static_cast<int>(kBuffer / 2 + 1));

  // One more byte reaches half: the buffer is filled up again.
  take(1);
  EXPECT_TRUE(eventually([&] { return p.inputCount() == static_cast<int>(kBuffer); }));

  // Reading down to exactly half each time drains everything in order.
  while (received < kTotal) {
    const size_t count = static_cast<size_t>(p.inputCount());
    if (count == 0 && !p.waitForInput(2000))
      break;
    take(count > kBuffer / 2 ? count - kBuffer / 2 : count);
  }
  far.join();
  EXPECT_EQ(received, kTotal);
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(p.readByte(b), ecBufferIsEmpty);
}

TEST_F(ComPortReader, ReadersOnSeveralThreadsTakeEachByteOnce) {
  constexpr size_t kTotal = 2u << 20;
  port.SetOpen(true);
  serial::ComPort& p = port.Port();
  std::atomic<bool> farDone{false};
  std::thread far([&] {
    std::vector<uint8_t> buf(65536);
    for (size_t sent = 0; sent < kTotal; sent += buf.size()) {
      for (size_t i = 0; i < buf.size(); ++i)
        buf[i] = static_cast<uint8_t>(sent + i);
      pty.writeAll(buf.data(), buf.size());
    }
    farDone = true;
  });
  std::atomic<size_t> total{0};
  struct Tally {
    size_t count = 0;
    uint64_t sum = 0;
  };
  std::vector<Tally> tallies(3);
  std::vector<std::thread> readers;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (auto& t : tallies)
    readers.emplace_back([&] {
      uint8_t b;
      while (total < kTotal && std::chrono::steady_clock::now() < deadline) {
        if (p.readByte(b) != 0) {
          p.waitForInput(5);
          continue;
        }
        ++t.count;
        t.sum += b;
        ++total;
      }
    });
  for (auto& r : readers)
    r.join();
  // Bytes counted twice end the readers early: let the far end finish.
  while (!farDone) {
    p.discardInput();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  far.join();
  const size_t count = std::accumulate(tallies.begin(), tallies.end(), size_t{0},
                                       [](size_t a, const Tally& t) { return a + t.count; });
  const uint64_t sum = std::accumulate(tallies.begin(), tallies.end(), uint64_t{0},
                                       [](uint64_t a, const Tally& t) { return a + t.sum; });
  EXPECT_EQ(count, kTotal);
  EXPECT_EQ(sum, uint64_t{kTotal / 256} * (255 * 256 / 2));
  for (const auto& t : tallies)
    EXPECT_GT(t.count, 0u);
  EXPECT_EQ(p.inputCount(), 0);
}

TEST_F(ComPortReader, DiscardWhileReadingLeavesAConsistentBuffer) {
  port.SetOpen(true);
  serial::ComPort& p = port.Port();
  std::atomic<bool> stop{false}, farDone{false};
  std::thread far([&] {
    std::vector<uint8_t> buf(4096, 'x');
    while (!stop) {
      pollfd fd{pty.master(), POLLOUT, 0};
      if (::poll(&fd, 1, 10) > 0) [[maybe_unused]]
        auto n = ::write(pty.master(), buf.data(), buf.size());
    }
    farDone = true;
  });
  std::thread reader([&] {
    uint8_t b;
    while (!stop)
      if (p.readByte(b) == 0)
        EXPECT_EQ(b, 'x');
  });
  for (int i = 0; i < 200; ++i) {
    p.discardInput();
    const int count = p.inputCount();
    EXPECT_GE(count, 0);
    EXPECT_LE(count, serial::kDispatchBufferSize);
  }
  stop = true;
  reader.join();
  // With the reader gone the far end may be stuck in a write: make room.
  while (!farDone) {
    p.discardInput();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  far.join();
  // Input still flows after the last discard.
  const std::string probe = "probe";
  p.discardInput();
  pty.write(probe);
  EXPECT_TRUE(eventually([&] { return p.inputCount() >= static_cast<int>(probe.size()); }));
}

// Each turn is long enough for the input to be lent to the reader whose turn
// it is, so every change of turn takes the loan back from the other thread.
TEST_F(ComPortReader, ReadersTakingTurnsGetEveryByteInOrderAcrossTheWrap) {
  constexpr size_t kTotal = 3 * serial::kDispatchBufferSize + 1000;
  constexpr size_t kTurn = 700;
  port.SetOpen(true);
  serial::ComPort& p = port.Port();
  std::vector<uint8_t> data(kTotal);
  for (size_t i = 0; i < kTotal; ++i)
    data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  std::thread far([&] { pty.writeAll(data.data(), data.size()); });
  std::vector<uint8_t> got;
  std::atomic<int> turn{0};
  std::atomic<bool> finished{false};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  auto reader = [&](int me) {
    while (!finished && std::chrono::steady_clock::now() < deadline) {
      if (turn.load(std::memory_order_acquire) != me) {
        std::this_thread::yield();
        continue;
      }
      for (size_t n = 0; n < kTurn && got.size() < kTotal;) {
        uint8_t b;
        if (p.readByte(b) == 0) {
          got.push_back(b);
          ++n;
        } else if (std::chrono::steady_clock::now() > deadline) {
          break;
        } else {
          p.waitForInput(5);
        }
      }
      finished = got.size() == kTotal;
      turn.store(1 - me, std::memory_order_release);
    }
  };
  std::thread other(reader, 1);
  reader(0);
  other.join();
  far.join();
  ASSERT_EQ(got.size(), kTotal);
  EXPECT_TRUE(got == data);
}

TEST_F(ComPortReader, InputIsReadAndAnnouncedWhetherOrNotAReaderWaits) {
  port.SetOpen(true);
  serial::ComPort& p = port.Port();
  std::atomic<int> avails{0};
  p.addTriggerHandler(TriggerHandlerKind::Procedure, [&](uint32_t msg, uint32_t, int32_t) {
    if (msg == TriggerAvailMsg)
      ++avails;
  });
  auto readAll = [&] {
    std::string s;
    uint8_t b;
    while (p.readByte(b) == 0)
      s.push_back(static_cast<char>(b));
    return s;
  };

  // A waiting reader reads the device itself; the arrival is announced too.
  std::thread far([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty.write("abc");
  });
  EXPECT_TRUE(p.waitForInput(3000));
  far.join();
  EXPECT_TRUE(eventually([&] { return p.inputCount() == 3; }));
  EXPECT_TRUE(eventually([&] { return avails >= 1; }));
  EXPECT_EQ(readAll(), "abc");

  // With nobody waiting, the event thread reads and announces what comes.
  const int before = avails;
  pty.write("de");
  EXPECT_TRUE(eventually([&] { return p.inputCount() == 2; }));
  EXPECT_TRUE(eventually([&] { return avails > before; }));
  EXPECT_EQ(readAll(), "de");

  // A wait with nothing coming ends at its time.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(p.waitForInput(60));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(55));
}

TEST_F(ComPortReader, ClosingAfterTheFarEndHungUpReturns) {
  port.SetOpen(true);
  pty.hangUp();
  // The event thread now finds the device readable with nothing to read and
  // paces itself; the close must still reach it.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::atomic<bool> closed{false};
  std::thread closer([&] {
    port.SetOpen(false);
    closed = true;
  });
  EXPECT_TRUE(eventually([&] { return closed.load(); }, 5000));
  closer.join();
}

} // namespace

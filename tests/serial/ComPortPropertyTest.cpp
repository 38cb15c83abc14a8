// Property defaults and setter rules of the port component, the trigger
// table's handles and limits, and a change of ComNumber on an open port.

#include "tests/serial/PortTestSupport.h"

#include "platform/PortDevices.h"
#include "serial/TriggerTable.h"

#include <fstream>

using testsupport::eventually;

namespace {

TEST(ComPortProperties, DefaultsOfANewComponent) {
  TFxComPort p;
  EXPECT_EQ(p.DeviceLayer(), dlWin32);
  EXPECT_EQ(p.ComNumber(), 0);
  EXPECT_EQ(p.Baud(), 19200);
  EXPECT_EQ(p.Parity(), pNone);
  EXPECT_EQ(p.DataBits(), 8);
  EXPECT_EQ(p.StopBits(), 1);
  EXPECT_EQ(p.InSize(), 4096);
  EXPECT_EQ(p.OutSize(), 4096);
  EXPECT_TRUE(p.AutoOpen());
  EXPECT_EQ(p.DispatcherMode(), dWin32);
  EXPECT_FALSE(p.Open());
  EXPECT_TRUE(p.DTR());
  EXPECT_TRUE(p.RTS());
  EXPECT_EQ(p.HWFlowOptions(), 0);
  EXPECT_EQ(p.SWFlowOptions(), swfNone);
  EXPECT_EQ(p.XOnChar(), 17);
  EXPECT_EQ(p.XOffChar(), 19);
  EXPECT_EQ(p.BufferFull(), 0);
  EXPECT_EQ(p.BufferResume(), 0);
  EXPECT_EQ(p.Tracing(), tlOff);
  EXPECT_EQ(p.TraceSize(), 10000);
  EXPECT_EQ(p.TraceName(), "FXCOMM.TRC");
  EXPECT_TRUE(p.TraceHex());
  EXPECT_EQ(p.Logging(), tlOff);
  EXPECT_EQ(p.LogSize(), 10000);
  EXPECT_EQ(p.LogName(), "FXCOMM.LOG");
  EXPECT_TRUE(p.LogHex());
  EXPECT_TRUE(p.UseMSRShadow());
  EXPECT_TRUE(p.UseEventWord());
  EXPECT_EQ(p.TriggerLength(), 1);
  EXPECT_EQ(p.CommNotificationLevel(), 10);
  EXPECT_EQ(p.TapiMode(), tmAuto);
}

TEST(ComPortProperties, SetterRules) {
  TFxComPort p;
  p.SetInSize(8192);
  p.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
  EXPECT_EQ(p.BufferFull(), 7372);
  EXPECT_EQ(p.BufferResume(), 819);
  p.SetBufferFull(5000);
  p.SetBufferResume(6000); // above BufferFull: recomputed
  p.SetHWFlowOptions(hwfUseRTS);
  EXPECT_EQ(p.BufferFull(), 5000);
  EXPECT_EQ(p.BufferResume(), 819);

  p.SetTraceSize(40000);
  EXPECT_EQ(p.TraceSize(), 32760);
  p.SetLogSize(70000);
  EXPECT_EQ(p.LogSize(), 65520);

  // A closed port stores only on and off.
  p.SetTracing(tlOn);
  EXPECT_EQ(p.Tracing(), tlOn);
  p.SetTracing(tlDump);
  EXPECT_EQ(p.Tracing(), tlOff);
  p.SetLogging(tlPause);
  EXPECT_EQ(p.Logging(), tlOff);

  p.SetAutoOpen(false);
  EXPECT_THROW(p.SendText("AT"), ECommNotOpen);
  EXPECT_THROW(p.SetSoftwareFlow(100, 200, 3), EBadArgument);  // full below resume
  EXPECT_THROW(p.SetSoftwareFlow(9000, 200, 3), EBadArgument); // beyond InSize
}

TEST(TriggerTable, HandlesAndLimits) {
  serial::TriggerTable t;
  EXPECT_EQ(t.addState(6), ecBadArgument);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(t.addTime(), 2 + i);
  EXPECT_EQ(t.addTime(), ecNoMoreTriggers);
  EXPECT_EQ(t.addState(stOutSent), 12); // state triggers share the handle range
  EXPECT_EQ(t.drop(5), 0);
  EXPECT_EQ(t.drop(5), ecBadTriggerHandle);
  EXPECT_EQ(t.addState(stModem), 5);                       // the first free slot again
  EXPECT_EQ(t.armTime(5, 3, true, 0), ecBadTriggerHandle); // not a time trigger
  EXPECT_EQ(t.armTime(42, 3, true, 0), ecBadTriggerHandle);
  EXPECT_EQ(t.armState(2, 1, true, 0), ecBadTriggerHandle);
  for (int i = 0; i < 8; ++i)
    EXPECT_GT(t.addState(stOutSent), 0);
  EXPECT_EQ(t.addState(stOutSent), ecNoMoreTriggers);

  // Modem-status triggers fire when a masked bit differs from its value at arming.
  serial::TriggerTable m;
  const int h = m.addState(stModem);
  m.armState(h, msrDCD | msrCTS, true, msrCTS | msrDSR);
  serial::FiredTrigger f;
  serial::PortLevels levels;
  levels.allSent = false;
  levels.modemStatus = msrCTS; // DSR changed, but it is not in the mask
  EXPECT_FALSE(m.takeFired(levels, 0, f));
  levels.modemStatus = msrCTS | msrDCD;
  ASSERT_TRUE(m.takeFired(levels, 0, f));
  EXPECT_EQ(f.msg, TriggerStatusMsg);
  EXPECT_EQ(f.handle, h);
  EXPECT_FALSE(m.takeFired(levels, 0, f)); // disarmed after firing
}

class ComPortReopen : public testsupport::PortTest {};

TEST_F(ComPortReopen, ChangingComNumberReopensAndKeepsTriggers) {
  testsupport::PtyPair second;
  const std::string ini = platform::IniFileName();
  ASSERT_TRUE(platform::SetPortDevicePath(1, pty.slavePath(), ini));
  ASSERT_TRUE(platform::SetPortDevicePath(2, second.slavePath(), ini));
  port.SetDevicePath("");
  port.SetComNumber(1);
  port.SetTracing(tlOn);
  port.SetOpen(true);
  std::atomic<int> avail{0}, timers{0};
  port.AddTriggerHandler([&](uint32_t msg, uint32_t, int32_t) {
    avail += msg == TriggerAvailMsg;
    timers += msg == TriggerTimerMsg;
  });
  const int t = port.AddTimeTrigger();
  int marker = 7;
  port.SetUserData(3, &marker);

  port.SetComNumber(2);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(port.Tracing(), tlOn);
  EXPECT_EQ(port.GetUserData(3), &marker);
  port.ArmTimeTrigger(t, 1, true); // the handle survived the reopen
  second.write("on two");
  EXPECT_TRUE(eventually([&] { return avail == 1 && timers == 1; }));
  port.SendText("AT");
  EXPECT_EQ(second.readUntil("AT", 2000), "AT");
  EXPECT_EQ(pty.readFor(50), "");
}

} // namespace

#pragma once
// The serial port component: properties with their defaults and setter
// rules, port operations that raise the EFxException family on failure, the
// trace and log commands, and component events fed from the port's triggers
// on the main thread. TFxComPort (TFxComPort.h) is the published class.

#include "serial/ComPort.h"
#include "serial/ComTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TFxCustomComPort;

using TTriggerEvent =
    std::function<void(TFxCustomComPort&, uint32_t msg, int triggerHandle, uint16_t data)>;
using TTriggerAvailEvent = std::function<void(TFxCustomComPort&, uint16_t count)>;
using TTriggerHandleEvent = std::function<void(TFxCustomComPort&, int triggerHandle)>;
using TTriggerLineErrorEvent =
    std::function<void(TFxCustomComPort&, uint16_t error, bool lineBreak)>;
using TNotifyEvent = std::function<void(TFxCustomComPort&)>;
using TWaitCharEvent = std::function<void(TFxCustomComPort&, uint8_t c)>;

class TFxCustomComPort {
public:
  TFxCustomComPort();
  virtual ~TFxCustomComPort();
  TFxCustomComPort(const TFxCustomComPort&) = delete;
  TFxCustomComPort& operator=(const TFxCustomComPort&) = delete;

  // ----- properties
  TDeviceLayer DeviceLayer() const { return m_deviceLayer; }
  void SetDeviceLayer(TDeviceLayer v) { m_deviceLayer = v; }
  uint16_t ComNumber() const { return m_comNumber; }
  void SetComNumber(uint16_t n);
  // The device path; empty means Com n from the [Ports] settings.
  const std::string& DevicePath() const { return m_devicePath; }
  void SetDevicePath(const std::string& path);
  int32_t Baud() const { return m_line.baud; }
  void SetBaud(int32_t v);
  TParity Parity() const { return m_line.parity; }
  void SetParity(TParity v);
  uint16_t DataBits() const { return m_line.dataBits; }
  void SetDataBits(uint16_t v);
  uint16_t StopBits() const { return m_line.stopBits; }
  void SetStopBits(uint16_t v);
  uint16_t InSize() const { return m_inSize; }
  void SetInSize(uint16_t v);
  uint16_t OutSize() const { return m_outSize; }
  void SetOutSize(uint16_t v);
  bool AutoOpen() const { return m_autoOpen; }
  void SetAutoOpen(bool v) { m_autoOpen = v; }
  TDispatcherMode DispatcherMode() const { return m_dispatcherMode; }
  void SetDispatcherMode(TDispatcherMode v);
  bool Open() const { return m_port.isOpen(); }
  void SetOpen(bool open);
  bool DTR() const { return m_dtr; }
  void SetDTR(bool v);
  bool RTS() const { return m_rts; }
  void SetRTS(bool v);
  THWFlowOptionSet HWFlowOptions() const { return m_hwFlow; }
  void SetHWFlowOptions(THWFlowOptionSet v);
  TSWFlowOptions SWFlowOptions() const { return m_swFlow; }
  void SetSWFlowOptions(TSWFlowOptions v);
  uint8_t XOnChar() const { return m_xon; }
  void SetXOnChar(uint8_t v);
  uint8_t XOffChar() const { return m_xoff; }
  void SetXOffChar(uint8_t v);
  uint16_t BufferFull() const { return m_bufferFull; }
  void SetBufferFull(uint16_t v) { m_bufferFull = v; }
  uint16_t BufferResume() const { return m_bufferResume; }
  void SetBufferResume(uint16_t v) { m_bufferResume = v; }
  TTraceLogState Tracing() const { return m_tracing; }
  void SetTracing(TTraceLogState v);
  uint16_t TraceSize() const { return m_traceSize; }
  void SetTraceSize(uint32_t v);
  const std::string& TraceName() const { return m_traceName; }
  void SetTraceName(const std::string& v) { m_traceName = v; }
  bool TraceHex() const { return m_traceHex; }
  void SetTraceHex(bool v) { m_traceHex = v; }
  TTraceLogState Logging() const { return m_logging; }
  void SetLogging(TTraceLogState v);
  uint16_t LogSize() const { return m_logSize; }
  void SetLogSize(uint32_t v);
  const std::string& LogName() const { return m_logName; }
  void SetLogName(const std::string& v) { m_logName = v; }
  bool LogHex() const { return m_logHex; }
  void SetLogHex(bool v) { m_logHex = v; }
  bool UseMSRShadow() const { return m_useMsrShadow; }
  void SetUseMSRShadow(bool v) { m_useMsrShadow = v; }
  bool UseEventWord() const { return m_useEventWord; }
  void SetUseEventWord(bool v) { m_useEventWord = v; }
  uint16_t TriggerLength() const { return m_triggerLength; }
  void SetTriggerLength(uint16_t v);
  uint16_t CommNotificationLevel() const { return m_commNotificationLevel; }
  void SetCommNotificationLevel(uint16_t v) { m_commNotificationLevel = v; }
  TTapiMode TapiMode() const { return m_tapiMode; }
  void SetTapiMode(TTapiMode v) { m_tapiMode = v; }

  // While loading (a form restoring its stored properties) Open is only
  // remembered and nothing raises; EndLoading opens the port when asked.
  void BeginLoading() { m_loading = true; }
  void EndLoading();
  bool Loading() const { return m_loading; }

  // ----- events (run on the main thread; assign them before opening the
  // port, since the dispatcher looks at them to decide whether to send)
  TTriggerEvent OnTrigger;
  TTriggerAvailEvent OnTriggerAvail;
  TTriggerHandleEvent OnTriggerData;
  TTriggerHandleEvent OnTriggerStatus;
  TTriggerHandleEvent OnTriggerTimer;
  TTriggerLineErrorEvent OnTriggerLineError;
  TNotifyEvent OnTriggerModemStatus;
  TNotifyEvent OnTriggerOutbuffFree;
  TNotifyEvent OnTriggerOutbuffUsed;
  TNotifyEvent OnTriggerOutSent;
  TWaitCharEvent OnWaitChar;

  // ----- operations
  void SendByte(uint8_t b);
  void SendText(const std::string& text);
  void SendBlock(const void* data, size_t length);
  bool InputWaiting();
  uint8_t ReadByte();
  uint16_t InputCount();
  uint16_t OutputCount();
  uint16_t OutputSpace();
  void DiscardInput();
  void DiscardOutput();
  bool WaitForText(const std::string& text, int32_t ticks, bool yield, bool ignoreCase);
  int AddTimeTrigger();
  void ArmTimeTrigger(int handle, int32_t ticks, bool enable);
  int AddStateTrigger(int kind);
  void ArmStateTrigger(int handle, uint16_t value, bool enable);
  void DropTrigger(int handle);
  int AddTriggerHandler(TriggerProc proc, TriggerHandlerKind kind = TriggerHandlerKind::Procedure);
  void RemoveTriggerHandler(int id);
  void SetUserData(int slot, void* data);
  void* GetUserData(int slot);
  bool HoldDispatch(bool hold);
  bool CarrierPresent();
  void SetSoftwareFlow(uint16_t fullMark, uint16_t resumeMark, int directions);
  void ClearSoftwareFlow();
  static std::string ErrorText(int code);

  // The port handle (1..50) while open, else 0.
  int PortHandle() const { return m_port.handle(); }
  // The port layer, for clients that run on the dispatcher thread.
  serial::ComPort& Port() { return m_port; }
  // The component of an open port handle (1..100), or nullptr.
  static TFxCustomComPort* FromHandle(int handle);
  // Path of a trace or log file name: relative names are in ProgramDir.
  static std::string FilePath(const std::string& name);

protected:
  // Raises for a negative code, except while loading.
  int Check(int code) const;
  void EnsureOpen();

private:
  void DoOpen();
  void DoClose();
  void ApplyAfterOpen();
  template <typename T> void SetLineField(T serial::LineSettings::*field, T v);
  void ApplyFlow();
  void ApplyLogState(bool trace, TTraceLogState v);
  void HandleTrigger(uint32_t msg, uint32_t wParam, int32_t lParam);
  std::string ResolveDevice() const;

  serial::ComPort m_port;
  std::optional<serial::SavedTriggerState> m_saved;
  int m_windowHandler = 0;
  bool m_loading = false;
  bool m_openWhenLoaded = false;

  TDeviceLayer m_deviceLayer = dlWin32;
  uint16_t m_comNumber = 0;
  std::string m_devicePath;
  serial::LineSettings m_line;
  uint16_t m_inSize = 4096, m_outSize = 4096;
  bool m_autoOpen = true;
  TDispatcherMode m_dispatcherMode = dWin32;
  bool m_dtr = true, m_rts = true;
  THWFlowOptionSet m_hwFlow = 0;
  TSWFlowOptions m_swFlow = swfNone;
  uint8_t m_xon = 17, m_xoff = 19;
  uint16_t m_bufferFull = 0, m_bufferResume = 0;
  TTraceLogState m_tracing = tlOff, m_logging = tlOff;
  uint16_t m_traceSize = 10000, m_logSize = 10000;
  std::string m_traceName = "FXCOMM.TRC", m_logName = "FXCOMM.LOG";
  bool m_traceHex = true, m_logHex = true;
  bool m_useMsrShadow = true, m_useEventWord = true;
  uint16_t m_triggerLength = 1;
  uint16_t m_commNotificationLevel = 10;
  TTapiMode m_tapiMode = tmAuto;
};

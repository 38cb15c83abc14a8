#pragma once
// The fax components' shared base: the published properties of both
// directions, the events, the session start and finish, class detection
// and the synchronous modem commands. TFxCustomSendFax and
// TFxCustomReceiveFax derive from TFxAbstractFax.
//
// The contract of a component with the program that uses it:
//
// Threads. Properties are set, and calls started (BeginTransmit,
// BeginReceive), on the main thread while no call runs. The call itself
// runs on the port's dispatcher thread. Getters that are safe from any
// thread at any time: ProgressCode, PageNumber, PageBytesDone,
// PageBytesTotal, LastError and Running (atomic), and RemoteIdent,
// LastHangupCode, LinkSpeed, LinkFine, LinkWide and LinkECM (while a call
// runs, a copy taken under a lock before every event and at the finish).
// Record() and Protocol() belong to the call while it runs: read them only
// inside an event handler or after OnFaxFinish.
//
// Events. OnFaxStatus, OnFaxLog, OnFaxError (and the send and receive
// questions OnFaxNext, OnFaxName, OnFaxAccept) run on the main thread while
// the call waits for them: the call waits up to one second for a handler
// to start and then until it returns. Keep them short and never open a
// modal box in them. OnFaxFinish is posted (queued) once the call is over:
// that is the place for boxes and for starting the next call.
//
// Abort. AbortFax may be called from any thread and returns at once; it
// does nothing when no call runs. The call ends on the dispatcher thread:
// page data the modem is taking is discarded and its stream closed as the
// class requires, the modem hangs up and is left a data modem; then
// OnFaxStatus (fpCancel, last), OnFaxError(-6005), OnFaxLog (failed) and,
// normally within a few seconds (about 20 at most, with a modem that
// answers nothing), OnFaxFinish(-6005). The same component and open port can
// then start the next call.
//
// The port. The port must be open for a call and should outlive the
// component. A port that is closed or destroyed under a running call ends
// it: the call lets go of the port and OnFaxFinish(-2007) is posted; a
// destroyed port is forgotten (ComPort() becomes nullptr). A modem that
// vanishes from its port (unplugged, its pseudo-terminal closed) ends the
// call at once with OnFaxFinish(-8083); close the port then.

#include "faxengine/FaxRecord.h"
#include "faxengine/FaxSession.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class TFxCustomComPort;
class TFxCustomAbstractFax;
class TFxFaxLog;
class TFxAbstractFaxStatus;

using TFaxStatusEvent = std::function<void(TFxCustomAbstractFax& cp, bool first, bool last)>;
using TFaxLogEvent = std::function<void(TFxCustomAbstractFax& cp, int logCode)>;
using TFaxErrorEvent = std::function<void(TFxCustomAbstractFax& cp, int errorCode)>;
using TFaxFinishEvent = std::function<void(TFxCustomAbstractFax& cp, int errorCode)>;

class TFxCustomAbstractFax : public faxengine::FaxEventSink {
public:
  TFxCustomAbstractFax();
  ~TFxCustomAbstractFax() override;
  TFxCustomAbstractFax(const TFxCustomAbstractFax&) = delete;
  TFxCustomAbstractFax& operator=(const TFxCustomAbstractFax&) = delete;

  // ----- properties
  int32_t InitBaud() const { return m_rec.initBaud; }
  void SetInitBaud(int32_t v) { m_rec.initBaud = v; }
  int32_t NormalBaud() const { return m_rec.normalBaud; }
  void SetNormalBaud(int32_t v) { m_rec.normalBaud = v; }
  TFaxClass FaxClass() const { return m_rec.faxClass; }
  void SetFaxClass(TFaxClass v) { m_rec.faxClass = v; }
  const std::string& ModemInit() const { return m_proto.modemInit; }
  // Upper-cased; "AT" in front unless it starts with "A"; at most 40.
  void SetModemInit(const std::string& v);
  const std::string& StationID() const { return m_rec.stationID; }
  void SetStationID(const std::string& v) { m_rec.stationID = v.substr(0, 20); }
  TFxCustomComPort* ComPort() const { return m_comPort; }
  // Sets the port to 8N1, 19200 baud, 8192-byte buffers and RTS/CTS flow.
  void SetComPort(TFxCustomComPort* port);
  TFxAbstractFaxStatus* StatusDisplay() const { return m_statusDisplay; }
  void SetStatusDisplay(TFxAbstractFaxStatus* v) { m_statusDisplay = v; }
  TFxFaxLog* FaxLog() const { return m_faxLog; }
  void SetFaxLog(TFxFaxLog* v) { m_faxLog = v; }
  const std::string& FaxFile() const { return m_faxFile; }
  void SetFaxFile(const std::string& v) { m_faxFile = v; }
  bool AbortNoConnect() const { return m_rec.abortNoConnect; }
  void SetAbortNoConnect(bool v) { m_rec.abortNoConnect = v; }
  bool ExitOnError() const { return m_rec.exitOnError; }
  void SetExitOnError(bool v) { m_rec.exitOnError = v; }
  bool SoftwareFlow() const { return m_rec.softwareFlow; }
  void SetSoftwareFlow(bool v) { m_rec.softwareFlow = v; }
  uint16_t StatusInterval() const { return m_rec.statusInterval; }
  void SetStatusInterval(uint16_t v) { m_rec.statusInterval = v; }
  uint16_t DesiredBPS() const { return m_proto.desiredBPS; }
  void SetDesiredBPS(uint16_t v) { m_proto.desiredBPS = v; }
  bool DesiredECM() const { return m_proto.desiredECM; }
  void SetDesiredECM(bool v) { m_proto.desiredECM = v; }
  bool Desired2D() const { return m_proto.desired2D; }
  long EcmFramesResent() const { return m_rec.ecmFramesResent; }
  long EcmFramesLost() const { return m_rec.ecmFramesLost; }
  // Received rows that did not decode this call (each kept as a copy of
  // the row above it).
  long BadRows() const { return m_rec.badRows; }
  void SetDesired2D(bool v) { m_proto.desired2D = v; }
  const std::string& FaxFileExt() const { return m_rec.faxFileExt; }
  void SetFaxFileExt(const std::string& v) { m_rec.faxFileExt = v; }

  TFaxStatusEvent OnFaxStatus;
  TFaxLogEvent OnFaxLog;
  TFaxErrorEvent OnFaxError;
  TFaxFinishEvent OnFaxFinish;

  // ----- operations
  void AbortFax();
  // 4 = Class 1, 8 = Class 2, 16 = Class 2.0 (a set of bits).
  int ModemClasses();
  std::string RemoteIdent() const;
  int ProgressCode() const { return m_rec.status; }
  static std::string StatusText(int code) { return faxengine::StatusText(code); }
  int32_t LinkSpeed() const;
  bool LinkFine() const;
  bool LinkWide() const;
  bool LinkECM() const;
  // The coding of the page data on the line (MH, MR or MMR).
  faximage::FaxCoding LinkCoding() const;
  std::string LastHangupCode() const;
  int PageNumber() const { return m_rec.pageNumber; }
  int PageCount() const;
  long PageBytesDone() const;
  long PageBytesTotal() const { return m_rec.pageBytesTotal; }
  int LastError() const { return m_rec.lastError; }
  bool Running() const { return m_session && m_session->Running(); }
  // True for the send component (the history writes codes 1-3 only for it).
  virtual bool IsSender() const = 0;

  // Internal access for the history and status components.
  faxengine::FaxRecord& Record() { return m_rec; }
  faxengine::ProtocolRecord& Protocol() { return m_proto; }

protected:
  // Checks the port and starts a session with the direction's machine; the
  // direction's initialisation runs in between. Raises on a bad setup.
  void StartCall(bool sending);
  // The direction's initialisation on the main thread; returns an error code.
  virtual int InitializeCall() = 0;
  // Sends the init string and "AT+FCLASS=?"; the class bits or -8071.
  int DetectClass();
  // fcUnknown and fcDetect become the best class the modem has (2.0, 2, 1).
  int ChooseClass();
  // Sends ModemInit and the init string unless the modem is initialised.
  int InitializeModem();
  // One synchronous command: 0 on success, -8071 on failure or timeout.
  int SyncCommand(const std::string& command, std::string* answer = nullptr);
  void BuildDialect();
  void DtrReset();
  serial::ComPort& PortLayer();

  void FaxStatusEvent(bool first, bool last) override;
  void FaxLogEvent(int logCode) override;
  void FaxErrorEvent(int errorCode) override;
  void FaxFinishEvent(int errorCode) override;

  faxengine::FaxRecord m_rec;
  faxengine::ProtocolRecord m_proto;
  std::unique_ptr<faxengine::FaxSession> m_session;
  TFxCustomComPort* m_comPort = nullptr;
  TFxAbstractFaxStatus* m_statusDisplay = nullptr;
  TFxFaxLog* m_faxLog = nullptr;
  std::string m_faxFile;
  int m_cachedClasses = -1;
  std::shared_ptr<int> m_life; // posted events check that the component lives
  int m_closeHook = 0;         // on m_comPort's port: a closing port ends the call
  // Guards m_session against AbortFax from another thread while the main
  // thread starts a call or destroys the component.
  std::mutex m_sessionMutex;
  void ReplaceSession(std::unique_ptr<faxengine::FaxSession> session);

private:
  void OnPortClosing(bool destroying);
  template <class T, class Direct>
  T Published(T faxengine::PublishedCall::*field, Direct direct) const;
};

class TFxAbstractFax : public TFxCustomAbstractFax {
public:
  using TFxCustomAbstractFax::TFxCustomAbstractFax;
};

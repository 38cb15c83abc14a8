#pragma once
// Inside of Class2Modem: the DTE dialogue (commands, reports, data phases)
// around one T30Line per call.

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/class2/Class2Modem.h"
#include "sim/class2/DleStream.h"
#include "sim/class2/FaxParams.h"
#include "sim/class2/T30Line.h"

namespace tolvane::sim {

// The report words of each dialect.
struct Class2Words {
  const char* connect; // +FCON / +FCO
  const char* dis;     // +FDIS / +FIS
  const char* dcs;     // +FDCS / +FCS
  const char* tsi;     // +FTSI / +FTI
  const char* csi;     // +FCSI / +FCI
  const char* pts;     // +FPTS / +FPS
  const char* hangup;  // +FHNG / +FHS
};

class Class2Modem::Impl {
public:
  Impl(Class2Dialect dialect, Class2Options options, Host host);

  enum class State {
    Idle,
    Dialling,     // ATD given, waiting for the line
    Calling,      // far end answered, T.30 waiting for its DIS
    SendReady,    // waiting for +FDT
    SendTraining, // +FDT given, DCS and training on the line
    SendData,     // CONNECT given, page data coming in
    SendDraining, // Class 2 DLE ETX seen, the page's data still going out
    SendPageEnd,  // Class 2 page data sent and confirmed, waiting for +FET
    SendLine,     // page on the line, waiting for the post-page response
    Answering,    // ATA given, waiting for the line
    RecvPhaseB,   // T.30 answering, waiting for DCS and training
    RecvReady,    // waiting for +FDR
    RecvWaitDc2,  // CONNECT given, waiting for DC2 / XON
    RecvData,     // page data going to the DTE
    RecvLastFdr,  // +FDR after the last page, waiting for the call to end
  };

  // commands (Class2Commands.cpp)
  Result command(std::string_view cmd);
  Result parameter(const std::string& name, std::string_view rest);
  Result faxParamCommand(FaxParams& params, bool readOnly, const std::string& prefix,
                         std::string_view rest);
  Result digitCommand(int& value, char low, char high, const std::string& prefix,
                      std::string_view rest);
  Result localIdCommand(const std::string& prefix, std::string_view rest);
  Result actionCommand(const std::string& name, std::string_view rest);
  Result dial(std::string_view number);
  Result answer();
  Result fdt();
  Result fdr();
  Result fet(std::string_view rest);
  Result terminateCommand();

  // call flow (Class2Modem.cpp)
  void reset();
  void callEvent(Event e);
  size_t dteData(const uint8_t* data, size_t len);
  int tx(int16_t* amp, int max);
  void rx(const int16_t* amp, int len);
  bool inDataMode() const;

  void startLine(bool calling);
  bool holdBefore(const uint8_t* frame, int len);
  void onFrame(bool incoming, const uint8_t* frame, int len);
  void onPageData(const uint8_t* data, size_t len);
  void onCallEnd(int completion);
  void endCall(int hangupCode);
  void finishSentPage(DleDecoder::End how);
  void connectForData();
  void updateFlowControl();
  void setXoff(bool off);
  bool softwareFlow() const;
  void handOverPage(bool more);
  bool ecmSending() const { return m_negotiated.ec != 0 && m_state < State::Answering; }
  void reportPageResult(uint8_t response);
  void feedReceiveControls(const uint8_t* data, size_t len);
  void flushReceivedData();
  bool startNextReceivedPage();

  static const std::map<std::string, std::string>& plainDefaults(Class2Dialect d);

  // output
  void send(std::string_view line);
  void result(std::string_view word);
  void sendRaw(const uint8_t* data, size_t len);
  std::string hangupLine(int code) const;

  Class2Dialect m_dialect;
  Class2Options m_options;
  Host m_host;
  Class2Words m_words;
  bool m_verbose = true;

  // parameters
  FaxParams m_modemCaps;  // +FDCC / +FCC
  FaxParams m_session;    // +FDIS / +FIS
  FaxParams m_negotiated; // +FDCS / +FCS
  FaxParams m_remoteDis;
  std::string m_localId;
  std::string m_remoteId;
  std::map<std::string, std::string> m_plain; // parameters kept but not acted on
  int m_bitOrder = 0;                         // +FBOR / +FBO
  int m_lastPageStatus = 1;

  // call
  State m_state = State::Idle;
  std::unique_ptr<T30Line> m_line;
  // Engines of ended calls, freed on the next entry from the front end (a
  // call may end inside the engine's own callback).
  std::vector<std::unique_ptr<T30Line>> m_graveyard;
  int m_generation = 0;
  bool m_pending = false; // a command waits for its final result
  bool m_reportedConnect = false;
  std::optional<int> m_endCode; // set once the call has ended
  int64_t m_heldSamples = 0;
  uint8_t m_lastPpm = 0;

  // sending
  DleDecoder m_dle;
  std::vector<uint8_t> m_pageData;  // DTE bytes of the current call, unframed
  std::vector<uint8_t> m_wholePage; // with error correction: the page so far
  bool m_documentStarted = false;   // the engine has gone past the far end's DIS
  bool m_xoff = false;              // the DTE is told to stop sending page data

  // receiving
  struct RxPage {
    std::vector<uint8_t> bytes; // coded rows in the DTE's bit order
    size_t sent = 0;
    int rows = 0;
    int badRows = 0;
    uint8_t ppm = 0; // post-page command that ended it
    int status = 0;  // page status code once the response went out
    bool complete = false;
  };

  std::deque<RxPage> m_rxPages;
  bool m_paused = false; // XOFF from the DTE

  // Page data queued ahead of the line: above the high mark the DTE is
  // stopped (XOFF, and the front end stops reading), below the low mark it
  // goes on.
  static constexpr size_t kHighWater = 2048;
  static constexpr size_t kLowWater = 512;
  static constexpr int64_t kHoldLimitSamples = 60 * 8000;
};

} // namespace tolvane::sim

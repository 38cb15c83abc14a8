#pragma once
// The fax side of a simulated modem in +FCLASS=2 (the older dialect) or
// +FCLASS=2.0 (ITU T.32). The modem runs T.30 itself on the line, through
// spandsp, and speaks the +F command set to the DTE: negotiation reports,
// page transfer with DLE framing, post-page status and hang-up codes.
//
// The AT front end owns the pty, echo, S registers, ATZ, ATH, +++ and
// AT+FCLASS; it hands every other command of a class 2 / 2.0 modem to
// command(), one command at a time. Everything is single-threaded: the front
// end calls all members from one thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tolvane::sim {

enum class Class2Dialect { Class2, Class20 };

// Modem properties and misbehaviour switches; the defaults are a well
// behaved 14400 bit/s modem without error correction.
struct Class2Options {
  // Local station ID until the DTE sets one (+FLID / +FLI).
  std::string localId;
  // Highest speed the modem offers, as a BR code: 0 = 2400 ... 5 = 14400.
  int maxBitRate = 5;
  // Class 2 modems send XON when ready for page data after +FDT CONNECT;
  // false simulates one that never does (the DTE must start on its own).
  bool sendXonAfterConnect = true;
  // Class 2.0 only: also report "+FPS:<code>" before the final result after
  // each page the DTE sent. Off by default: the page status of a sent page
  // is then given by the final result alone (OK accepted, ERROR rejected)
  // and can be asked for with AT+FPS?.
  bool reportSentPageStatus = false;
  // Folder for the short-lived image file from which the T.30 engine learns
  // the page format of a call. Empty: the system temporary folder.
  std::string tempDir;
};

class Class2Modem {
public:
  // Final result of one command. For Ok the front end prints "OK" after the
  // last command of the line; everything else, including the final result
  // of Error and Pending commands, the modem prints itself.
  enum class Result { Ok, Error, Pending };

  // Line events the front end reports.
  enum class Event {
    Alerting,   // our call rings at the far end
    Connected,  // the far end answered our call
    Answered,   // we answered an incoming call and the line is through
    Busy,       // our call met a busy signal
    NoAnswer,   // our call was not answered
    NoDialtone, // no dial tone when going off hook to dial
    Hangup      // the far end went on hook
  };

  struct Host {
    // Bytes for the DTE: result codes, +F reports and page data.
    std::function<void(const uint8_t*, size_t)> toDte;
    // Go off hook and dial this number (after ATD).
    std::function<void(std::string_view)> dial;
    // Take the ringing call (after ATA).
    std::function<void()> answer;
    // Go on hook (end of call, failure, +FK / +FKS).
    std::function<void()> hangup;
  };

  Class2Modem(Class2Dialect dialect, Class2Options options, Host host);
  ~Class2Modem();
  Class2Modem(const Class2Modem&) = delete;
  Class2Modem& operator=(const Class2Modem&) = delete;

  Class2Dialect dialect() const;

  // Back to the power-on parameters; ends any call (ATZ, AT&F, class change).
  void reset();
  // ATV: result codes as words (true) or numbers.
  void setVerbose(bool verbose);

  // One command without the "AT" prefix: "+FDIS=1,5,0,2,0,0,0,0", "+FDT",
  // "D5551234", "A", "+FLID?"... Commands a class 2 modem does not know
  // give Error.
  Result command(std::string_view cmd);

  // Call progress from the line.
  void callEvent(Event event);
  // One ring of an incoming call (the front end prints "RING").
  void ring();

  // While true the front end passes raw DTE bytes to dteData() instead of
  // assembling command lines: page data after +FDT CONNECT, and the DC2 /
  // XON / XOFF / CAN controls after +FDR CONNECT.
  bool inDataMode() const;
  // Returns how many bytes belonged to the data phase: when page data ends
  // (DLE ETX, or DLE ',' / ';' / '.' in Class 2.0) the rest of the buffer is
  // command input again and goes back to the front end's command parser.
  size_t dteData(const uint8_t* data, size_t len);
  // Flow control toward the DTE: while false the front end stops reading
  // the pty. The modem keeps only about 2 KB of page data ahead of the line,
  // as real modems do; in Class 2 (and Class 2.0 with +FLO=1) it also sends
  // XOFF / XON in the data stream.
  bool readyForData() const;

  // Line audio, 8000 samples/s, called every 160 samples of line time for
  // the whole life of the modem (with silence while on hook); the sample
  // count is the modem's clock for its own timeouts. tx returns the number
  // of samples produced (the front end pads the rest with silence).
  int tx(int16_t* amp, int max);
  void rx(const int16_t* amp, int len);

private:
  class Impl;
  std::unique_ptr<Impl> m_impl;
};

} // namespace tolvane::sim

#pragma once
// Parts shared by the Class 1 send and receive machines: response intake
// that also takes the T.30 frames the modem passes on (address byte first,
// ended by DLE ETX), the loop rule, and the modem's modulation commands.

#include "faxengine/ModemMachine.h"
#include "faxengine/T30Frames.h"

#include <string>

namespace faxengine {

// How long the remote's frames may take to start after our own carrier.
constexpr int32_t kFrameWaitTicks = 54;

class Class1MachineBase : public virtual ModemMachine {
protected:
  explicit Class1MachineBase(FaxSession& session) : ModemMachine(session) {}

  // Action states run on at once, line states while input waits; what a
  // trigger state does next differs between sending and receiving.
  bool ReadResponse(std::string& line) override;
  // A complete received frame (the modem's OK or ERROR on it follows).
  virtual void OnFrame(const t30::Frame& frame) = 0;

  // Waits `delayMs`, then 40 ms, sends the command with CR and arms the
  // response timeout. A receive command forgets the last frame.
  void Modulation(const std::string& command, int delayMs = 0);
  void ListenHdlc(int delayMs = 0) { Modulation("AT+FRH=3", delayMs); }
  void TalkHdlc(int delayMs = 0) { Modulation("AT+FTH=3", delayMs); }
  // Sends a frame after the 20 ms pause frames need.
  void SendFrame(const std::vector<uint8_t>& bytes);
  // The OK that follows a received frame: true when it was final.
  bool LastFinal() const { return m_haveFrame && m_lastFinal; }
  t30::FrameKind LastKind() const { return t30::KindOfFcf(m_lastFcf); }
  std::string Code() const { return t30::CodeOfIndex(m_index); }
  // Page data after a training check at V.17 speeds goes with the short
  // training the check has prepared the receiver for.
  std::string PageCode() const { return t30::PageCodeOfIndex(m_index); }
  // The codings this side offers (DIS) or may choose (DCS).
  // Error correction is offered only where the caller asks for it.
  t30::CodingSet LocalCoding(bool ecm) const;
  // The identifier (TSI or CSI) of the remote station.
  void TakeRemoteIdent(const t30::Frame& frame);

  int m_index = 1; // the negotiated modulation
  t30::SpeedSet m_local;

private:
  ResponseLineBuffer m_lines;
  bool m_inFrame = false;
  t30::FrameReader m_reader;
  bool m_haveFrame = false, m_lastFinal = false;
  uint8_t m_lastFcf = 0;
};

} // namespace faxengine

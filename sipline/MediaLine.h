#pragma once
// The media of one call on two UDP sockets: G.711 audio in RTP to and from
// the T.31 modem's audio side, or T.38 IFP packets in UDPTL to and from its
// T.38 side. The far end's address is taken from its SDP and then from
// where its packets come from (symmetric RTP/UDPTL, for NAT).

#include "sim/Class1Engine.h"
#include "sipline/RtpAudio.h"
#include "sipline/SdpMedia.h"
#include "sipline/T38EcmBridge.h"
#include "sipline/Udptl.h"

#include <memory>
#include <netinet/in.h>
#include <string>

namespace tolvane::sipline {

class MediaLine {
public:
  // Binds UDP sockets for audio and T.38 on ephemeral ports of
  // localAddress; throws std::runtime_error when it cannot.
  MediaLine(sim::Class1Engine& engine, const std::string& localAddress);
  ~MediaLine();
  MediaLine(const MediaLine&) = delete;
  MediaLine& operator=(const MediaLine&) = delete;

  int audioFd() const { return m_audioFd; }
  int imageFd() const { return m_imageFd; }
  int audioPort() const { return m_audioPort; }
  int imagePort() const { return m_imagePort; }
  const std::string& localAddress() const { return m_localAddress; }

  void useAudio(const std::string& address, int port, int payloadType);
  void useT38(const std::string& address, int port, const T38Attributes& t38);
  bool t38() const { return m_t38; }

  // 20 ms of line time: an audio frame out, or T.38's timers stepped.
  void tick();
  // Reads what has arrived on either socket.
  void readable();
  // One datagram from the far end's stream in use (UDPTL or RTP), as read.
  void datagramIn(const uint8_t* data, size_t len);
  // An IFP packet from the modem for the line. Indicators go count times,
  // as spandsp asks, as the same datagram, so that the far end drops the
  // repeats by sequence number.
  void sendIfp(const uint8_t* ifp, int len, int count);

  // A fax tone (CED or V.21 preamble) has been heard in the received audio.
  bool faxToneHeard() const { return m_toneHeard; }
  long udptlLost() const { return m_udptlRx.lost(); }
  long udptlRecovered() const { return m_udptlRx.recovered(); }
  long rtpLost() const { return m_rtpLost; }
  // Error-corrected page frames carried as T.38 HDLC data, each way.
  long ecmFramesSent() const { return m_ecm.framesToLine(); }
  long ecmFramesReceived() const { return m_ecm.framesFromLine(); }

private:
  void setRemote(const std::string& address, int port);
  void send(const std::vector<uint8_t>& datagram);
  void sendPacket(const uint8_t* ifp, size_t len, int count);
  void audioIn(const uint8_t* data, size_t len);
  void ifpIn(const uint8_t* ifp, size_t len, uint16_t seq);

  sim::Class1Engine& m_engine;
  std::string m_localAddress;
  int m_audioFd = -1;
  int m_imageFd = -1;
  int m_audioPort = 0;
  int m_imagePort = 0;
  sockaddr_in m_remote{};
  bool m_haveRemote = false;
  bool m_latched = false;
  bool m_t38 = false;
  int m_t38Version = 0;
  RtpAudioSender m_rtpTx;
  RtpSequence m_rtpSeq;
  long m_rtpLost = 0;
  UdptlSender m_udptlTx{3, 400};
  UdptlReceiver m_udptlRx;
  T38EcmBridge m_ecm;
  modem_connect_tones_rx_state_t* m_tones = nullptr;
  bool m_toneHeard = false;
};

} // namespace tolvane::sipline

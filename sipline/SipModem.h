#pragma once
// tolvane-sipmodem's modem: a Class 1 fax modem (spandsp's T.31 behind the
// simulator's AT front end) on a pseudo-terminal, whose phone line is a SIP
// call. Dialling places an INVITE, an incoming INVITE rings, and the call's
// media move from G.711 audio to T.38 when both ends can.

#include "sim/AtFrontEnd.h"
#include "sim/Class1Engine.h"
#include "sim/PtyPort.h"
#include "sipline/MediaLine.h"
#include "sipline/SipAgent.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tolvane::sipline {

struct LineSettings {
  SipSettings sip;
  std::string link;         // symlink to the pseudo-terminal, if any
  bool t38 = true;          // offer and accept T.38
  bool t38Ecm = true;       // error correction on T.38 calls (off: cleared from DIS/DTC)
  int audioPayload = 8;     // preferred G.711 law: 8 PCMA, 0 PCMU
  std::string mediaAddress; // default: the SIP listen address
  int refreshSeconds = 0;   // session refresh re-INVITEs in a call this often; 0: none
};

class SipModem : private SipEvents {
public:
  SipModem(const LineSettings& settings, std::ostream& log);
  ~SipModem() override;

  const std::string& ptyPath() const { return m_pty.slavePath(); }
  // Runs until *stop becomes non-zero.
  void run(const volatile std::sig_atomic_t* stop);

private:
  enum class State { Idle, Dialling, Ringing, Answering, Connected };

  // Line-side actions of the T.31 modem.
  void dial(const std::string& number);
  void answerCall();
  void hangupCall();

  // SipEvents
  void incomingCall(const std::string& from, const std::string& sdp) override;
  void callAnswered(const std::string& sdp) override;
  void callFailed(int status, const std::string& phrase) override;
  void reinviteAnswered(int status, const std::string& sdp) override;
  std::string reinviteOffered(const std::string& sdp) override;
  void callConfirmed() override;
  void callEnded() override;
  void registered(bool ok, int status, const std::string& phrase) override;

  void tick();
  void refreshSession();
  void endMedia();
  void servicePty();
  void later(std::function<void()> action) { m_later.push_back(std::move(action)); }
  void engineEvent(sim::CallEvent e);
  bool useRemoteMedia(const MediaDescription& far);
  MediaDescription ourAudio() const;
  MediaDescription ourT38(const T38Attributes& attributes) const;
  // Our SDP; an answer names the offer it answers.
  std::string sdp(const MediaDescription& media, const MediaDescription* offer = nullptr);
  void log(const std::string& text);

  LineSettings m_settings;
  std::ostream& m_log;
  // Destroyed after everything that uses it, also when the constructor fails.
  struct RootDeleter {
    void operator()(su_root_s* root) const;
  };
  std::unique_ptr<su_root_s, RootDeleter> m_root;
  sim::PtyPort m_pty;
  std::unique_ptr<sim::AtFrontEnd> m_frontEnd;
  std::unique_ptr<sim::Class1Engine> m_class1;
  std::unique_ptr<SipAgent> m_agent;
  std::unique_ptr<MediaLine> m_media;
  State m_state = State::Idle;
  std::string m_offer;          // SDP of the incoming INVITE
  bool m_reinvited = false;     // this call has tried T.38 once
  T38Attributes m_t38Terms;     // the terms the T.38 stream of this call was agreed on
  bool m_answerPending = false; // the modem hears "answered" once media are settled
  bool m_refreshing = false;    // our re-INVITE is a session refresh, not a change
  int64_t m_nextRefresh = 0;
  int64_t m_nextRegistration = -1; // when to try registering again after a failure
  unsigned m_sdpVersion = 1;
  int64_t m_now = 0; // line time in samples
  int64_t m_nextRing = 0;
  std::string m_toDte;
  bool m_clientPresent = false;
  std::vector<std::function<void()>> m_later;
};

} // namespace tolvane::sipline

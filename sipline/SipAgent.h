#pragma once
// The SIP user agent of the fax line, on sofia-sip's NUA: one call at a
// time, SDP handled by the line itself (sofia's own media negotiation is
// off), and registration with a registrar when one is configured.

#include <memory>
#include <string>

struct su_root_s;

namespace tolvane::sipline {

struct SipSettings {
  std::string listen;    // local address and port for SIP
  std::string registrar; // host[:port]; empty: no registration
  std::string domain;    // of the account; default: the registrar
  std::string user;
  std::string password;
  std::string peer; // host[:port] that numbers are dialled at when there is no registrar
  int registerSeconds = 300;
};

// What the agent reports. Each call has at most one of these pending at a
// time; the agent does not call back from inside its own methods.
class SipEvents {
public:
  virtual ~SipEvents() = default;
  virtual void incomingCall(const std::string& from, const std::string& sdp) = 0;
  // A final answer to our INVITE: 2xx with the far end's SDP, or a failure.
  virtual void callAnswered(const std::string& sdp) = 0;
  virtual void callFailed(int status, const std::string& phrase) = 0;
  // The answer to our re-INVITE (a 2xx carries SDP).
  virtual void reinviteAnswered(int status, const std::string& sdp) = 0;
  // The far end offers new media in the call; returns the SDP of our 200
  // answer, or empty to refuse with 488.
  virtual std::string reinviteOffered(const std::string& sdp) = 0;
  // The dialog is set up at both ends (our 200 was acknowledged).
  virtual void callConfirmed() = 0;
  virtual void callEnded() = 0;
  virtual void registered(bool ok, int status, const std::string& phrase) = 0;
};

class SipAgent {
public:
  // Throws std::runtime_error when the SIP port cannot be opened.
  SipAgent(su_root_s* root, const SipSettings& settings, SipEvents& events);
  // Why the SIP port host:port cannot be opened for UDP and TCP (e.g.
  // another program holds it), or empty. Asked before the stack starts: the
  // stack itself only says that it failed, and keeps part of the event loop
  // when it does.
  static std::string portProblem(const std::string& listen);
  ~SipAgent();
  SipAgent(const SipAgent&) = delete;
  SipAgent& operator=(const SipAgent&) = delete;

  // The request URI for a dialled number: at the registrar's domain, or at
  // the configured peer. Empty when neither is set.
  std::string uriForNumber(const std::string& number) const;
  bool invite(const std::string& uri, const std::string& sdp);
  void ringing();
  void answer(const std::string& sdp);
  // False when no call is up or another re-INVITE waits for its answer.
  bool reinvite(const std::string& sdp);
  // Ends the call in whatever state it is (BYE, CANCEL or a 486 refusal).
  void hangup();
  bool inCall() const;
  // Starts registering (and refreshing the registration) if a registrar is set.
  void startRegistration();
  // Unregisters and stops the stack; returns when the stack has stopped
  // or after a short time.
  void shutdown();

  struct Impl;

private:
  std::unique_ptr<Impl> m;
};

} // namespace tolvane::sipline

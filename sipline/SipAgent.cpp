#include "sipline/SipAgent.h"

#include <sofia-sip/nua.h>
#include <sofia-sip/sip_status.h>
#include <sofia-sip/su_wait.h>

#include <stdexcept>

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tolvane::sipline {

struct SipAgent::Impl {
  SipSettings settings;
  SipEvents& events;
  su_root_t* root;
  nua_t* nua = nullptr;
  nua_handle_t* call = nullptr; // the one call, incoming or outgoing
  nua_handle_t* registration = nullptr;
  bool outgoing = false;
  bool answered = false;   // a final 2xx was sent or received for the call
  bool reinviting = false; // our re-INVITE waits for its answer
  bool shutDown = false;
  int authAttempts = 0;

  Impl(su_root_t* r, const SipSettings& s, SipEvents& e) : settings(s), events(e), root(r) {}

  static void callback(nua_event_t event, int status, char const* phrase, nua_t*,
                       nua_magic_t* magic, nua_handle_t* nh, nua_hmagic_t*, sip_t const* sip,
                       tagi_t tags[]) {
    static_cast<Impl*>(magic)->onEvent(event, status, phrase ? phrase : "", nh, sip, tags);
  }

  static std::string payload(sip_t const* sip) {
    if (!sip || !sip->sip_payload || !sip->sip_payload->pl_data)
      return {};
    return std::string(sip->sip_payload->pl_data, sip->sip_payload->pl_len);
  }

  std::string domain() const {
    return settings.domain.empty() ? settings.registrar : settings.domain;
  }

  void endCall() {
    if (call)
      nua_handle_destroy(call);
    call = nullptr;
    answered = false;
    reinviting = false;
  }

  void onEvent(nua_event_t event, int status, const std::string& phrase, nua_handle_t* nh,
               sip_t const* sip, tagi_t tags[]);
  void onInvite(int status, const std::string& phrase, nua_handle_t* nh, sip_t const* sip);
  void onInviteResponse(int status, const std::string& phrase, nua_handle_t* nh, sip_t const* sip);
  void onRegisterResponse(int status, const std::string& phrase, nua_handle_t* nh,
                          sip_t const* sip);
  bool authenticate(nua_handle_t* nh, sip_t const* sip);
};

void SipAgent::Impl::onEvent(nua_event_t event, int status, const std::string& phrase,
                             nua_handle_t* nh, sip_t const* sip, tagi_t tags[]) {
  switch (event) {
  case nua_i_invite:
    return onInvite(status, phrase, nh, sip);
  case nua_r_invite:
    return onInviteResponse(status, phrase, nh, sip);
  case nua_r_register:
    return onRegisterResponse(status, phrase, nh, sip);
  case nua_i_state: {
    if (nh != call)
      return;
    int state = nua_callstate_init;
    tl_gets(tags, NUTAG_CALLSTATE_REF(state), TAG_END());
    if (state == nua_callstate_ready && !outgoing && answered)
      events.callConfirmed();
    if (state == nua_callstate_terminated) {
      bool wasAnswered = answered;
      bool wasOutgoing = outgoing;
      endCall();
      // A failed outgoing call was reported with its status already.
      if (wasAnswered || !wasOutgoing)
        events.callEnded();
    }
    return;
  }
  case nua_r_shutdown:
    if (status >= 200)
      shutDown = true;
    return;
  default:
    return;
  }
}

void SipAgent::Impl::onInvite(int, const std::string&, nua_handle_t* nh, sip_t const* sip) {
  if (nh == call && answered) {
    std::string answer = events.reinviteOffered(payload(sip));
    if (answer.empty())
      nua_respond(nh, 488, sip_488_Not_acceptable, TAG_END());
    else
      nua_respond(nh, 200, sip_200_OK, SIPTAG_CONTENT_TYPE_STR("application/sdp"),
                  SIPTAG_PAYLOAD_STR(answer.c_str()), TAG_END());
    return;
  }
  if (call) {
    nua_respond(nh, 486, sip_486_Busy_here, TAG_END());
    nua_handle_destroy(nh);
    return;
  }
  call = nh;
  outgoing = false;
  answered = false;
  std::string from;
  if (sip && sip->sip_from && sip->sip_from->a_url->url_user)
    from = sip->sip_from->a_url->url_user;
  events.incomingCall(from, payload(sip));
}

void SipAgent::Impl::onInviteResponse(int status, const std::string& phrase, nua_handle_t* nh,
                                      sip_t const* sip) {
  if (nh != call || status < 200)
    return;
  if ((status == 401 || status == 407) && authenticate(nh, sip))
    return;
  if (reinviting) {
    reinviting = false;
    events.reinviteAnswered(status, status < 300 ? payload(sip) : std::string());
    return;
  }
  if (status < 300) {
    answered = true;
    events.callAnswered(payload(sip));
  } else {
    events.callFailed(status, phrase);
  }
}

bool SipAgent::Impl::authenticate(nua_handle_t* nh, sip_t const* sip) {
  if (settings.password.empty() || ++authAttempts > 2)
    return false;
  std::string realm;
  msg_auth_t const* challenge =
      sip ? (sip->sip_www_authenticate ? sip->sip_www_authenticate : sip->sip_proxy_authenticate)
          : nullptr;
  if (challenge && challenge->au_params)
    for (msg_param_t const* p = challenge->au_params; *p; ++p)
      if (std::string(*p).rfind("realm=", 0) == 0)
        realm = std::string(*p).substr(6);
  if (realm.empty())
    return false;
  // realm keeps its quotes, as the "Digest:realm:user:password" form wants.
  std::string credentials = (challenge->au_scheme ? challenge->au_scheme : "Digest") +
                            std::string(":") + realm + ":" + settings.user + ":" +
                            settings.password;
  nua_authenticate(nh, NUTAG_AUTH(credentials.c_str()), TAG_END());
  return true;
}

void SipAgent::Impl::onRegisterResponse(int status, const std::string& phrase, nua_handle_t* nh,
                                        sip_t const* sip) {
  if (status < 200)
    return;
  if ((status == 401 || status == 407) && authenticate(nh, sip))
    return;
  authAttempts = 0;
  events.registered(status < 300, status, phrase);
}

SipAgent::SipAgent(su_root_s* root, const SipSettings& settings, SipEvents& events)
    : m(std::make_unique<Impl>(root, settings, events)) {
  std::string url = "sip:" + settings.listen;
  std::string user = settings.user.empty() ? "fax" : settings.user;
  m->nua =
      nua_create(root, &Impl::callback, m.get(), NUTAG_URL(url.c_str()), NUTAG_MEDIA_ENABLE(0),
                 NUTAG_M_USERNAME(user.c_str()), NUTAG_AUTOANSWER(0), NUTAG_AUTOACK(1), TAG_END());
  if (!m->nua)
    throw std::runtime_error("cannot open the SIP port " + settings.listen);
}

std::string SipAgent::portProblem(const std::string& listen) {
  const std::size_t colon = listen.rfind(':');
  const std::string host = listen.substr(0, colon);
  const std::string port = colon == std::string::npos ? "5060" : listen.substr(colon + 1);
  for (int type : {SOCK_DGRAM, SOCK_STREAM}) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &found) != 0 ||
        !found)
      return "no such address";
    const int s = ::socket(found->ai_family, found->ai_socktype, 0);
    int one = 1;
    if (s >= 0 && type == SOCK_STREAM)
      ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const bool bound = s >= 0 && ::bind(s, found->ai_addr, found->ai_addrlen) == 0;
    const int error = errno;
    if (s >= 0)
      ::close(s);
    freeaddrinfo(found);
    if (!bound)
      return std::strerror(error);
  }
  return {};
}

SipAgent::~SipAgent() {
  if (m->nua) {
    shutdown();
    nua_destroy(m->nua);
  }
}

std::string SipAgent::uriForNumber(const std::string& number) const {
  // A dialled SIP address goes where it says, registrar or not.
  if (number.rfind("sip:", 0) == 0 || number.rfind("sips:", 0) == 0)
    return number;
  if (number.find('@') != std::string::npos)
    return "sip:" + number;
  if (!m->settings.registrar.empty())
    return "sip:" + number + "@" + m->domain();
  if (!m->settings.peer.empty())
    return "sip:" + number + "@" + m->settings.peer;
  return {};
}

bool SipAgent::invite(const std::string& uri, const std::string& sdp) {
  if (m->call)
    return false;
  std::string from = m->settings.registrar.empty()
                         ? "sip:" + (m->settings.user.empty() ? "fax" : m->settings.user) + "@" +
                               m->settings.listen
                         : "sip:" + m->settings.user + "@" + m->domain();
  m->call = nua_handle(m->nua, nullptr, SIPTAG_TO_STR(uri.c_str()), SIPTAG_FROM_STR(from.c_str()),
                       TAG_END());
  m->outgoing = true;
  m->answered = false;
  m->authAttempts = 0;
  nua_invite(m->call, SIPTAG_CONTENT_TYPE_STR("application/sdp"), SIPTAG_PAYLOAD_STR(sdp.c_str()),
             TAG_END());
  return true;
}

void SipAgent::ringing() {
  if (m->call && !m->outgoing && !m->answered)
    nua_respond(m->call, 180, sip_180_Ringing, TAG_END());
}

void SipAgent::answer(const std::string& sdp) {
  if (!m->call || m->outgoing || m->answered)
    return;
  m->answered = true;
  nua_respond(m->call, 200, sip_200_OK, SIPTAG_CONTENT_TYPE_STR("application/sdp"),
              SIPTAG_PAYLOAD_STR(sdp.c_str()), TAG_END());
}

bool SipAgent::reinvite(const std::string& sdp) {
  if (!m->call || !m->answered || m->reinviting)
    return false;
  m->reinviting = true;
  nua_invite(m->call, SIPTAG_CONTENT_TYPE_STR("application/sdp"), SIPTAG_PAYLOAD_STR(sdp.c_str()),
             TAG_END());
  return true;
}

void SipAgent::hangup() {
  if (!m->call)
    return;
  if (m->answered)
    nua_bye(m->call, TAG_END());
  else if (m->outgoing)
    nua_cancel(m->call, TAG_END());
  else
    nua_respond(m->call, 486, sip_486_Busy_here, TAG_END());
  // The handle goes when sofia reports the call terminated; until then no
  // new call is taken.
}

bool SipAgent::inCall() const {
  return m->call != nullptr;
}

void SipAgent::startRegistration() {
  if (m->settings.registrar.empty())
    return;
  std::string aor = "sip:" + m->settings.user + "@" + m->domain();
  std::string registrar = "sip:" + m->settings.registrar;
  std::string expires = std::to_string(m->settings.registerSeconds);
  // A registration that failed (the registrar went away) starts afresh.
  if (m->registration)
    nua_handle_destroy(m->registration);
  m->authAttempts = 0;
  m->registration = nua_handle(m->nua, nullptr, SIPTAG_TO_STR(aor.c_str()),
                               SIPTAG_FROM_STR(aor.c_str()), TAG_END());
  // The stack would check its contact by calling itself through the
  // registrar, which a plain registrar refuses; keep-alives stay on.
  nua_register(m->registration, NUTAG_REGISTRAR(registrar.c_str()), NUTAG_OUTBOUND("no-validate"),
               SIPTAG_EXPIRES_STR(expires.c_str()), TAG_END());
}

void SipAgent::shutdown() {
  if (m->shutDown)
    return;
  nua_shutdown(m->nua);
  for (int i = 0; i < 200 && !m->shutDown; ++i)
    su_root_step(m->root, 10);
  m->shutDown = true;
}

} // namespace tolvane::sipline

#include "sim/Exchange.h"

#include "sim/VoiceParty.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>

namespace tolvane::sim {
namespace {

constexpr double kDialSeconds = 1.5;  // dial tone, digits, network set-up
constexpr double kRingCadence = 6.0;  // one ring every six seconds
constexpr double kGiveUpRinging = 60; // a caller rings this long at most
// A modem learns that the far end has gone only after a while: first the
// carrier stops, then the exchange clears the line.
constexpr double kHangupNoticeSeconds = 6.0;
// One-way delay of the line (network plus the modems' filters). Without it
// a fax program that answers at once can start its reply before the other
// end has even looked for silence (+FRS), which no real line allows.
constexpr size_t kDelayBlocks = 3;

using Block = std::array<int16_t, kBlockSamples>;

} // namespace

struct Exchange::Call {
  enum class State { Dialling, Ringing, Up };
  LineParty* caller = nullptr;
  LineParty* callee = nullptr;
  std::unique_ptr<LineParty> owned; // remote fax or voice, when not a modem
  NumberConfig number;              // what was dialled, for non-modem callees
  bool toModem = false;
  bool fromRemote = false; // a remote fax machine called a modem
  State state = State::Dialling;
  int64_t timer = 0;     // samples to the next set-up event
  int64_t ringTimer = 0; // samples to the next ring
  int64_t rangFor = 0;
  std::deque<Block> toCallee; // audio on its way along the line
  std::deque<Block> toCaller;
};

Exchange::Exchange(SimConfig& config, EventLog log) : m_config(config), m_log(std::move(log)) {}

Exchange::~Exchange() = default;

void Exchange::addModem(LineParty& party, const std::string& name, const std::string& number) {
  m_modems.push_back({&party, name, number});
}

Exchange::Call* Exchange::findCall(const LineParty& party) {
  for (auto& c : m_calls)
    if (c->caller == &party || c->callee == &party)
      return c.get();
  return nullptr;
}

bool Exchange::inCall(const LineParty& party) const {
  return std::any_of(m_calls.begin(), m_calls.end(),
                     [&](auto& c) { return c->caller == &party || c->callee == &party; });
}

Exchange::Modem* Exchange::modemFor(const std::string& key) {
  for (auto& m : m_modems)
    if (m.name == key || (!m.number.empty() && m.number == key))
      return &m;
  return nullptr;
}

const NumberConfig* Exchange::lookup(const std::string& number, NumberConfig& oneShot) {
  auto& next = m_config.nextCall;
  for (auto it = next.begin(); it != next.end(); ++it) {
    if (it->number == number) {
      oneShot = *it;
      next.erase(it);
      return &oneShot;
    }
  }
  for (auto& n : m_config.numbers)
    if (n.number == number)
      return &n;
  return nullptr;
}

void Exchange::dial(LineParty& caller, std::string_view dialString) {
  if (Call* old = findCall(caller))
    endCall(*old, &caller);
  std::string number = dialledDigits(dialString);
  auto call = std::make_unique<Call>();
  call->caller = &caller;
  call->timer = secondsToSamples(kDialSeconds);
  NumberConfig oneShot;
  if (Modem* m = number.empty() ? nullptr : modemFor(number)) {
    call->toModem = true;
    call->callee = m->party;
    call->number.number = number;
  } else if (const NumberConfig* n = lookup(number, oneShot)) {
    call->number = *n;
  } else {
    // Nobody has this number: the network rings out.
    call->number.number = number;
    call->number.kind = NumberKind::NoAnswer;
    call->number.ringSeconds = kGiveUpRinging;
  }
  if (call->number.kind == NumberKind::NoDialtone && !call->toModem)
    call->timer = secondsToSamples(0.5);
  m_log("dial " + number);
  m_calls.push_back(std::move(call));
}

std::string Exchange::callIn(const std::string& from, const std::string& to) {
  Modem* m = modemFor(to);
  if (!m)
    return "no modem " + to;
  NumberConfig oneShot;
  const NumberConfig* n = lookup(from, oneShot);
  if (!n || n->kind != NumberKind::Fax || n->fax.txFile.empty())
    return "number " + from + " is no fax machine with a file to send";
  if (inCall(*m->party)) {
    m_log("call from " + from + " to " + m->name + ": busy");
    return {};
  }
  auto call = std::make_unique<Call>();
  call->number = *n;
  call->owned = std::make_unique<RemoteFax>(n->fax, true, std::string(), "remote " + from, m_log);
  call->caller = call->owned.get();
  call->callee = m->party;
  call->toModem = true;
  call->fromRemote = true;
  call->state = Call::State::Ringing;
  m_log("call from " + from + " to " + m->name);
  m_calls.push_back(std::move(call));
  return {};
}

void Exchange::answer(LineParty& callee) {
  for (auto& c : m_calls)
    if (c->callee == &callee && c->toModem && c->state == Call::State::Ringing)
      return connect(*c);
}

void Exchange::hangup(LineParty& party) {
  if (m_stepping) {
    m_deferredHangups.push_back(&party);
    return;
  }
  if (Call* c = findCall(party))
    endCall(*c, &party);
}

std::string Exchange::rxPathFor(const NumberConfig& n) {
  int seq = ++m_rxCounters[n.number];
  return n.fax.rxDir + "/" + n.number + "-" + std::to_string(seq) + ".tif";
}

void Exchange::connect(Call& call) {
  call.state = Call::State::Up;
  if (!call.toModem) {
    if (call.number.kind == NumberKind::Voice)
      call.owned = std::make_unique<VoiceParty>();
    else
      call.owned = std::make_unique<RemoteFax>(call.number.fax, false, rxPathFor(call.number),
                                               "remote " + call.number.number, m_log);
    call.callee = call.owned.get();
  }
  m_log("call to " + call.number.number + " answered");
  if (call.toModem)
    call.callee->onCallConnected();
  if (!call.fromRemote)
    call.caller->onCallAnswered();
}

void Exchange::fail(Call& call, CallFailure why) {
  static const char* names[] = {"busy", "no answer", "no dial tone"};
  m_log("call to " + call.number.number + ": " + names[static_cast<int>(why)]);
  LineParty* caller = call.caller;
  m_calls.remove_if([&](auto& c) { return c.get() == &call; });
  caller->onCallFailed(why);
}

void Exchange::endCall(Call& call, LineParty* leaving) {
  for (LineParty* p : {call.caller, call.callee}) {
    if (!p || p == leaving)
      continue;
    // What the leaving side sent before it hung up is still on its way
    // (the end of a DCN, say) and reaches the other side all the same.
    for (Block& b : p == call.caller ? call.toCaller : call.toCallee)
      p->lineRx(b.data(), kBlockSamples);
    if (p == call.owned.get())
      p->onFarEndHangup();
    else if (call.state == Call::State::Up)
      m_hangupNotices.push_back({p, m_now + secondsToSamples(kHangupNoticeSeconds)});
  }
  m_calls.remove_if([&](auto& c) { return c.get() == &call; });
}

void Exchange::resolve(Call& call) {
  if (call.toModem) {
    if (call.callee == call.caller || (inCall(*call.callee) && findCall(*call.callee) != &call))
      return fail(call, CallFailure::Busy);
    call.state = Call::State::Ringing;
    return;
  }
  switch (call.number.kind) {
  case NumberKind::NoDialtone:
    return fail(call, CallFailure::NoDialtone);
  case NumberKind::Busy:
    return fail(call, CallFailure::Busy);
  default:
    call.state = Call::State::Ringing;
    call.timer = secondsToSamples(call.number.ringSeconds);
  }
}

void Exchange::stepCall(Call& call) {
  switch (call.state) {
  case Call::State::Dialling:
    if ((call.timer -= kBlockSamples) <= 0)
      resolve(call);
    return;
  case Call::State::Ringing:
    call.rangFor += kBlockSamples;
    if (call.toModem) {
      if ((call.ringTimer -= kBlockSamples) <= 0) {
        call.ringTimer = secondsToSamples(kRingCadence);
        call.callee->onRing();
      }
      if (call.rangFor >= secondsToSamples(kGiveUpRinging))
        call.fromRemote ? endCall(call, call.caller) : fail(call, CallFailure::NoAnswer);
      return;
    }
    if ((call.timer -= kBlockSamples) <= 0)
      call.number.kind == NumberKind::NoAnswer ? fail(call, CallFailure::NoAnswer) : connect(call);
    return;
  case Call::State::Up:
    exchangeAudio(call);
    return;
  }
}

void Exchange::exchangeAudio(Call& call) {
  if (call.toCallee.empty()) {
    call.toCallee.assign(kDelayBlocks, Block{});
    call.toCaller.assign(kDelayBlocks, Block{});
  }
  Block fromCaller{}, fromCallee{};
  call.caller->lineTx(fromCaller.data(), kBlockSamples);
  call.callee->lineTx(fromCallee.data(), kBlockSamples);
  call.toCallee.push_back(fromCaller);
  call.toCaller.push_back(fromCallee);
  Block atCaller = call.toCaller.front(), atCallee = call.toCallee.front();
  call.toCaller.pop_front();
  call.toCallee.pop_front();
  call.caller->lineRx(atCaller.data(), kBlockSamples);
  call.callee->lineRx(atCallee.data(), kBlockSamples);
  bool ownedGone = false;
  if (auto* fax = dynamic_cast<RemoteFax*>(call.owned.get()))
    ownedGone = fax->onHook();
  else if (auto* voice = dynamic_cast<VoiceParty*>(call.owned.get()))
    ownedGone = voice->onHook();
  if (ownedGone)
    endCall(call, call.owned.get());
}

void Exchange::step() {
  m_now += kBlockSamples;
  m_stepping = true;
  std::vector<Call*> calls;
  for (auto& c : m_calls)
    calls.push_back(c.get());
  for (Call* c : calls) // a step may end its call
    if (std::any_of(m_calls.begin(), m_calls.end(), [&](auto& p) { return p.get() == c; }))
      stepCall(*c);
  for (auto& m : m_modems) {
    Call* c = findCall(*m.party);
    if (c && c->state == Call::State::Up)
      continue;
    // Modems off the line still run their clocks on silence.
    int16_t block[kBlockSamples] = {};
    m.party->lineTx(block, kBlockSamples);
    std::memset(block, 0, sizeof block);
    m.party->lineRx(block, kBlockSamples);
  }
  m_stepping = false;
  auto deferred = std::move(m_deferredHangups);
  m_deferredHangups.clear();
  for (LineParty* p : deferred)
    hangup(*p);
  auto notices = std::move(m_hangupNotices);
  m_hangupNotices.clear();
  for (auto& n : notices) {
    if (n.due > m_now)
      m_hangupNotices.push_back(n);
    else if (!inCall(*n.party))
      n.party->onFarEndHangup();
  }
}

} // namespace tolvane::sim

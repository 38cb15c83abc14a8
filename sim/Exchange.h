#pragma once
// The simulated telephone network: numbers, ringing, call set-up and
// clearing, and the audio path of every call, stepped in 160-sample blocks
// of line time.

#include "sim/LineParty.h"
#include "sim/RemoteFax.h"
#include "sim/SimConfig.h"

#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tolvane::sim {

class Exchange : public CallControl {
public:
  Exchange(SimConfig& config, EventLog log);
  ~Exchange() override;

  // A simulated modem on the network; it is reached by dialling number (if
  // any). Every registered party is stepped each block, idle or not.
  void addModem(LineParty& party, const std::string& name, const std::string& number);

  void dial(LineParty& caller, std::string_view number) override;
  void answer(LineParty& callee) override;
  void hangup(LineParty& party) override;
  void note(const std::string& text) override { m_log(text); }

  // A remote fax machine (number from the config) calls the modem named or
  // numbered `to` and sends its file. Returns an error text or empty.
  std::string callIn(const std::string& from, const std::string& to);

  // Steps the network by one block of line time.
  void step();
  int64_t now() const { return m_now; }
  bool inCall(const LineParty& party) const;

private:
  struct Call;
  struct Modem {
    LineParty* party;
    std::string name;
    std::string number;
  };
  Call* findCall(const LineParty& party);
  const NumberConfig* lookup(const std::string& number, NumberConfig& oneShot);
  void stepCall(Call& call);
  void resolve(Call& call);
  void connect(Call& call);
  void fail(Call& call, CallFailure why);
  void endCall(Call& call, LineParty* leaving);
  void exchangeAudio(Call& call);
  Modem* modemFor(const std::string& nameOrNumber);
  std::string rxPathFor(const NumberConfig& number);

  SimConfig& m_config;
  EventLog m_log;
  std::vector<Modem> m_modems;
  std::list<std::unique_ptr<Call>> m_calls;
  struct Notice {
    LineParty* party;
    int64_t due;
  };
  std::vector<Notice> m_hangupNotices;
  std::map<std::string, int> m_rxCounters;
  int64_t m_now = 0;
  // Hang-ups asked for while the network is being stepped wait for the end
  // of the step, so that no call disappears under the step's feet.
  bool m_stepping = false;
  std::vector<LineParty*> m_deferredHangups;
};

} // namespace tolvane::sim

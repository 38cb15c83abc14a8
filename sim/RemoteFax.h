#pragma once
// A remote fax machine on the simulated line: spandsp's T.30 terminal with
// its own V.21/V.27ter/V.29/V.17 modems. It answers calls and receives into
// a TIFF file, or calls a modem and sends a TIFF file, and misbehaves on
// request (RTN, FTT at chosen rates, DCN at a chosen frame, lost carrier).

#include "sim/DcnBurst.h"
#include "sim/LineNoise.h"
#include "sim/LineParty.h"
#include "sim/SimConfig.h"
#include "sim/SpanDsp.h"

#include <functional>
#include <memory>
#include <string>

namespace tolvane::sim {

using EventLog = std::function<void(const std::string&)>;

class RemoteFax : public LineParty {
public:
  // callingParty: this machine placed the call and sends config.txFile;
  // otherwise it answered and receives into rxPath.
  RemoteFax(const RemoteFaxConfig& config, bool callingParty, std::string rxPath, std::string label,
            EventLog log);
  ~RemoteFax() override;
  RemoteFax(const RemoteFax&) = delete;
  RemoteFax& operator=(const RemoteFax&) = delete;

  int lineTx(int16_t* amp, int maxSamples) override;
  void lineRx(const int16_t* amp, int samples) override;
  void onFarEndHangup() override;

  // True once the machine has put the phone down.
  bool onHook() const { return m_onHook; }

private:
  static void phaseE(t30_state_t* t30, void* user, int result);
  static void frameSeen(t30_state_t* t30, void* user, int incoming, const uint8_t* msg, int len);
  void onFrame(bool incoming, uint8_t fcf);
  void countDown(int samples);
  void judgePage();

  RemoteFaxConfig m_config;
  std::string m_label;
  std::string m_rxPath;
  EventLog m_log;
  fax_state_t* m_fax = nullptr;
  t30_state_t* m_t30 = nullptr;
  std::unique_ptr<DcnBurst> m_dcn;
  std::unique_ptr<LineNoise> m_noise; // bit errors in the page data received
  bool m_dcnArmed = false;
  bool m_spoilTraining = false;
  int m_pagesSeen = 0;
  int m_pprs = 0, m_ctcs = 0, m_eors = 0; // ECM: PPRs, CTCs and EORs, sent or received
  int64_t m_dropIn = -1;                  // samples until the machine drops the line
  int64_t m_hangupIn = -1;                // samples from call end until on hook
  bool m_dropped = false;
  bool m_onHook = false;
  bool m_reported = false;
};

} // namespace tolvane::sim

#pragma once
// The reference for the SIP line's call time: two spandsp fax terminals in
// one process, one sending a TIFF page and one receiving it, over the same
// loopback path as the SIP line's media (UDP sockets, UDPTL with the same
// redundancy, or G.711 in 20 ms RTP frames), paced at real time.

#include <string>

struct ReferenceResult {
  bool ok = false;       // both terminals ended the call without error
  double seconds = 0;    // from the start to the sender's end of call
  double cpuSeconds = 0; // of both terminals and their packet exchange
};

ReferenceResult spandspReferenceCall(const std::string& txTiff, const std::string& rxTiff,
                                     bool t38);

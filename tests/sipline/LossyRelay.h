#pragma once
// A relay between two SIP fax lines on loopback that loses media packets at
// random (seeded). Both lines dial the relay; it passes SIP on unchanged
// except that Contact addresses and SDP media ports point at itself, so
// that every later request and every RTP or UDPTL packet crosses it too.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

class LossyRelay {
public:
  // Relays between the lines whose SIP ports are portA and portB, dropping
  // each media datagram with probability loss.
  LossyRelay(int portA, int portB, double loss, uint32_t seed);
  ~LossyRelay();
  LossyRelay(const LossyRelay&) = delete;
  LossyRelay& operator=(const LossyRelay&) = delete;

  int sipPort() const { return m_sipPort; }
  long mediaForwarded() const { return m_forwarded; }
  long mediaDropped() const { return m_dropped; }

private:
  struct MediaSocket {
    int fd = -1;
    int port = 0;
    int ownerPort = 0; // the media port of the line that advertised it
    int peerPort = 0;  // where the other line sends from, once seen
  };
  void run();
  void sipIn();
  void mediaIn(MediaSocket& m);
  std::string rewrite(const std::string& message, int fromSipPort);
  int relayPortFor(int fromSipPort, int mediaPort);

  int m_portA, m_portB;
  double m_loss;
  std::mt19937 m_rng;
  int m_sipFd = -1;
  int m_sipPort = 0;
  std::map<std::pair<int, int>, std::unique_ptr<MediaSocket>> m_media; // (sip port, media port)
  std::atomic<bool> m_stop{false};
  std::atomic<long> m_forwarded{0}, m_dropped{0};
  std::thread m_thread;
};

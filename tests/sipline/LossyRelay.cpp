#include "LossyRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int openUdp(int& port) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    throw std::runtime_error("relay: no socket");
  socklen_t n = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  port = ntohs(a.sin_port);
  return fd;
}

void sendTo(int fd, const void* data, size_t len, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  sendto(fd, data, len, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

} // namespace

LossyRelay::LossyRelay(int portA, int portB, double loss, uint32_t seed)
    : m_portA(portA), m_portB(portB), m_loss(loss), m_rng(seed) {
  m_sipFd = openUdp(m_sipPort);
  m_thread = std::thread([this] { run(); });
}

LossyRelay::~LossyRelay() {
  m_stop = true;
  m_thread.join();
  close(m_sipFd);
  for (auto& [key, m] : m_media)
    close(m->fd);
}

int LossyRelay::relayPortFor(int fromSipPort, int mediaPort) {
  auto& slot = m_media[{fromSipPort, mediaPort}];
  if (!slot) {
    slot = std::make_unique<MediaSocket>();
    slot->fd = openUdp(slot->port);
    slot->ownerPort = mediaPort;
  }
  return slot->port;
}

// Contact addresses and the ports of m= lines name the relay; the body's
// length is set again.
std::string LossyRelay::rewrite(const std::string& message, int fromSipPort) {
  size_t split = message.find("\r\n\r\n");
  if (split == std::string::npos)
    return message;
  std::string head = message.substr(0, split + 4);
  std::string body = message.substr(split + 4);
  const std::string self = "127.0.0.1:" + std::to_string(m_sipPort);
  static const std::regex address("127\\.0\\.0\\.1:[0-9]+");
  std::string headers;
  size_t pos = 0;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    std::string line = head.substr(pos, end - pos);
    pos = end + 2;
    std::string name = line.substr(0, line.find(':'));
    for (char& c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "contact" || name == "m")
      line = std::regex_replace(line, address, self);
    if (name != "content-length" && name != "l" && !line.empty())
      headers += line + "\r\n";
  }
  std::string out;
  std::smatch m;
  std::string rest = body;
  static const std::regex mline("m=(audio|image) ([0-9]+)");
  while (std::regex_search(rest, m, mline)) {
    out += m.prefix().str() + "m=" + m[1].str() + " " +
           std::to_string(relayPortFor(fromSipPort, std::stoi(m[2].str())));
    rest = m.suffix().str();
  }
  body = out + rest;
  return headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void LossyRelay::sipIn() {
  char buf[8192];
  sockaddr_in from{};
  socklen_t n = sizeof from;
  ssize_t len = recvfrom(m_sipFd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &n);
  if (len <= 0)
    return;
  int src = ntohs(from.sin_port);
  if (src != m_portA && src != m_portB)
    return;
  std::string out = rewrite(std::string(buf, static_cast<size_t>(len)), src);
  sendTo(m_sipFd, out.data(), out.size(), src == m_portA ? m_portB : m_portA);
}

// Packets from the line that owns the port go to wherever the other line
// sends from; packets from the other line go to the owner.
void LossyRelay::mediaIn(MediaSocket& m) {
  uint8_t buf[2048];
  sockaddr_in from{};
  socklen_t n = sizeof from;
  ssize_t len = recvfrom(m.fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &n);
  if (len <= 0)
    return;
  int src = ntohs(from.sin_port);
  int to = 0;
  if (src == m.ownerPort) {
    to = m.peerPort;
  } else {
    m.peerPort = src;
    to = m.ownerPort;
  }
  if (to == 0)
    return;
  if (std::bernoulli_distribution(m_loss)(m_rng)) {
    ++m_dropped;
    return;
  }
  ++m_forwarded;
  sendTo(m.fd, buf, static_cast<size_t>(len), to);
}

void LossyRelay::run() {
  while (!m_stop) {
    std::vector<pollfd> fds{{m_sipFd, POLLIN, 0}};
    std::vector<MediaSocket*> sockets;
    for (auto& [key, m] : m_media) {
      fds.push_back({m->fd, POLLIN, 0});
      sockets.push_back(m.get());
    }
    if (poll(fds.data(), fds.size(), 10) <= 0)
      continue;
    if (fds[0].revents & POLLIN)
      sipIn();
    for (size_t i = 1; i < fds.size(); ++i)
      if (fds[i].revents & POLLIN)
        mediaIn(*sockets[i - 1]);
  }
}
